// The update request file (see update_request_file.h).
#include "app/update_request_file.h"

#include <stdexcept>

#include <QSaveFile>

#include "app/uu_encoding.h"

namespace vendrik {
namespace {

constexpr int kLabelWidth = 16;

// Fixed when the program is built: what the updater is told is installed and
// where it should look.
const QString kProgramName = QStringLiteral("Vendrik");
const QString kProgramVersion = QStringLiteral("2.0.0.0");
const QString kEditionTag = QStringLiteral("LINUX-STD");
const QString kServerDirectory = QStringLiteral("anon_ftp/updatesb");
const QString kServerInfoFile = QStringLiteral("629axz-vndd.cfg");
const QString kAfterRunProgram = QStringLiteral("Vnd.exe");
const QString kNoProxy = QStringLiteral("0");
const QString kProxyUnset = QStringLiteral("Nil");

QString PlainLine(const char* label, const QString& value) {
  return QString::fromLatin1(label).leftJustified(kLabelWidth, QLatin1Char(' ')) + QStringLiteral(": ") + value;
}

[[noreturn]] void Fail(const QString& path, const QString& reason) {
  throw std::runtime_error(
      QStringLiteral("A(z) %1 állomány nem írható: %2").arg(path, reason).toStdString());
}

}  // namespace

QStringList UpdateRequestLines() {
  return {
      PlainLine("PROGRAM NAME", kProgramName),
      PlainLine("PROGRAM VERSION", kProgramVersion),
      PlainLine("PROGRAM TYPE", kEditionTag),
      PlainLine("SERVER DIR", kServerDirectory),
      PlainLine("SERVER INF FILE", kServerInfoFile),
      PlainLine("AFTER RUN", kAfterRunProgram),
      PlainLine("PROXY USING", kNoProxy),
      PlainLine("PROXY HOST", kProxyUnset),
      PlainLine("PROXY USER", kProxyUnset),
      PlainLine("PROXY PASSWORD", kProxyUnset),
      PlainLine("PROXY PORT", kProxyUnset),
      PlainLine("PROXY TYPE", kProxyUnset),
  };
}

QByteArray UpdateRequestContents() {
  QByteArray contents;
  for (const QString& line : UpdateRequestLines()) {
    contents.append(UUEncodeString(line));
    contents.append("\r\n");
  }
  return contents;
}

void WriteUpdateRequestFile(const QString& path) {
  const QByteArray contents = UpdateRequestContents();
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) Fail(path, file.errorString());
  if (file.write(contents) != contents.size()) {
    const QString reason = file.errorString();
    file.cancelWriting();
    Fail(path, reason);
  }
  if (!file.commit()) Fail(path, file.errorString());
}

}  // namespace vendrik
