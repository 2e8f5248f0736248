// The desktop shell. A document is checked before it is handed to the desktop
// (QDesktopServices reports success for any URL it could pass on to an opener,
// whether or not the file exists), so that a missing guide document is a
// failure the caller sees.
#include "app/shell_service.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace vendrik {

bool TDesktopShellService::OpenDocument(const QString& path) {
  const QFileInfo document(QDir::current(), path);
  if (!document.isFile() || !document.isReadable()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(document.absoluteFilePath()));
}

bool TDesktopShellService::OpenAddress(const QString& address) {
  const QUrl url = QUrl::fromUserInput(address);
  if (!url.isValid()) return false;
  return QDesktopServices::openUrl(url);
}

bool TDesktopShellService::StartProgram(const QString& program, const QStringList& arguments,
                                        QString& reason) {
  const QFileInfo executable(QDir::current(), program);
  QProcess process;
  process.setProgram(executable.exists() ? executable.absoluteFilePath() : program);
  process.setArguments(arguments);
  process.setWorkingDirectory(QDir::currentPath());
  if (process.startDetached()) return true;
  reason = process.errorString();
  return false;
}

}  // namespace vendrik
