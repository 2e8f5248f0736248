// The about window and the picture window driven offscreen: their controls
// and texts, the system report shown under the Hungarian locale, the
// "MS Info" button with and without a system-information viewer, the links,
// the picture window that a click closes, and an accessible name on every
// control.
#include <cstdlib>
#include <functional>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/about_window.h"
#include "app/picture_window.h"
#include "fake_services.h"

namespace vendrik::testing {
namespace {

// The report of a fixed machine, so that the window shows known values
// without measuring.
TSystemReport FixedReport() {
  TSystemReport report;
  report.FPlatformFamily = QStringLiteral("Linux");
  report.FVersion = {6, 8, 0};
  report.FMemory = TMemoryStatus{16777216000ull, 45};
  report.FClockMHz = 2095.9654;
  report.FProcessor = TProcessorInfo{586, 513};
  return report;
}

// The default locale and the search path, set for one test and restored.
class TEnvironmentScope {
 public:
  TEnvironmentScope() : FLocale(QLocale()), FPath(qgetenv("PATH")) {}
  ~TEnvironmentScope() {
    QLocale::setDefault(FLocale);
    qputenv("PATH", FPath);
  }

 private:
  QLocale FLocale;
  QByteArray FPath;
};

void SendMouse(QWidget* widget, QEvent::Type type, QPoint position) {
  const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, position, widget->mapToGlobal(position), Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void Click(QWidget* widget, QPoint position) {
  SendMouse(widget, QEvent::MouseButtonPress, position);
  SendMouse(widget, QEvent::MouseButtonRelease, position);
}

void DoubleClick(QWidget* widget, QPoint position) {
  Click(widget, position);
  SendMouse(widget, QEvent::MouseButtonDblClick, position);
  SendMouse(widget, QEvent::MouseButtonRelease, position);
}

class AboutWindowTest : public ::testing::Test {
 protected:
  AboutWindowTest() : FForm7(FApp.FWindows->Form7()), FForm8(FApp.FWindows->Form8()) {
    FForm7.SetSystemReportSource(FixedReport);
    QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
    qputenv("PATH", FEmptyPath.path().toLocal8Bit());
  }

  template <typename T = QLabel>
  T* Control(QWidget& window, const char* name) {
    auto* control = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  // Shows the about window modally, runs `whileShown` in it, then closes it.
  void WhileShown(const std::function<void()>& whileShown) {
    QTimer::singleShot(0, [&] {
      whileShown();
      FForm7.close();
    });
    FForm7.ShowModal();
  }

  TEnvironmentScope FEnvironment;
  QTemporaryDir FEmptyPath;
  TAppFixture FApp;
  TForm7& FForm7;
  TForm8& FForm8;
};

TEST_F(AboutWindowTest, ControlsHaveTheirTextsAndPlaces) {
  struct Case {
    const char* FName;
    QString FText;
    QRect FGeometry;  // within the parent panel or the window
  };
  const Case cases[] = {
      {"Label1", QStringLiteral("Vendrik '03"), QRect(48, 8, 225, 25)},
      {"Label2", QStringLiteral("V2.0.0.0"), QRect(56, 32, 212, 13)},
      // The captions of the system report take the width of their text.
      {"Label8", QStringLiteral("Operációs rendszer:"), QRect(8, 8, 0, 13)},
      {"Label9", QStringLiteral("Processzor típusa:"), QRect(8, 24, 0, 13)},
      {"Label10", QStringLiteral("Processzor sebessége:"), QRect(8, 40, 0, 13)},
      {"Label11", QStringLiteral("Fizikai memória:"), QRect(8, 56, 0, 13)},
      {"Label12", QStringLiteral("Memória használatban:"), QRect(8, 72, 0, 13)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.FName);
    QLabel* label = Control(FForm7, c.FName);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), c.FText);
    EXPECT_EQ(label->pos(), c.FGeometry.topLeft());
    EXPECT_EQ(label->height(), c.FGeometry.height());
    EXPECT_EQ(label->width(), c.FGeometry.width() > 0 ? c.FGeometry.width() : label->sizeHint().width());
  }
  EXPECT_EQ(Control<QWidget>(FForm7, "Panel1")->geometry(), QRect(8, 8, 281, 161));
  EXPECT_EQ(Control<QWidget>(FForm7, "Panel2")->geometry(), QRect(8, 296, 281, 93));
  EXPECT_EQ(Control<QWidget>(FForm7, "Memo1")->geometry(), QRect(8, 176, 281, 57));
  EXPECT_EQ(Control<QWidget>(FForm7, "BitBtn2")->geometry(), QRect(8, 396, 100, 25));
  EXPECT_EQ(Control<QWidget>(FForm7, "BitBtn1")->geometry(), QRect(188, 396, 100, 25));
  EXPECT_FALSE(Control(FForm7, "Image1")->pixmap().isNull()) << "the program's icon";

  // The author's lines begin with their given words and stay centred on
  // their place however long the content is.
  const struct {
    const char* FName;
    const char* FStart;
    QRect FPlace;
  } authorLines[] = {{"Label3", "Készítette: ", QRect(64, 48, 169, 17)},
                     {"Label4", "", QRect(16, 72, 251, 13)},
                     {"Label5", "Tel/Fax: ", QRect(16, 88, 251, 13)},
                     {"Label6", "Mobil: ", QRect(16, 104, 251, 13)},
                     {"Label7", "E-mail: ", QRect(72, 120, 137, 13)},
                     {"Label18", "Internet: ", QRect(88, 136, 105, 13)}};
  for (const auto& line : authorLines) {
    SCOPED_TRACE(line.FName);
    QLabel* label = Control(FForm7, line.FName);
    EXPECT_TRUE(label->text().startsWith(QString::fromUtf8(line.FStart))) << label->text().toStdString();
    EXPECT_EQ(label->y(), line.FPlace.y());
    EXPECT_EQ(label->height(), line.FPlace.height());
    EXPECT_GE(label->width(), line.FPlace.width());
    EXPECT_LE(std::abs(label->geometry().center().x() - line.FPlace.center().x()), 1);
  }
  EXPECT_TRUE(Control(FForm7, "Label3")->text().endsWith(QLatin1Char('.')));
  EXPECT_EQ(Control(FForm7, "Label7")->toolTip(), QStringLiteral("E-mail küldése"));
  EXPECT_EQ(Control(FForm7, "Label18")->toolTip(), QStringLiteral("Cím behívása"));
  EXPECT_EQ(Control<QWidget>(FForm7, "BitBtn1")->toolTip(), QStringLiteral("Befejezés !"));

  auto* memo = Control<QPlainTextEdit>(FForm7, "Memo1");
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->document()->blockCount(), 20);
  EXPECT_EQ(memo->toPlainText().count(QStringLiteral("\n---")), 2) << "two dash lines part three blocks";
}

TEST_F(AboutWindowTest, ShowingTheWindowFillsTheReportInTheLocalesFormat) {
  const QString group = QLocale().groupSeparator();
  WhileShown([&] {
    struct Case {
      const char* FName;
      QString FText;
    };
    const Case cases[] = {
        {"Label13", QStringLiteral("Linux  (6.8.0)")},
        {"Label14", QStringLiteral("586  Rev. 513")},
        {"Label15", QStringLiteral("2095,97 MHz")},
        {"Label16", QStringLiteral("16") + group + QStringLiteral("384") + group + QStringLiteral("000 KB")},
        {"Label17", QStringLiteral("45 %")},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.FName);
      QLabel* label = Control(FForm7, c.FName);
      EXPECT_EQ(label->text(), c.FText);
      EXPECT_TRUE(label->alignment() & Qt::AlignRight);
      EXPECT_EQ(label->x(), 128);
      EXPECT_EQ(label->width(), 145);
    }
  });
}

TEST_F(AboutWindowTest, UnknownValuesLeaveTheirLabelsEmpty) {
  FForm7.SetSystemReportSource([] {
    TSystemReport report = FixedReport();
    report.FMemory.reset();
    report.FClockMHz.reset();
    report.FProcessor.reset();
    return report;
  });
  WhileShown([&] {
    for (const char* name : {"Label14", "Label15", "Label16", "Label17"})
      EXPECT_EQ(Control(FForm7, name)->text(), QString()) << name;
    EXPECT_EQ(Control(FForm7, "Label13")->text(), QStringLiteral("Linux  (6.8.0)"));
  });
}

TEST_F(AboutWindowTest, MsInfoIsDisabledWithoutAViewerAndStartsOneThatIsInstalled) {
  QPushButton* button = Control<QPushButton>(FForm7, "BitBtn2");
  EXPECT_EQ(button->text(), QStringLiteral("MS Info"));
  WhileShown([&] {
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(button->toolTip().startsWith(QStringLiteral("Nincs telepítve rendszerinformációs program")));
  });

  const QString viewer = FEmptyPath.filePath(QStringLiteral("hardinfo"));
  QFile file(viewer);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("#!/bin/sh\n");
  file.close();
  ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
  WhileShown([&] {
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->toolTip(), QStringLiteral("Rendszerinformáció megjelenítése !"));
    button->click();
    FApp.FShell.FSucceeds = false;
    button->click();
  });
  const std::vector<QString> started = {viewer, viewer};
  EXPECT_EQ(FApp.FShell.FStarted, started);
  ASSERT_EQ(FApp.FDialogs.FBoxes.size(), 1u) << "only the failed start is reported";
  EXPECT_EQ(FApp.FDialogs.FBoxes[0].FCaption, QStringLiteral("Hiba történt:"));
  EXPECT_EQ(FApp.FDialogs.FBoxes[0].FText,
            QStringLiteral("A(z) %1 program nem indítható: Permission denied").arg(viewer));
}

TEST_F(AboutWindowTest, LinksOpenTheMailAndWebAddressesAndAFailureIsShown) {
  WhileShown([&] {
    QLabel* email = Control(FForm7, "Label7");
    QLabel* web = Control(FForm7, "Label18");
    EXPECT_EQ(email->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(email->font().underline());
    Click(email, QPoint(5, 5));
    Click(web, QPoint(5, 5));
    FApp.FShell.FSucceeds = false;
    Click(web, QPoint(5, 5));
  });
  ASSERT_EQ(FApp.FShell.FAddresses.size(), 3u);
  const QString emailText = Control(FForm7, "Label7")->text();
  const QString webText = Control(FForm7, "Label18")->text();
  EXPECT_EQ(FApp.FShell.FAddresses[0], QStringLiteral("mailto:") + emailText.mid(QStringLiteral("E-mail: ").size()));
  EXPECT_EQ(FApp.FShell.FAddresses[1], webText.mid(QStringLiteral("Internet: ").size()));
  ASSERT_EQ(FApp.FDialogs.FBoxes.size(), 1u);
  EXPECT_EQ(FApp.FDialogs.FBoxes[0].FCaption, QStringLiteral("Hiba történt:"));
  EXPECT_TRUE(FApp.FDialogs.FBoxes[0].FText.contains(FApp.FShell.FAddresses[1]));
}

TEST_F(AboutWindowTest, DoubleClickOnTheAuthorShowsThePictureThatAClickCloses) {
  struct Case {
    const char* FTarget;  // where the picture window is clicked
    QPoint FPosition;
  };
  const Case cases[] = {{"Image1", QPoint(40, 40)}, {"Panel1", QPoint(2, 2)}, {"Panel1", QPoint(140, 148)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.FTarget);
    bool pictureShown = false, pictureModal = false, closedByClick = false, aboutStillOpen = false;
    WhileShown([&] {
      QTimer::singleShot(0, [&] {
        pictureShown = FForm8.isVisible();
        pictureModal = QApplication::activeModalWidget() == &FForm8;
        Click(Control<QWidget>(FForm8, c.FTarget), c.FPosition);
        closedByClick = !FForm8.isVisible();
        if (!closedByClick) FForm8.close();
      });
      DoubleClick(Control(FForm7, "Label3"), QPoint(10, 5));
      aboutStillOpen = FForm7.isVisible();
    });
    EXPECT_TRUE(pictureShown);
    EXPECT_TRUE(pictureModal);
    EXPECT_TRUE(closedByClick);
    EXPECT_TRUE(aboutStillOpen) << "the about window is shown again";
  }
}

TEST_F(AboutWindowTest, PictureWindowHoldsThePictureAtItsNaturalSize) {
  QLabel* image = Control(FForm8, "Image1");
  EXPECT_EQ(image->geometry(), QRect(8, 8, 129, 137));
  EXPECT_EQ(image->pixmap().size(), QSize(128, 164));
  EXPECT_FALSE(image->hasScaledContents());
  EXPECT_EQ(Control<QWidget>(FForm8, "Panel1")->geometry(), QRect(0, 0, 145, 153));
}

TEST_F(AboutWindowTest, FinishButtonClosesTheWindow) {
  bool visibleAfterClick = true;
  QTimer::singleShot(0, [&] {
    Control<QPushButton>(FForm7, "BitBtn1")->click();
    visibleAfterClick = FForm7.isVisible();
  });
  FForm7.ShowModal();
  EXPECT_FALSE(visibleAfterClick);
}

TEST_F(AboutWindowTest, EveryControlHasAnAccessibleName) {
  for (QWidget* window : {static_cast<QWidget*>(&FForm7), static_cast<QWidget*>(&FForm8)}) {
    for (QWidget* control : window->findChildren<QWidget*>()) {
      if (control->objectName().isEmpty() || control->objectName().startsWith(QLatin1String("qt_"))) continue;
      SCOPED_TRACE((window->objectName() + QLatin1Char('.') + control->objectName()).toStdString());
      EXPECT_FALSE(control->accessibleName().isEmpty());
    }
  }
}

}  // namespace
}  // namespace vendrik::testing
