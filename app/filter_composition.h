// The text work of the filter builder: a condition row (field, operator,
// value, joining word as the user typed them) becomes one line of condition
// text, and the lines of the condition box become the filter text.
//
// Every text put between single quotes has its own single quotes doubled, so
// a value such as O'Neil stays one string and no typed text can change the
// structure of the condition.
#pragma once

#include <QString>
#include <QStringList>

namespace vendrik {

// The four texts of one condition row, as the controls hold them.
struct TConditionRow {
  QString Field;
  QString Operator;
  QString Value;
  QString Joining;
};

// The text without leading and trailing blanks and control characters.
QString TrimControl(const QString& text);

// The row's line: field part, operator part, value part and joining part,
// each followed by one blank but the last ("KOD = '01' " for Kód, =, 01 and
// no joining word). "Kód" and "Megnevezés" name the columns KOD and MEGNEV,
// "And" and "Or" stay words; any other field or joining text, and every
// non-empty value, is quoted. An empty value beside a field and an operator
// is the empty string ''. A row whose four parts are all empty gives an
// empty text.
QString ComposeConditionLine(const TConditionRow& row);

// Whether the row adds a line to the condition box (some part is not empty).
bool RowHasLine(const TConditionRow& row);

// The filter text of the condition box's lines: each line without leading
// and trailing blanks followed by one blank, the whole without leading and
// trailing blanks.
QString FilterTextOfLines(const QStringList& lines);

}  // namespace vendrik
