// Measures of the report model. Every position and size is kept in the native
// unit, a tenth of a millimetre, as a long double; a report shows them in its
// display unit (TQRUnit) and converts on every read and write. The paper
// sizes carry the sheet measures of the printer paper codes of the same
// ordinal (Letter = 1 ... A3ExtraTrans = 68; Custom stands for code 256).
#pragma once

#include <array>
#include <optional>

#include <QString>

namespace vendrik {

using TQRReal = long double;

enum class TQRUnit { MM, Inches, Pixels, Characters, Native };

enum class TQRPaperSize {
  Default, Letter, LetterSmall, Tabloid, Ledger, Legal, Statement, Executive, A3, A4, A4Small,
  A5, B4, B5, Folio, Quarto, qr10X14, qr11X17, Note, Env9, Env10, Env11, Env12, Env14, CSheet,
  DSheet, ESheet, EnvDL, EnvC5, EnvC3, EnvC4, EnvC6, EnvC65, EnvB4, EnvB5, EnvB6, EnvItaly,
  EnvMonarch, EnvPersonal, FanfoldUSStd, FanfoldGerStd, FanfoldGerLegal, B4ISO, PostcardJap,
  qr9X11, qr10X11, qr15X11, EnvInvite, Reserved1, Reserved2, LetterExtra, LegalExtra,
  TabloidExtra, A4Extra, LetterTrans, A4Trans, LetterExtraTrans, SuperASuperAA4,
  SuperBSuperBA3, LetterPlus, A4Plus, A5Trans, B5Trans, A3Extra, A5Extra, B5Extra, A2, A3Trans,
  A3ExtraTrans, Custom
};

// The printer paper code of a size: its ordinal, 256 for Custom.
int QRPaperCode(TQRPaperSize size);

// Width and length of a sheet in portrait, native units; nothing for Default
// and Custom, which have no fixed measures.
struct TQRSheet {
  TQRReal FWidth;
  TQRReal FLength;
};
std::optional<TQRSheet> QRPaperSheet(TQRPaperSize size);

enum class TQROrientation { poPortrait, poLandscape };

// The conversions of one measure between native and shown values. `Zoom` is
// the percent of the object; `PixelsPerInch` the screen's; `CharWidth` and
// `CharHeight` the cell of the report font in native units.
struct TQRUnitContext {
  TQRUnit FUnit = TQRUnit::MM;
  int FZoom = 100;
  TQRReal FPixelsPerInch = 96;
  TQRReal FCharWidth = 1;
  TQRReal FCharHeight = 1;
};
// `horizontal` picks the character width or height for Characters.
TQRReal QRFromNative(TQRReal value, const TQRUnitContext& context, bool horizontal);
TQRReal QRToNative(TQRReal shown, const TQRUnitContext& context, bool horizontal);

// Paper and margins. Values() is the serialised list in its stored order:
// BottomMargin, Length, TopMargin, Width, LeftMargin, RightMargin, ColumnSpace.
class TQRPage {
 public:
  TQRPage();  // A4 portrait, margins 10 mm, one column, no column space.

  TQRReal BottomMargin = 100, TopMargin = 100, LeftMargin = 100, RightMargin = 100;
  TQRReal ColumnSpace = 0;

  TQRReal Width() const { return FWidth; }
  TQRReal Length() const { return FLength; }
  TQRPaperSize PaperSize() const { return FPaperSize; }
  TQROrientation Orientation() const { return FOrientation; }
  int Columns() const { return FColumns; }

  // Sets the paper: Width and Length from the sheet table, swapped for a
  // landscape page. Default and Custom keep the current measures.
  void SetPaperSize(TQRPaperSize size);
  // A Custom page swaps Width and Length when the orientation changes; other
  // sizes take their sheet again in the new orientation.
  void SetOrientation(TQROrientation orientation);
  // Only while the paper size is Custom; otherwise ignored.
  void SetWidth(TQRReal width);
  void SetLength(TQRReal length);
  // Values below 1 are ignored.
  void SetColumns(int columns);

  std::array<TQRReal, 7> Values() const;
  void SetValues(const std::array<TQRReal, 7>& values);

  // The width between the margins, and of one column.
  TQRReal PrintableWidth() const { return FWidth - LeftMargin - RightMargin; }
  TQRReal ColumnWidth() const;

 private:
  void TakeSheet();

  TQRReal FWidth = 2100, FLength = 2970;
  TQRPaperSize FPaperSize = TQRPaperSize::A4;
  TQROrientation FOrientation = TQROrientation::poPortrait;
  int FColumns = 1;
};

// The first paper size from Letter to ESheet whose sheet matches the given
// measures in whole millimetres, in portrait or (with `landscape` set on
// return) turned; nothing when none matches.
std::optional<TQRPaperSize> QRPaperSizeOfSheet(int widthMM, int lengthMM, bool& landscape);

}  // namespace vendrik
