// The rich text reader: a scanner over control words, groups and text with a
// stack of character states; characters go to the document through one
// QTextCursor with the current character format.
#include "report/qr_richtext.h"

#include <vector>

#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>

namespace vendrik {
namespace {

struct TState {
  bool FBold = false, FItalic = false, FUnderline = false;
  qreal FPointSize = 0;  // 0: the default font's
  bool FSkip = false;    // inside a destination that is not text
  int FUnicodeSkip = 1;  // characters after \u that stand in for it
};

// Destinations whose content is not part of the text.
bool IsSkippedDestination(const QString& word) {
  static const QStringList kSkipped = {
      QStringLiteral("fonttbl"), QStringLiteral("colortbl"), QStringLiteral("stylesheet"),
      QStringLiteral("info"),    QStringLiteral("pict"),     QStringLiteral("header"),
      QStringLiteral("footer"),  QStringLiteral("generator"), QStringLiteral("listtable"),
      QStringLiteral("listoverridetable"), QStringLiteral("rsidtbl"), QStringLiteral("themedata"),
      QStringLiteral("latentstyles"), QStringLiteral("datastore"), QStringLiteral("xmlnstbl")};
  return kSkipped.contains(word);
}

QChar SymbolOf(const QString& word) {
  if (word == QLatin1String("emdash")) return QChar(0x2014);
  if (word == QLatin1String("endash")) return QChar(0x2013);
  if (word == QLatin1String("bullet")) return QChar(0x2022);
  if (word == QLatin1String("lquote")) return QChar(0x2018);
  if (word == QLatin1String("rquote")) return QChar(0x2019);
  if (word == QLatin1String("ldblquote")) return QChar(0x201C);
  if (word == QLatin1String("rdblquote")) return QChar(0x201D);
  if (word == QLatin1String("tab")) return QChar('\t');
  if (word == QLatin1String("line")) return QChar::LineSeparator;
  return QChar();
}

class TRtfReader {
 public:
  TRtfReader(const QString& source, QTextDocument* document, const QFont& font)
      : FSource(source), FDocument(document), FFont(font) {
    if (document) FCursor = QTextCursor(document);
  }

  QString Run() {
    std::vector<TState> stack;
    TState state;
    qsizetype i = 0;
    int pendingSkip = 0;  // characters still to drop after \u
    while (i < FSource.size()) {
      const QChar c = FSource[i];
      if (c == '{') {
        FlushBytes(state);
        stack.push_back(state);
        ++i;
        continue;
      }
      if (c == '}') {
        FlushBytes(state);
        if (!stack.empty()) {
          state = stack.back();
          stack.pop_back();
        }
        ++i;
        continue;
      }
      if (c == '\r' || c == '\n') {
        ++i;
        continue;
      }
      if (c != '\\') {
        FlushBytes(state);
        if (pendingSkip > 0) {
          --pendingSkip;
        } else {
          Emit(state, QString(c));
        }
        ++i;
        continue;
      }
      // A control symbol or word.
      ++i;
      if (i >= FSource.size()) break;
      const QChar s = FSource[i];
      if (s == '\'') {
        bool ok = false;
        const int byte = FSource.mid(i + 1, 2).toInt(&ok, 16);
        i += 3;
        if (!ok) continue;
        if (pendingSkip > 0) {
          --pendingSkip;
          continue;
        }
        FBytes.append(static_cast<char>(byte));
        continue;
      }
      FlushBytes(state);
      if (!s.isLetter()) {
        ++i;
        if (s == '*') state.FSkip = true;
        else if (s == '~') Emit(state, QString(QChar(0x00A0)));
        else if (s == '_') Emit(state, QString(QChar(0x2011)));
        else if (s == '\\' || s == '{' || s == '}') Emit(state, QString(s));
        else if (s == '\r' || s == '\n') NewParagraph(state);
        continue;
      }
      qsizetype end = i;
      while (end < FSource.size() && FSource[end].isLetter() && FSource[end].unicode() < 128) ++end;
      const QString word = FSource.mid(i, end - i);
      qsizetype numberEnd = end;
      if (numberEnd < FSource.size() && FSource[numberEnd] == '-') ++numberEnd;
      while (numberEnd < FSource.size() && FSource[numberEnd].isDigit()) ++numberEnd;
      const bool hasNumber = numberEnd > end && FSource.mid(end, numberEnd - end) != QLatin1String("-");
      const int number = hasNumber ? FSource.mid(end, numberEnd - end).toInt() : 0;
      i = hasNumber ? numberEnd : end;
      if (i < FSource.size() && FSource[i] == ' ') ++i;  // the delimiter belongs to the word
      Control(state, word, hasNumber, number, pendingSkip);
    }
    FlushBytes(state);
    return FPlain;
  }

 private:
  void Control(TState& state, const QString& word, bool hasNumber, int number, int& pendingSkip) {
    const bool on = !hasNumber || number != 0;
    if (IsSkippedDestination(word)) state.FSkip = true;
    else if (word == QLatin1String("par")) NewParagraph(state);
    else if (word == QLatin1String("b")) state.FBold = on;
    else if (word == QLatin1String("i")) state.FItalic = on;
    else if (word == QLatin1String("ul")) state.FUnderline = on;
    else if (word == QLatin1String("ulnone")) state.FUnderline = false;
    else if (word == QLatin1String("fs") && hasNumber && number > 0) state.FPointSize = number / 2.0;
    else if (word == QLatin1String("plain")) {
      state.FBold = state.FItalic = state.FUnderline = false;
      state.FPointSize = 0;
    } else if (word == QLatin1String("ansicpg") && hasNumber) FCodePage = number;
    else if (word == QLatin1String("uc") && hasNumber && number >= 0) state.FUnicodeSkip = number;
    else if (word == QLatin1String("u") && hasNumber) {
      Emit(state, QString(QChar(static_cast<char16_t>(number < 0 ? number + 65536 : number))));
      pendingSkip = state.FUnicodeSkip;
    } else {
      const QChar symbol = SymbolOf(word);
      if (!symbol.isNull()) Emit(state, QString(symbol));
    }
  }

  // Decodes the collected \'hh bytes in the document's code page.
  void FlushBytes(const TState& state) {
    if (FBytes.isEmpty()) return;
    QStringDecoder decoder(QStringLiteral("windows-%1").arg(FCodePage).toLatin1().constData());
    if (!decoder.isValid()) decoder = QStringDecoder("windows-1252");
    const QString text = decoder.isValid() ? decoder.decode(FBytes) : QString::fromLatin1(FBytes);
    FBytes.clear();
    Emit(state, text);
  }

  void Emit(const TState& state, const QString& text) {
    if (state.FSkip || text.isEmpty()) return;
    FPlain += text;
    if (!FDocument) return;
    QTextCharFormat format;
    QFont font = FFont;
    if (state.FPointSize > 0) font.setPointSizeF(state.FPointSize);
    font.setBold(state.FBold || FFont.bold());
    font.setItalic(state.FItalic || FFont.italic());
    font.setUnderline(state.FUnderline);
    format.setFont(font);
    FCursor.insertText(text, format);
  }

  void NewParagraph(const TState& state) {
    if (state.FSkip) return;
    FPlain += QChar('\n');
    if (FDocument) FCursor.insertBlock();
  }

  const QString& FSource;
  QTextDocument* FDocument;
  QFont FFont;
  QTextCursor FCursor;
  QString FPlain;
  QByteArray FBytes;
  int FCodePage = 1252;
};

bool IsRichText(const QString& value) { return value.startsWith(QLatin1String("{\\rtf")); }

}  // namespace

void QRLoadRichText(QTextDocument& document, const QString& value, const QFont& font) {
  document.clear();
  document.setDefaultFont(font);
  if (!IsRichText(value)) {
    document.setPlainText(value);
    return;
  }
  TRtfReader(value, &document, font).Run();
}

QString QRRichTextPlain(const QString& value) {
  if (!IsRichText(value)) return value;
  return TRtfReader(value, nullptr, QFont()).Run();
}

}  // namespace vendrik
