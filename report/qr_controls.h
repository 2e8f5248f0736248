// The printable controls of a band: the frame, the base TQRPrintable, labels
// (TQRLabel, TQRDBText, TQRSysData) and formatted text (TQRDBRichText).
// Positions and sizes are native units (0.1 mm) relative to the band's top
// left corner. A control prints itself through the print context of its band
// (TQRPrintContext): the sink's canvas, the report's run-time values and the
// band's growth.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include "report/qr_units.h"

namespace vendrik {

class TQRBand;
class TQRPrinter;
class IQRDataSet;

// Border lines: each side a filled strip inside the rectangle, Width points
// thick (at least one device pixel when Width is positive or -1).
struct TQRFrame {
  QColor Color = Qt::black;
  bool DrawTop = false, DrawBottom = false, DrawLeft = false, DrawRight = false;
  Qt::PenStyle Style = Qt::SolidLine;
  int Width = 1;

  bool AnySide() const { return DrawTop || DrawBottom || DrawLeft || DrawRight; }
  // Draws the frame around `rect` (device pixels) on the sink's canvas.
  void Draw(TQRPrinter& sink, const QRect& rect) const;
};

enum class TQRAlignment { Left, Right, Center };
enum class TQRWrapStyle { BreakOnSpaces, BreakAnywhere };

// What a control needs while it prints.
struct TQRPrintContext {
  TQRPrinter& FSink;
  TQRBand& FBand;
  IQRDataSet* FDataSet;
  QString FReportTitle;
  int FPageNumber;
  int FDetailCount;
  int FDetailNumber;
};

class TQRPrintable {
 public:
  explicit TQRPrintable(QString name) : Name(std::move(name)) {}
  virtual ~TQRPrintable() = default;

  QString Name;
  TQRReal Left = 0, Top = 0, Width = 0, Height = 0;
  TQRAlignment Alignment = TQRAlignment::Left;
  bool AlignToBand = false;
  TQRFrame Frame;
  bool Enabled = true;
  QColor Color = Qt::white;
  bool Transparent = false;
  // The control's own font, used unless ParentFont takes the band's.
  QFont Font;
  bool ParentFont = true;
  // False while the control has content left for the next page.
  bool PrintFinished = true;

  // The serialised size: Height, Left, Top, Width.
  void SetSizeValues(TQRReal height, TQRReal left, TQRReal top, TQRReal width);

  // Prints at band position (x, y), native units. May grow the band.
  virtual void Print(TQRPrintContext& context, TQRReal x, TQRReal y) = 0;
  // Called when generation ends.
  virtual void AfterPrint() {}

 protected:
  // The control's rectangle on the page in device pixels.
  QRect DeviceRect(const TQRPrinter& sink, TQRReal x, TQRReal y, TQRReal extraHeight = 0) const;
  void FillBackground(TQRPrinter& sink, const QRect& rect) const;
};

// A text control printed line by line (see FormatLines and Print).
class TQRCustomLabel : public TQRPrintable {
 public:
  using TQRPrintable::TQRPrintable;

  bool AutoSize = true;
  bool AutoStretch = false;
  bool WordWrap = true;
  TQRWrapStyle WrapStyle = TQRWrapStyle::BreakOnSpaces;

  // Splits `caption` into the lines to print: paragraphs at carriage returns
  // (line feeds removed), one line each with AutoSize, else wrapped to the
  // label's width as measured on the screen; without WordWrap only the first
  // line of each paragraph stays. With AutoSize the width follows the widest
  // line (right edge kept for right alignment, centre for centred labels).
  void FormatLines(const QString& caption);
  const QStringList& Lines() const { return FLines; }

  void Print(TQRPrintContext& context, TQRReal x, TQRReal y) override;
  void AfterPrint() override { FNextLine = 0; }

 protected:
  // The text to print now.
  virtual QString PrintCaption(TQRPrintContext& context) = 0;

 private:
  QStringList FLines;
  int FNextLine = 0;
};

class TQRLabel final : public TQRCustomLabel {
 public:
  using TQRCustomLabel::TQRCustomLabel;
  QString Caption;

 protected:
  QString PrintCaption(TQRPrintContext&) override { return Caption; }
};

// A label showing a field of the current record; a field that cannot be read
// prints as empty text, a field the dataset does not have prints nothing.
class TQRDBText final : public TQRCustomLabel {
 public:
  using TQRCustomLabel::TQRCustomLabel;
  QString DataField;

 protected:
  QString PrintCaption(TQRPrintContext& context) override;
};

enum class TQRSysDataType {
  qrsTime, qrsDate, qrsDateTime, qrsPageNumber, qrsReportTitle, qrsDetailCount, qrsDetailNo
};

// A label whose text the engine supplies when it prints, after the prefix Text.
class TQRSysData final : public TQRCustomLabel {
 public:
  using TQRCustomLabel::TQRCustomLabel;
  TQRSysDataType Data = TQRSysDataType::qrsTime;
  QString Text;

  // The design-time caption: the prefix and the kind's name in parentheses.
  QString DesignCaption() const;

 protected:
  QString PrintCaption(TQRPrintContext& context) override;
};

// Formatted text from a field: a value starting with "{\rtf" keeps its
// formatting (qr_richtext.h), anything else is plain text in the control's
// font. What does not fit the box is cut off unless AutoStretch lets the band
// grow in 5 mm steps.
class TQRDBRichText final : public TQRPrintable {
 public:
  explicit TQRDBRichText(QString name);

  QString DataField;
  bool AutoStretch = false;
  // Position of the first character not printed yet.
  int LastChar = 0;

  void Print(TQRPrintContext& context, TQRReal x, TQRReal y) override;
  void AfterPrint() override { LastChar = 0; }
};

}  // namespace vendrik
