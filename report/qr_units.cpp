// Unit conversions, the sheet table of the paper sizes and the page.
#include "report/qr_units.h"

#include <cmath>

namespace vendrik {
namespace {

// Sheet measures in millimetres, portrait, indexed by ordinal (Letter .. A3ExtraTrans).
constexpr double kSheetsMM[][2] = {
    {0, 0},           {215.9, 279.4},   {215.9, 279.4},   {279.4, 431.8},   {431.8, 279.4},
    {215.9, 355.6},   {139.7, 215.9},   {184.15, 266.7},  {297, 420},       {210, 297},
    {210, 297},       {148, 210},       {250, 354},       {182, 257},       {215.9, 330.2},
    {215, 275},       {254, 355.6},     {279.4, 431.8},   {215.9, 279.4},   {98.4, 225.4},
    {104.8, 241.3},   {114.3, 263.5},   {120.7, 279.4},   {127, 292.1},     {431.8, 558.8},
    {558.8, 863.6},   {863.6, 1117.6},  {110, 220},       {162, 229},       {324, 458},
    {229, 324},       {114, 162},       {114, 229},       {250, 353},       {176, 250},
    {176, 125},       {110, 230},       {98.4, 190.5},    {92.1, 165.1},    {377.8, 279.4},
    {215.9, 304.8},   {215.9, 330.2},   {250, 353},       {100, 148},       {228.6, 279.4},
    {254, 279.4},     {381, 279.4},     {220, 220},       {100, 100},       {100, 100},
    {241.3, 304.8},   {241.3, 381},     {296.9, 457.2},   {235.6, 322.3},   {210.2, 279.4},
    {210, 297},       {241.3, 304.8},   {227, 356},       {305, 487},       {215.9, 322.3},
    {210, 330},       {148, 210},       {182, 257},       {322, 445},       {174, 235},
    {201, 276},       {420, 594},       {297, 420},       {322, 445},
};
constexpr int kUserPaperCode = 256;

}  // namespace

int QRPaperCode(TQRPaperSize size) {
  return size == TQRPaperSize::Custom ? kUserPaperCode : static_cast<int>(size);
}

std::optional<TQRSheet> QRPaperSheet(TQRPaperSize size) {
  if (size == TQRPaperSize::Default || size == TQRPaperSize::Custom) return std::nullopt;
  const auto& sheet = kSheetsMM[static_cast<int>(size)];
  return TQRSheet{static_cast<TQRReal>(sheet[0]) * 10, static_cast<TQRReal>(sheet[1]) * 10};
}

TQRReal QRFromNative(TQRReal value, const TQRUnitContext& context, bool horizontal) {
  switch (context.FUnit) {
    case TQRUnit::MM: return value / 10;
    case TQRUnit::Inches: return value / 254;
    case TQRUnit::Pixels: return value / (254 / context.FPixelsPerInch) * context.FZoom / 100;
    case TQRUnit::Characters:
      return value / (horizontal ? context.FCharWidth : context.FCharHeight) / 10;
    case TQRUnit::Native: return value;
  }
  return value;
}

TQRReal QRToNative(TQRReal shown, const TQRUnitContext& context, bool horizontal) {
  switch (context.FUnit) {
    case TQRUnit::MM: return shown * 10;
    case TQRUnit::Inches: return shown * 254;
    case TQRUnit::Pixels: return shown * (254 / context.FPixelsPerInch) / context.FZoom * 100;
    case TQRUnit::Characters:
      return shown * (horizontal ? context.FCharWidth : context.FCharHeight) * 10;
    case TQRUnit::Native: return shown;
  }
  return shown;
}

TQRPage::TQRPage() { TakeSheet(); }

void TQRPage::TakeSheet() {
  const std::optional<TQRSheet> sheet = QRPaperSheet(FPaperSize);
  if (!sheet) return;
  const bool landscape = FOrientation == TQROrientation::poLandscape;
  FWidth = landscape ? sheet->FLength : sheet->FWidth;
  FLength = landscape ? sheet->FWidth : sheet->FLength;
}

void TQRPage::SetPaperSize(TQRPaperSize size) {
  FPaperSize = size;
  TakeSheet();
}

void TQRPage::SetOrientation(TQROrientation orientation) {
  if (orientation == FOrientation) return;
  FOrientation = orientation;
  if (FPaperSize == TQRPaperSize::Custom)
    std::swap(FWidth, FLength);
  else
    TakeSheet();
}

void TQRPage::SetWidth(TQRReal width) {
  if (FPaperSize == TQRPaperSize::Custom) FWidth = width;
}

void TQRPage::SetLength(TQRReal length) {
  if (FPaperSize == TQRPaperSize::Custom) FLength = length;
}

void TQRPage::SetColumns(int columns) {
  if (columns >= 1) FColumns = columns;
}

TQRReal TQRPage::ColumnWidth() const {
  return (PrintableWidth() - ColumnSpace * (FColumns - 1)) / FColumns;
}

std::array<TQRReal, 7> TQRPage::Values() const {
  return {BottomMargin, FLength, TopMargin, FWidth, LeftMargin, RightMargin, ColumnSpace};
}

void TQRPage::SetValues(const std::array<TQRReal, 7>& values) {
  BottomMargin = values[0];
  FLength = values[1];
  TopMargin = values[2];
  FWidth = values[3];
  LeftMargin = values[4];
  RightMargin = values[5];
  ColumnSpace = values[6];
}

std::optional<TQRPaperSize> QRPaperSizeOfSheet(int widthMM, int lengthMM, bool& landscape) {
  for (int i = static_cast<int>(TQRPaperSize::Letter); i <= static_cast<int>(TQRPaperSize::ESheet);
       ++i) {
    const int w = static_cast<int>(kSheetsMM[i][0]);
    const int l = static_cast<int>(kSheetsMM[i][1]);
    if (w == widthMM && l == lengthMM) {
      landscape = false;
      return static_cast<TQRPaperSize>(i);
    }
    if (l == widthMM && w == lengthMM) {
      landscape = true;
      return static_cast<TQRPaperSize>(i);
    }
  }
  landscape = widthMM > lengthMM;
  return std::nullopt;
}

}  // namespace vendrik
