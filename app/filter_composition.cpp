// The filter builder's composition of condition lines (see the header).
#include "app/filter_composition.h"

namespace vendrik {
namespace {

bool IsBlankOrControl(QChar c) { return c.unicode() <= 0x20 || c.unicode() == 0x7F; }

QString Quoted(const QString& text) {
  QString doubled = text;
  doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
  return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

// The four parts of a row, before they are joined with blanks.
struct TRowParts {
  QString Field, Operator, Value, Joining;
};

TRowParts PartsOf(const TConditionRow& row) {
  TRowParts parts;
  const QString field = TrimControl(row.Field);
  if (field == QStringLiteral("Kód"))
    parts.Field = QStringLiteral("KOD");
  else if (field == QStringLiteral("Megnevezés"))
    parts.Field = QStringLiteral("MEGNEV");
  else if (!field.isEmpty())
    parts.Field = Quoted(field);

  parts.Operator = TrimControl(row.Operator);

  const QString value = TrimControl(row.Value);
  if (!value.isEmpty())
    parts.Value = Quoted(value);
  else if (!field.isEmpty() && !parts.Operator.isEmpty())
    parts.Value = QStringLiteral("''");
  else
    parts.Value = row.Value;  // empty or blanks only

  const QString joining = TrimControl(row.Joining);
  if (joining == QStringLiteral("And") || joining == QStringLiteral("Or"))
    parts.Joining = joining;
  else if (!joining.isEmpty())
    parts.Joining = Quoted(joining);
  return parts;
}

}  // namespace

QString TrimControl(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && IsBlankOrControl(text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(text[end - 1])) --end;
  return text.mid(begin, end - begin);
}

QString ComposeConditionLine(const TConditionRow& row) {
  if (!RowHasLine(row)) return QString();
  const TRowParts parts = PartsOf(row);
  const QChar blank = QLatin1Char(' ');
  return parts.Field + blank + parts.Operator + blank + parts.Value + blank + parts.Joining;
}

bool RowHasLine(const TConditionRow& row) {
  const TRowParts parts = PartsOf(row);
  return !(parts.Field + parts.Operator + parts.Value + parts.Joining).isEmpty();
}

QString FilterTextOfLines(const QStringList& lines) {
  QString text;
  for (const QString& line : lines) text += line.trimmed() + QLatin1Char(' ');
  return text.trimmed();
}

}  // namespace vendrik
