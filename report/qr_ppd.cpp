// Reading a queue's PPD into a TQRDeviceMode.
//
// Only the main keywords are read, one per line: "*PageSize Name/Text: ...",
// "*PaperDimension Name: "w h"", "*ImageableArea Name: "llx lly urx ury""
// (PostScript points, origin at the lower left), "*InputSlot Name: ...",
// "*Duplex Name: ...", and the "*DefaultX: value" lines. Everything else is
// ignored. Numbers that do not parse leave the paper without measures; such
// a paper is not offered.
#include <QRegularExpression>

#include "report/qr_print_service.h"

namespace vendrik {
namespace {

constexpr TQRReal kNativePerPoint = 254.0L / 72.0L;
constexpr qreal kDefaultDotsPerInch = 300;

struct TPpdPaper {
  QString FName;
  std::vector<double> FDimension, FImageable;
};

std::vector<double> Numbers(const QString& quoted) {
  std::vector<double> values;
  QString text = quoted.trimmed();
  if (text.startsWith(QLatin1Char('"'))) text = text.mid(1);
  text = text.section(QLatin1Char('"'), 0, 0);
  for (const QString& part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    bool ok = false;
    const double value = part.toDouble(&ok);
    if (!ok) return {};
    values.push_back(value);
  }
  return values;
}

int DuplexCodeOf(const QString& choice) {
  if (choice == QLatin1String("DuplexNoTumble")) return kQRDuplexVertical;
  if (choice == QLatin1String("DuplexTumble")) return kQRDuplexHorizontal;
  return kQRSimplex;
}

}  // namespace

std::optional<TQRDeviceMode> QRParsePpd(const QByteArray& text, QString* error) {
  static const QRegularExpression kOptionLine(QStringLiteral(R"(^\*(\w+)\s+([^/:\s]+)[^:]*:(.*)$)"));
  static const QRegularExpression kDefaultLine(QStringLiteral(R"(^\*Default(\w+):\s*(\S+))"));
  std::vector<TPpdPaper> papers;
  std::vector<QString> inputSlots;
  QString defaultPaper, defaultSlot, defaultDuplex, resolution;
  bool hasDuplex = false;
  auto paperNamed = [&papers](const QString& name) -> TPpdPaper& {
    for (TPpdPaper& paper : papers)
      if (paper.FName == name) return paper;
    papers.push_back({name, {}, {}});
    return papers.back();
  };
  for (const QByteArray& raw : text.split('\n')) {
    const QString line = QString::fromUtf8(raw).trimmed();
    if (const auto match = kDefaultLine.match(line); match.hasMatch()) {
      const QString key = match.captured(1), value = match.captured(2);
      if (key == QLatin1String("PageSize")) defaultPaper = value;
      else if (key == QLatin1String("InputSlot")) defaultSlot = value;
      else if (key == QLatin1String("Duplex")) defaultDuplex = value;
      else if (key == QLatin1String("Resolution")) resolution = value;
      continue;
    }
    const auto match = kOptionLine.match(line);
    if (!match.hasMatch()) continue;
    const QString key = match.captured(1), name = match.captured(2);
    if (key == QLatin1String("PageSize")) paperNamed(name);
    else if (key == QLatin1String("PaperDimension")) paperNamed(name).FDimension = Numbers(match.captured(3));
    else if (key == QLatin1String("ImageableArea")) paperNamed(name).FImageable = Numbers(match.captured(3));
    else if (key == QLatin1String("InputSlot")) inputSlots.push_back(name);
    else if (key == QLatin1String("Duplex")) hasDuplex = true;
  }

  TQRDeviceMode mode;
  int driverCode = kQRDriverCode;
  for (const TPpdPaper& ppd : papers) {
    if (ppd.FDimension.size() != 2 || ppd.FDimension[0] <= 0 || ppd.FDimension[1] <= 0) continue;
    TQRPaperChoice paper;
    paper.FName = ppd.FName;
    paper.FWidth = ppd.FDimension[0] * kNativePerPoint;
    paper.FLength = ppd.FDimension[1] * kNativePerPoint;
    if (ppd.FImageable.size() == 4) {
      paper.FLeftOffset = ppd.FImageable[0] * kNativePerPoint;
      paper.FTopOffset = (ppd.FDimension[1] - ppd.FImageable[3]) * kNativePerPoint;
    }
    paper.FCode = QRPaperCodeOfSheet(paper.FWidth, paper.FLength).value_or(driverCode++);
    if (ppd.FName == defaultPaper) mode.FDefaultPaper = static_cast<int>(mode.FPapers.size());
    mode.FPapers.push_back(paper);
  }
  if (mode.FPapers.empty()) {
    if (error) *error = QStringLiteral("The printer description names no paper size with its measures.");
    return std::nullopt;
  }
  if (mode.FDefaultPaper < 0) mode.FDefaultPaper = 0;
  for (const QString& inputSlot : inputSlots) {
    if (inputSlot == defaultSlot) mode.FDefaultSource = static_cast<int>(mode.FSources.size());
    mode.FSources.push_back({inputSlot, QRSourceCodeOfName(inputSlot).value_or(driverCode++)});
  }
  mode.FHasDuplex = hasDuplex;
  mode.FDuplexCode = DuplexCodeOf(defaultDuplex);
  // "300dpi" or "600x300dpi".
  const QStringList dots = QString(resolution).remove(QStringLiteral("dpi")).split(QLatin1Char('x'));
  bool okX = false, okY = false;
  const qreal x = dots.value(0).toDouble(&okX);
  const qreal y = dots.size() > 1 ? dots.value(1).toDouble(&okY) : x;
  if (dots.size() == 1) okY = okX;
  mode.FDotsPerInchX = okX && x > 0 ? x : kDefaultDotsPerInch;
  mode.FDotsPerInchY = okY && y > 0 ? y : mode.FDotsPerInchX;
  return mode;
}

}  // namespace vendrik
