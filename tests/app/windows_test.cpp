// The seven windows: created once in their order, hidden, with their captions
// and client sizes; the menu commands show them modally; Esc and Enter do not
// close them.
#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/about_window.h"
#include "app/browse_window.h"
#include "app/filter_window.h"
#include "app/main_window.h"
#include "app/picture_window.h"
#include "app/record_report.h"
#include "app/search_window.h"
#include "fake_services.h"

namespace vendrik::testing {
namespace {

struct TWindowCase {
  QString FName;
  QString FCaption;
  QSize FClientSize;
  bool FMinimise;
  bool FFrameless;
};

TEST(WindowsTest, SecondaryWindowsHaveTheirCaptionsAndClientSizes) {
  TAppFixture app;
  const TWindowCase cases[] = {
      {QStringLiteral("Form2"), QStringLiteral(" Adatok Karbantartása:"), QSize(761, 295), true, false},
      {QStringLiteral("Form5"), QStringLiteral(" Adatok keresése:"), QSize(752, 295), true, false},
      {QStringLiteral("Form6"), QStringLiteral(" Megjelenítendő adatok szűrése:"), QSize(541, 225), true, false},
      {QStringLiteral("Form7"), QStringLiteral(" Névjegy:"), QSize(298, 429), false, false},
      {QStringLiteral("Form8"), QString(), QSize(145, 153), false, true},
  };
  const TVendrikForm* forms[] = {&app.FWindows->Form2(), &app.FWindows->Form5(), &app.FWindows->Form6(),
                                 &app.FWindows->Form7(), &app.FWindows->Form8()};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const TWindowCase& c = cases[i];
    const TVendrikForm& form = *forms[i];
    SCOPED_TRACE(c.FName.toStdString());
    EXPECT_EQ(form.objectName(), c.FName);
    EXPECT_EQ(form.windowTitle(), c.FCaption);
    EXPECT_EQ(form.size(), c.FClientSize);
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(bool(form.windowFlags() & Qt::WindowMinimizeButtonHint), c.FMinimise);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(bool(form.windowFlags() & Qt::FramelessWindowHint), c.FFrameless);
    EXPECT_FALSE(form.isVisible());
  }
  EXPECT_EQ(app.FWindows->QuickReport9().objectName(), QStringLiteral("QuickReport9"));
  EXPECT_EQ(app.FWindows->QuickReport9().ReportTitle(), QStringLiteral("Nyomtatási kép:"));
  EXPECT_FALSE(app.FWindows->Form1().isVisible()) << "the entry shows the main window";
}

// Records the first caption change of each named window: every window sets
// its caption while it is constructed, so the records follow creation order.
class TCreationLog : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::WindowTitleChange && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow() && !watched->objectName().isEmpty() &&
        std::find(FOrder.begin(), FOrder.end(), watched->objectName()) == FOrder.end())
      FOrder.push_back(watched->objectName());
    return false;
  }
  std::vector<QString> FOrder;
};

TEST(WindowsTest, WindowsAreCreatedOnceInTheirOrder) {
  TCreationLog log;
  qApp->installEventFilter(&log);
  TAppFixture app;
  qApp->removeEventFilter(&log);
  const std::vector<QString> expected = {QStringLiteral("Form1"), QStringLiteral("Form2"),
                                         QStringLiteral("Form5"), QStringLiteral("Form6"),
                                         QStringLiteral("Form7"), QStringLiteral("Form8"),
                                         QStringLiteral("QuickReport9")};
  EXPECT_EQ(log.FOrder, expected);
}

TEST(WindowsTest, MenuCommandsShowTheirWindowsModally) {
  struct Case {
    const char* FAction;
    const char* FWindow;
  };
  const Case cases[] = {{"Adatkarbantarts1", "Form2"}, {"Keress1", "Form5"}, {"Szrs1", "Form6"},
                        {"Nvjegy1", "Form7"}};
  TScratchDirectory scratch;
  scratch.MakeDemo();
  TAppFixture app;
  TForm1& main = app.FWindows->Form1();
  main.show();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.FAction);
    QString shown;
    bool modal = false;
    QTimer::singleShot(0, [&] {
      QWidget* active = QApplication::activeModalWidget();
      if (active == nullptr) return;
      shown = active->objectName();
      modal = active->isModal() && active->isVisible();
      active->close();
    });
    main.findChild<QAction*>(QString::fromLatin1(c.FAction))->trigger();
    EXPECT_EQ(shown, QString::fromLatin1(c.FWindow));
    EXPECT_TRUE(modal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the window is hidden again";
  }
  EXPECT_TRUE(app.FDialogs.FBoxes.empty());
}

TEST(WindowsTest, EscAndEnterDoNotCloseAModalWindow) {
  TAppFixture app;
  TForm2& form = app.FWindows->Form2();
  bool stillVisible = false;
  QTimer::singleShot(0, [&] {
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
      QApplication::sendEvent(&form, &press);
    }
    stillVisible = form.isVisible();
    form.close();
  });
  form.ShowModal();
  EXPECT_TRUE(stillVisible);
  EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace vendrik::testing
