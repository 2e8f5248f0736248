// Start-up settings: font substitutions, the resources made at build time and
// the theme, including the theme's failure path.
#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QStyle>

#include <gtest/gtest.h>

#include "app/application.h"
#include "fake_services.h"

namespace vendrik::testing {
namespace {

TEST(ApplicationTest, DesignFontsResolveToLiberationFonts) {
  struct Case {
    const char* FFamily;
    const char* FResolved;
  };
  for (const Case& c : {Case{"MS Sans Serif", "Liberation Sans"}, Case{"Arial", "Liberation Sans"},
                        Case{"Times New Roman", "Liberation Serif"}}) {
    EXPECT_TRUE(QFont::substitutes(QString::fromLatin1(c.FFamily)).contains(QString::fromLatin1(c.FResolved), Qt::CaseInsensitive))
        << c.FFamily;
    EXPECT_EQ(QFontInfo(QFont(QString::fromLatin1(c.FFamily))).family(), QString::fromLatin1(c.FResolved))
        << c.FFamily;
  }
  EXPECT_EQ(QApplication::font().family(), QStringLiteral("MS Sans Serif"));
  EXPECT_EQ(QApplication::font().pixelSize(), 11);
}

TEST(ApplicationTest, GeneratedAssetsAreInTheResources) {
  struct Case {
    QString FPath;
    QSize FSize;
  };
  for (const Case& c : {Case{QStringLiteral(":/images/title.png"), QSize(537, 313)},
                        Case{kIconResource, QSize(32, 32)},
                        Case{QStringLiteral(":/images/icon-128.png"), QSize(128, 128)}}) {
    const QImage image(c.FPath);
    ASSERT_FALSE(image.isNull()) << c.FPath.toStdString();
    EXPECT_EQ(image.size(), c.FSize) << c.FPath.toStdString();
  }
  EXPECT_TRUE(QFile::exists(kThemeStyleSheet));
}

TEST(ApplicationTest, ThemeIsFusionWithItsStyleSheet) {
  // The test program applied the theme at start.
  QFile sheet(kThemeStyleSheet);
  ASSERT_TRUE(sheet.open(QIODevice::ReadOnly | QIODevice::Text));
  const QString styleSheet = qApp->styleSheet();
  EXPECT_EQ(styleSheet, QString::fromUtf8(sheet.readAll()));
  // Under a style sheet the application's style is the sheet's; the style
  // beneath shows once the sheet is taken away.
  qApp->setStyleSheet(QString());
  EXPECT_EQ(QApplication::style()->name(), QStringLiteral("fusion"));
  qApp->setStyleSheet(styleSheet);
}

TEST(ApplicationTest, ThemeThatCannotBeAppliedIsReportedAndChangesNothing) {
  const QString sheetBefore = qApp->styleSheet();
  TFakeDialogs dialogs;
  EXPECT_FALSE(ApplyTheme(*qApp, dialogs, QStringLiteral(":/themes/missing.qss")));
  ASSERT_EQ(dialogs.FBoxes.size(), 1u);
  EXPECT_EQ(dialogs.FBoxes[0].FKind, TBoxKind::bkError);
  EXPECT_TRUE(dialogs.FBoxes[0].FText.contains(QStringLiteral("\"Iceberg Classico\"")));
  EXPECT_EQ(qApp->styleSheet(), sheetBefore);
}

}  // namespace
}  // namespace vendrik::testing
