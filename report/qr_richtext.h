// Loading the value of a rich-text control into a QTextDocument. A value that
// begins with "{\rtf" is read as rich text format, in the subset that the
// descriptions use: paragraphs (\par), line breaks and tabs, bold, italic,
// underline, font size (\fs, half points), plain (\plain), code page escapes
// (\'hh in the code page of \ansicpg, Windows-1252 by default) and Unicode
// escapes (\u with \uc); font, colour and style tables and other
// destinations are skipped. Anything else is plain text. The text keeps its
// Unicode characters: nothing is narrowed to a code page on the way.
#pragma once

#include <QFont>
#include <QString>

class QTextDocument;

namespace vendrik {

// Fills `document` (emptied first) with `value`, in `font` unless the rich
// text says otherwise. A malformed rich text never fails: unknown control
// words are skipped, unbalanced groups end at the end of the text.
void QRLoadRichText(QTextDocument& document, const QString& value, const QFont& font);

// Reads rich text format into plain paragraphs (for tests and search): the
// text the document would show.
QString QRRichTextPlain(const QString& value);

}  // namespace vendrik
