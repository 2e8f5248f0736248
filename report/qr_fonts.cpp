// Font substitutions of the report engine and their check.
#include "report/qr_fonts.h"

#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLoggingCategory>

namespace vendrik {
namespace {

Q_LOGGING_CATEGORY(lcReportFonts, "vendrik.report.fonts")

struct TSubstitution {
  const char* FFamily;
  const char* FStandIn;
};
constexpr TSubstitution kSubstitutions[] = {{"Arial", "Liberation Sans"},
                                            {"Times New Roman", "Liberation Serif"}};

}  // namespace

void QRCheckFonts() {
  static bool checked = false;
  if (checked || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
  checked = true;
  for (const TSubstitution& s : kSubstitutions) {
    const QString family = QString::fromLatin1(s.FFamily), standIn = QString::fromLatin1(s.FStandIn);
    if (!QFont::substitutes(family).contains(standIn)) QFont::insertSubstitution(family, standIn);
    const QString resolved = QFontInfo(QFont(family)).family();
    if (resolved != family && resolved != standIn)
      qCWarning(lcReportFonts, "Report font \"%s\" resolves to \"%s\", not to \"%s\": printed "
                "text will have other widths.", s.FFamily, qPrintable(resolved), s.FStandIn);
  }
}

}  // namespace vendrik
