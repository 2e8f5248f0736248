// Paper source and duplex codes, and the settings of a printing sink.
#include "report/qr_print_settings.h"

#include <cmath>

namespace vendrik {
namespace {

constexpr int kBinCodes[] = {1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 14};
// A sheet matches a paper size when both measures are this close (0.1 mm).
constexpr TQRReal kSheetTolerance = 5;

// PPD InputSlot names and the source code each stands for.
struct TSourceName {
  const char* FName;
  int FCode;
};
constexpr TSourceName kSourceNames[] = {
    {"Upper", 1},       {"OnlyOne", 1},      {"Tray1", 1},         {"Lower", 2},
    {"Tray2", 2},       {"Middle", 3},       {"Tray3", 3},         {"Manual", 4},
    {"ManualFeed", 4},  {"Envelope", 5},     {"EnvManual", 6},     {"Auto", 7},
    {"AutoSelect", 7},  {"Tractor", 8},      {"SmallFormat", 9},   {"LargeFormat", 10},
    {"LargeCapacity", 11}, {"Cassette", 14},
};

}  // namespace

int QRBinCode(TQRBin bin) { return kBinCodes[static_cast<int>(bin)]; }

std::optional<TQRBin> QRBinOfCode(int code) {
  for (int i = 0; i <= static_cast<int>(TQRBin::Last); ++i)
    if (kBinCodes[i] == code) return static_cast<TQRBin>(i);
  return std::nullopt;
}

QString QRSidesOfDuplex(int code) {
  switch (code) {
    case kQRDuplexVertical: return QStringLiteral("two-sided-long-edge");
    case kQRDuplexHorizontal: return QStringLiteral("two-sided-short-edge");
    default: return QStringLiteral("one-sided");
  }
}

std::optional<int> QRPaperCodeOfSheet(TQRReal width, TQRReal length) {
  for (int i = static_cast<int>(TQRPaperSize::Letter); i < static_cast<int>(TQRPaperSize::Custom); ++i) {
    const std::optional<TQRSheet> sheet = QRPaperSheet(static_cast<TQRPaperSize>(i));
    auto near = [](TQRReal a, TQRReal b) { return std::fabs(a - b) <= kSheetTolerance; };
    if ((near(sheet->FWidth, width) && near(sheet->FLength, length)) ||
        (near(sheet->FWidth, length) && near(sheet->FLength, width)))
      return i;
  }
  return std::nullopt;
}

std::optional<int> QRSourceCodeOfName(const QString& name) {
  for (const TSourceName& known : kSourceNames)
    if (name.compare(QLatin1String(known.FName), Qt::CaseInsensitive) == 0) return known.FCode;
  return std::nullopt;
}

QString TQRJobOptions::Value(const QString& name) const {
  for (const auto& option : FOptions)
    if (option.first == name) return option.second;
  return {};
}

void TPrinterSettings::SetPrinter(const TQRDeviceMode& mode) {
  FMode = mode;
  FPixelsPerX = mode.FDotsPerInchX;
  FPixelsPerY = mode.FDotsPerInchY;
  FCopies = 1;
  FOutputBin = TQRBin::First;
  if (mode.FDefaultSource >= 0)
    FOutputBin = QRBinOfCode(mode.FSources[mode.FDefaultSource].FCode).value_or(TQRBin::First);
  if (mode.FHasDuplex) {
    FDuplex = mode.FDuplexCode != kQRSimplex;
    FExtendedDuplex = mode.FDuplexCode;
  }
  FPaperSize = TQRPaperSize::Default;
  if (mode.FDefaultPaper >= 0) {
    const TQRPaperChoice& paper = mode.FPapers[mode.FDefaultPaper];
    FLeftOffset = paper.FLeftOffset;
    FTopOffset = paper.FTopOffset;
    FPaperWidth = paper.FWidth;
    FPaperLength = paper.FLength;
    if (paper.FCode < static_cast<int>(TQRPaperSize::Custom))
      FPaperSize = static_cast<TQRPaperSize>(paper.FCode);
  }
}

void TPrinterSettings::SetDuplex(bool duplex) {
  if (FMode && FMode->FHasDuplex) FDuplex = duplex;
}

void TPrinterSettings::SetExtendedDuplex(int code) {
  if (FMode && FMode->FHasDuplex) FExtendedDuplex = code;
}

bool TPrinterSettings::GetPaperSizeSupported(TQRPaperSize size) const {
  if (!FMode) return false;
  for (const TQRPaperChoice& paper : FMode->FPapers)
    if (paper.FCode == QRPaperCode(size)) return true;
  return false;
}

void TPrinterSettings::SetPaperSize(TQRPaperSize size) {
  if (size != TQRPaperSize::Default && !GetPaperSizeSupported(size)) return;
  FPaperSize = size;
  if (const TQRPaperChoice* paper = JobPaper()) {
    FLeftOffset = paper->FLeftOffset;
    FTopOffset = paper->FTopOffset;
  }
}

const TQRPaperChoice* TPrinterSettings::JobPaper() const {
  if (!FMode) return nullptr;
  const int code = FUseCustomPaperCode ? FCustomPaperCode : QRPaperCode(FPaperSize);
  if (FPaperSize != TQRPaperSize::Default || FUseCustomPaperCode)
    for (const TQRPaperChoice& paper : FMode->FPapers)
      if (paper.FCode == code) return &paper;
  return FMode->FDefaultPaper >= 0 ? &FMode->FPapers[FMode->FDefaultPaper] : nullptr;
}

TQRJobOptions TPrinterSettings::ApplySettings() const {
  TQRJobOptions job;
  auto add = [&job](const char* name, const QString& value) {
    job.FOptions.emplace_back(QString::fromLatin1(name), value);
  };
  if (const TQRPaperChoice* paper = JobPaper()) add("media", paper->FName);
  add("copies", QString::number(FCopies));
  if (FMode && FMode->FHasDuplex)
    add("sides", QRSidesOfDuplex(FExtendedDuplex != 0 ? FExtendedDuplex
                                 : FDuplex          ? kQRDuplexHorizontal
                                                    : kQRSimplex));
  const int sourceCode = FUseCustomBinCode ? FCustomBinCode : QRBinCode(FOutputBin);
  if (FMode)
    for (const TQRSourceChoice& source : FMode->FSources)
      if (source.FCode == sourceCode) {
        add("InputSlot", source.FName);
        break;
      }
  add("multiple-document-handling", FCollate != 0 ? QStringLiteral("separate-documents-collated-copies")
                                                  : QStringLiteral("separate-documents-uncollated-copies"));
  return job;
}

}  // namespace vendrik
