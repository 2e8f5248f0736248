// Printing of the controls: frames, labels line by line, data and system
// texts, and formatted text cut at (or stretched beyond) its box.
#include "report/qr_controls.h"

#include <cmath>

#include <QAbstractTextDocumentLayout>
#include <QDateTime>
#include <QFontMetricsF>
#include <QLocale>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include "report/qr_band.h"
#include "report/qr_dataset.h"
#include "report/qr_printer.h"
#include "report/qr_report.h"
#include "report/qr_richtext.h"

namespace vendrik {
namespace {

constexpr qreal kPointsPerInch = 72;
constexpr qreal kNativePerInch = 254;
constexpr TQRReal kRichTextGrowStep = 50;  // 5 mm

QFont Measured(QFont font) {
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

// Width of `text` on the screen reference device, plus one pixel, in native units.
TQRReal TextWidth(const QFont& font, const QString& text) {
  const QFontMetricsF metrics(Measured(font));
  return (metrics.horizontalAdvance(text) + 1) * kNativePerInch / QRScreenDotsPerInch();
}

// The locale's long time format without a time zone.
QString LongTimeFormat(const QLocale& locale) {
  QString format = locale.timeFormat(QLocale::LongFormat);
  format.remove(QLatin1Char('t'));
  return format.trimmed();
}

QString DateTimeText(const QDateTime& now) {
  const QLocale locale;
  QString text = locale.toString(now.date(), QLocale::ShortFormat);
  if (now.time() != QTime(0, 0)) text += QLatin1Char(' ') + now.time().toString(LongTimeFormat(locale));
  return text;
}

QFont ControlFont(const TQRPrintable& control, const TQRBand& band) {
  return Measured(control.ParentFont ? band.EffectiveFont() : control.Font);
}

// Splits a paragraph into words that end just after a space, hyphen or
// carriage return.
QStringList Words(const QString& paragraph) {
  QStringList words;
  QString word;
  for (const QChar c : paragraph) {
    word += c;
    if (c == ' ' || c == '-' || c == '\r') {
      words << word;
      word.clear();
    }
  }
  if (!word.isEmpty()) words << word;
  return words;
}

}  // namespace

void TQRFrame::Draw(TQRPrinter& sink, const QRect& rect) const {
  if (!AnySide() || Width == 0 || !sink.Canvas()) return;
  const qreal points = Width < 0 ? 1 : Width;
  const int thickX = std::max(1, static_cast<int>(std::lround(points * sink.DotsPerInch() / kPointsPerInch)));
  const int thickY = thickX;
  QPainter& canvas = *sink.Canvas();
  if (DrawTop) canvas.fillRect(QRect(rect.left(), rect.top(), rect.width(), thickY), Color);
  if (DrawBottom)
    canvas.fillRect(QRect(rect.left(), rect.bottom() + 1 - thickY, rect.width(), thickY), Color);
  if (DrawLeft) canvas.fillRect(QRect(rect.left(), rect.top(), thickX, rect.height()), Color);
  if (DrawRight)
    canvas.fillRect(QRect(rect.right() + 1 - thickX, rect.top(), thickX, rect.height()), Color);
}

void TQRPrintable::SetSizeValues(TQRReal height, TQRReal left, TQRReal top, TQRReal width) {
  Height = height;
  Left = left;
  Top = top;
  Width = width;
}

QRect TQRPrintable::DeviceRect(const TQRPrinter& sink, TQRReal x, TQRReal y, TQRReal extraHeight) const {
  const int left = sink.XPos(x + Left), top = sink.YPos(y + Top);
  return QRect(left, top, sink.XPos(x + Left + Width) - left,
               sink.YPos(y + Top + Height + extraHeight) - top);
}

void TQRPrintable::FillBackground(TQRPrinter& sink, const QRect& rect) const {
  if (!Transparent && sink.Canvas()) sink.Canvas()->fillRect(rect, Color);
}

void TQRCustomLabel::FormatLines(const QString& caption) {
  FLines.clear();
  // Fonts of labels that are not yet on a band: measured in the report default.
  const QFont font = Measured(Font);
  QString text = caption;
  text.remove(QLatin1Char('\n'));
  const QStringList paragraphs = text.split(QLatin1Char('\r'));
  for (const QString& paragraph : paragraphs) {
    if (AutoSize) {
      FLines << paragraph;
      continue;
    }
    QStringList lines;
    QString line;
    if (WrapStyle == TQRWrapStyle::BreakAnywhere) {
      for (const QChar c : paragraph) {
        if (!line.isEmpty() && TextWidth(font, line + c) > Width) {
          lines << line;
          line.clear();
        }
        line += c;
      }
      if (!line.trimmed().isEmpty()) lines << line;
    } else {
      for (QString word : Words(paragraph)) {
        if (TextWidth(font, line + word) <= Width) {
          line += word;
          continue;
        }
        if (!line.isEmpty()) {
          lines << line;
          line.clear();
        }
        if (TextWidth(font, word) <= Width) {
          line = word;
          continue;
        }
        // A word wider than the label is broken character by character.
        for (const QChar c : word) {
          if (TextWidth(font, line + c) > Width) {
            if (line.isEmpty()) break;  // not even one character fits
            lines << line;
            line.clear();
          }
          line += c;
        }
      }
      if (!line.isEmpty()) lines << line;
    }
    if (lines.isEmpty()) lines << QString();
    if (!WordWrap) lines = lines.mid(0, 1);
    FLines << lines;
  }
  if (AutoSize) {
    TQRReal widest = 0;
    for (const QString& line : FLines) widest = std::max(widest, TextWidth(font, line));
    if (Frame.DrawLeft || Frame.DrawRight) widest += Frame.Width * kNativePerInch / kPointsPerInch;
    if (Alignment == TQRAlignment::Right) Left += Width - widest;
    if (Alignment == TQRAlignment::Center) Left += (Width - widest) / 2;
    Width = widest;
    const QFontMetricsF metrics(font);
    Height = std::max<TQRReal>(Height, (metrics.height() + 1) * kNativePerInch / QRScreenDotsPerInch());
  }
}

void TQRCustomLabel::Print(TQRPrintContext& context, TQRReal x, TQRReal y) {
  TQRPrinter& sink = context.FSink;
  QPainter* canvas = sink.Canvas();
  const bool continuing = FNextLine > 0;
  if (!continuing) {
    Font = ControlFont(*this, context.FBand);
    const QString caption = PrintCaption(context);
    FormatLines(caption);
  }
  const QFont font = ControlFont(*this, context.FBand);
  FillBackground(sink, DeviceRect(sink, x, y));
  const QFontMetricsF metrics(font, sink.Device());
  const TQRReal lineHeight = metrics.height() / sink.YFactor();
  TQRReal lineTop = y + Top;
  int line = FNextLine;
  TQRReal newExpanded = 0;
  bool hasExpanded = false;
  while (line < FLines.size()) {
    if (lineTop + lineHeight > y + Top + Height + 1 + context.FBand.Expanded) {
      if (!AutoStretch || !context.FBand.CanExpand(lineHeight)) break;
      context.FBand.ExpandBand(lineHeight, newExpanded, hasExpanded);
    }
    if (canvas) {
      const QString& text = FLines[line];
      const qreal width = metrics.horizontalAdvance(text);
      qreal left = sink.XPos(x + Left);
      if (Alignment == TQRAlignment::Right) left = sink.XPos(x + Left + Width) - width;
      if (Alignment == TQRAlignment::Center) left = sink.XPos(x + Left + Width / 2) - width / 2;
      canvas->setFont(font);
      canvas->setPen(Qt::black);
      canvas->drawText(QPointF(left, sink.YPos(lineTop) + metrics.ascent()), text);
    }
    lineTop += lineHeight;
    ++line;
  }
  // A continuation that printed nothing would never finish: its lines are dropped.
  const bool stuck = continuing && line == FNextLine;
  PrintFinished = !(line < FLines.size() && AutoStretch) || stuck;
  FNextLine = PrintFinished ? 0 : line;
  Frame.Draw(sink, DeviceRect(sink, x, y, context.FBand.Expanded));
}

QString TQRDBText::PrintCaption(TQRPrintContext& context) {
  if (!context.FDataSet || !context.FDataSet->HasField(DataField)) return QString();
  try {
    return context.FDataSet->FieldText(DataField);
  } catch (...) {
    return QString();  // a value that cannot be read prints as empty text
  }
}

QString TQRSysData::DesignCaption() const {
  static const char* const kNames[] = {"Time", "Date", "Date/Time", "Page#", "Report title",
                                       "Detail count", "Detail no"};
  return Text + QStringLiteral("(%1)").arg(QLatin1String(kNames[static_cast<int>(Data)]));
}

QString TQRSysData::PrintCaption(TQRPrintContext& context) {
  const QDateTime now = QDateTime::currentDateTime();
  const QLocale locale;
  QString value;
  switch (Data) {
    case TQRSysDataType::qrsTime: value = locale.toString(now.time(), QLocale::ShortFormat); break;
    case TQRSysDataType::qrsDate: value = locale.toString(now.date(), QLocale::ShortFormat); break;
    case TQRSysDataType::qrsDateTime: value = DateTimeText(now); break;
    case TQRSysDataType::qrsPageNumber: value = QString::number(context.FPageNumber); break;
    case TQRSysDataType::qrsReportTitle: value = context.FReportTitle; break;
    case TQRSysDataType::qrsDetailCount: value = QString::number(context.FDetailCount); break;
    case TQRSysDataType::qrsDetailNo: value = QString::number(context.FDetailNumber); break;
  }
  return Text + value;
}

TQRDBRichText::TQRDBRichText(QString name) : TQRPrintable(std::move(name)) {}

namespace {

// The characters of `document` whose lines end within `height` device
// pixels, and the bottom of the last such line.
struct TFit {
  int FCharacters;
  qreal FBottom;
};

TFit Fit(QTextDocument& document, qreal height) {
  QAbstractTextDocumentLayout* layout = document.documentLayout();
  qreal bottom = 0;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    const QRectF blockRect = layout->blockBoundingRect(block);
    const QTextLayout* lines = block.layout();
    for (int i = 0; i < lines->lineCount(); ++i) {
      const QTextLine line = lines->lineAt(i);
      const qreal lineBottom = blockRect.top() + line.y() + line.height();
      if (lineBottom > height + 0.5) return {block.position() + line.textStart(), bottom};
      bottom = lineBottom;
    }
  }
  return {document.characterCount() - 1, bottom};
}

}  // namespace

void TQRDBRichText::Print(TQRPrintContext& context, TQRReal x, TQRReal y) {
  TQRPrinter& sink = context.FSink;
  const int start = PrintFinished ? 0 : LastChar;
  QString value;
  const bool hasField = context.FDataSet && context.FDataSet->HasField(DataField);
  if (hasField) {
    try {
      value = context.FDataSet->FieldText(DataField);
    } catch (...) {
      value.clear();  // a value that cannot be read empties the control
    }
  }
  QRect rect = DeviceRect(sink, x, y);
  FillBackground(sink, rect);
  QTextDocument document;
  document.documentLayout()->setPaintDevice(sink.Device());
  document.setDocumentMargin(0);
  QRLoadRichText(document, value, ControlFont(*this, context.FBand));
  QTextCursor cut(&document);
  cut.setPosition(std::min(start, document.characterCount() - 1), QTextCursor::KeepAnchor);
  cut.removeSelectedText();
  document.setTextWidth(rect.width());
  const int total = document.characterCount() - 1;
  TFit fit = Fit(document, rect.height());
  PrintFinished = true;
  if (fit.FCharacters < total && AutoStretch) {
    TQRReal newExpanded = 0;
    bool hasExpanded = false;
    TQRReal grown = 0;
    while (fit.FCharacters < total && context.FBand.CanExpand(kRichTextGrowStep)) {
      context.FBand.ExpandBand(kRichTextGrowStep, newExpanded, hasExpanded);
      grown += kRichTextGrowStep;
      fit = Fit(document, rect.height() + sink.YSize(grown));
    }
    // Stopping with nothing printed would never end: the rest is dropped then.
    PrintFinished = fit.FCharacters >= total || (fit.FCharacters == 0 && start > 0);
  }
  if (sink.Canvas() && fit.FCharacters > 0) {
    QPainter& canvas = *sink.Canvas();
    canvas.save();
    canvas.translate(rect.topLeft());
    const QRectF visible(0, 0, rect.width(), fit.FBottom);
    canvas.setClipRect(visible);
    QAbstractTextDocumentLayout::PaintContext paint;
    paint.clip = visible;
    paint.palette.setColor(QPalette::Text, Qt::black);
    document.documentLayout()->draw(&canvas, paint);
    canvas.restore();
  }
  LastChar = PrintFinished ? 0 : start + fit.FCharacters;
  if (PrintFinished) Frame.Draw(sink, rect);
}

}  // namespace vendrik
