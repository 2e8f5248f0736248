// The main window driven offscreen with answered message boxes: its layout,
// the menu with its hints in the status line, the exit command and the close
// button, the guide document, the table's opening at show time and the
// handlers around posts and deletions.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

#include "app/browse_window.h"
#include "app/main_window.h"
#include "fake_services.h"

namespace vendrik::testing {
namespace {

const QString kExitHint = QStringLiteral("Program használatának befejezése !");
const QString kExitCaption = QStringLiteral("Program vége:");
const QString kExitQuestion = QStringLiteral("Biztosan be kívánja fejezni a program használatát ?");
const QString kDigits =
    QStringLiteral("01010101010101010101010101010101010101010101011010101010111010101010101010101010101010");

void Settle() {
  for (int round = 0; round < 5; ++round) QCoreApplication::processEvents();
}

QString StatusText(const TForm1& form) { return form.statusBar()->currentMessage(); }

// Moves the mouse pointer to `position` of `widget` as the window system would.
void HoverAt(QWidget* widget, QPoint position) {
  QMouseEvent move(QEvent::MouseMove, position, widget->mapToGlobal(position), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(widget, &move);
}

// Presses and releases the left mouse button at `position` of `widget`.
void ClickAt(QWidget* widget, QPoint position) {
  const QPoint global = widget->mapToGlobal(position);
  QMouseEvent press(QEvent::MouseButtonPress, position, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, position, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(widget, &release);
}

QAction* FindAction(const TForm1& form, const char* name) {
  auto* action = form.findChild<QAction*>(QString::fromLatin1(name));
  EXPECT_NE(action, nullptr) << name;
  return action;
}

TEST(MainWindowTest, LayoutFollowsTheDesign) {
  TScratchDirectory scratch;
  TAppFixture app;
  TForm1& form = app.FWindows->Form1();
  form.show();
  Settle();

  EXPECT_EQ(form.windowTitle(), QStringLiteral("Vendrik '03 - V2.0.0.0"));
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the window must not be resizable";

  // Client area (below the menu bar): 537 x 333, the status line 19 high.
  const int menuHeight = form.menuBar()->height();
  EXPECT_EQ(form.width(), 537);
  EXPECT_EQ(form.height(), menuHeight + 333);
  EXPECT_EQ(form.statusBar()->height(), 19);
  EXPECT_EQ(form.statusBar()->geometry().bottom(), form.height() - 1);
  EXPECT_EQ(form.centralWidget()->height() + form.statusBar()->height(), 333);
  EXPECT_EQ(form.centralWidget()->y(), menuHeight);

  auto* image = form.findChild<QLabel*>(QStringLiteral("Image1"));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->geometry(), QRect(0, 0, 537, 313));
  ASSERT_FALSE(image->pixmap().isNull()) << "the title picture is missing from the resources";
  EXPECT_EQ(image->pixmap().size(), QSize(537, 313));

  const int tops[] = {88, 104, 192, 208};
  for (int i = 0; i < 4; ++i) {
    auto* label = form.findChild<QLabel*>(QStringLiteral("Label%1").arg(i + 1));
    ASSERT_NE(label, nullptr) << i + 1;
    EXPECT_EQ(label->geometry(), QRect(10, tops[i], 516, 13)) << i + 1;
    EXPECT_EQ(label->text(), kDigits) << i + 1;
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::blue)) << i + 1;
    EXPECT_FALSE(label->autoFillBackground()) << i + 1;
  }
  EXPECT_EQ(QFontInfo(form.font()).family(), QStringLiteral("Liberation Sans"));
  EXPECT_EQ(form.font().pixelSize(), 11);
}

TEST(MainWindowTest, TheWindowIsCentredOnTheScreen) {
  TScratchDirectory scratch;
  TAppFixture app;
  TForm1& form = app.FWindows->Form1();
  form.show();
  Settle();
  const QPoint offset = form.frameGeometry().center() - form.screen()->geometry().center();
  EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
}

struct TMenuEntry {
  const char* FName;
  QString FCaption;  // empty for a separator
  QString FHint;
};

// The menus and their entries in order; a separator has an empty caption.
const std::vector<std::pair<TMenuEntry, std::vector<TMenuEntry>>> kMenus = {
    {{"Mveletek1", QStringLiteral("Műveletek"), QStringLiteral("Program eljárásai !")},
     {{"Adatkarbantarts1", QStringLiteral("Adatkarbantartás"), QStringLiteral("Adatok karbantartása !")},
      {"", QString(), QString()},
      {"Keress1", QStringLiteral("Keresés"), QStringLiteral("Adatok keresése !")},
      {"", QString(), QString()},
      {"Szrs1", QStringLiteral("Szűrés"), QStringLiteral("Megjelenítendő adatok szűrése !")}}},
    {{"Informci1", QStringLiteral("Információ"), QStringLiteral("Programmal kapcsolatos információk !")},
     {{"Lers1", QStringLiteral("Leírás"), QStringLiteral("Program használatának leírása !")},
      {"", QString(), QString()},
      {"Frissts1", QStringLiteral("Frissítés"),
       QStringLiteral("Frissítés keresése (internet kapcsolat szükséges) !")},
      {"", QString(), QString()},
      {"Nvjegy1", QStringLiteral("Névjegy"), QStringLiteral("Program bemutatkozása !")}}},
    {{"Kilps1", QStringLiteral("Kilépés"), kExitHint},
     {{"Befejezs1", QStringLiteral("Befejezés"), kExitHint}}},
};

TEST(MainWindowTest, MenuEntriesShowTheirHintsInTheStatusLine) {
  TScratchDirectory scratch;
  TAppFixture app;
  TForm1& form = app.FWindows->Form1();
  form.show();
  Settle();
  QMenuBar* bar = form.menuBar();
  const QList<QAction*> titles = bar->actions();
  ASSERT_EQ(titles.size(), static_cast<qsizetype>(kMenus.size()));

  for (size_t m = 0; m < kMenus.size(); ++m) {
    const auto& [title, entries] = kMenus[m];
    QAction* titleAction = titles[m];
    EXPECT_EQ(titleAction->text(), title.FCaption);
    EXPECT_EQ(titleAction->objectName(), QString::fromLatin1(title.FName));

    // Pointer on the menu title, menu still closed.
    HoverAt(bar, bar->actionGeometry(titleAction).center());
    EXPECT_EQ(StatusText(form), title.FHint) << title.FName;

    QMenu* menu = titleAction->menu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), static_cast<qsizetype>(entries.size())) << title.FName;
    ClickAt(bar, bar->actionGeometry(titleAction).center());
    Settle();
    ASSERT_TRUE(menu->isVisible()) << title.FName;
    for (size_t e = 0; e < entries.size(); ++e) {
      const TMenuEntry& entry = entries[e];
      if (entry.FCaption.isEmpty()) {
        EXPECT_TRUE(items[e]->isSeparator()) << title.FName << " item " << e;
        continue;
      }
      EXPECT_EQ(items[e]->text(), entry.FCaption);
      EXPECT_EQ(items[e]->objectName(), QString::fromLatin1(entry.FName));
      HoverAt(menu, menu->actionGeometry(items[e]).center());
      EXPECT_EQ(StatusText(form), entry.FHint) << entry.FName;
    }
    menu->hide();
    Settle();
  }

  // The update submenu and its one entry.
  QMenu* update = FindAction(form, "Frissts1")->menu();
  ASSERT_NE(update, nullptr);
  ASSERT_EQ(update->actions().size(), 1);
  QAction* search = update->actions().front();
  EXPECT_EQ(search->objectName(), QStringLiteral("Keress3"));
  EXPECT_EQ(search->text(), QStringLiteral("Keresés"));
  update->popup(form.mapToGlobal(QPoint(100, 100)));
  Settle();
  HoverAt(update, update->actionGeometry(search).center());
  EXPECT_EQ(StatusText(form), QStringLiteral("Újabb verzió keresése, letöltése és telepítése !"));
  update->hide();
}

TEST(MainWindowTest, ExitCommandAsksOnceAndEndsOnYes) {
  struct Case {
    bool FAnswer;
    int FTerminateRequests;
  };
  for (const Case& c : {Case{true, 1}, Case{false, 0}}) {
    SCOPED_TRACE(c.FAnswer ? "Yes" : "No");
    TScratchDirectory scratch;
    TAppFixture app;
    TForm1& form = app.FWindows->Form1();
    form.show();
    Settle();
    app.FDialogs.FBoxes.clear();
    app.FDialogs.FAnswers = {c.FAnswer};
    QString statusDuringQuestion;
    app.FDialogs.FOnQuestion = [&] { statusDuringQuestion = StatusText(form); };

    FindAction(form, "Befejezs1")->trigger();

    EXPECT_EQ(statusDuringQuestion, kExitHint);
    ASSERT_EQ(app.FDialogs.FBoxes.size(), 1u);
    EXPECT_EQ(app.FDialogs.FBoxes[0].FKind, TBoxKind::bkQuestion);
    EXPECT_EQ(app.FDialogs.FBoxes[0].FCaption, kExitCaption);
    EXPECT_EQ(app.FDialogs.FBoxes[0].FText, kExitQuestion);
    EXPECT_EQ(app.FTerminateRequests, c.FTerminateRequests);
    EXPECT_EQ(StatusText(form), QString());
    EXPECT_TRUE(form.isVisible());
    if (c.FAnswer) {
      // Ending the application sends the main window a close event: it must
      // close without a second question.
      EXPECT_TRUE(form.close());
      EXPECT_EQ(app.FDialogs.FBoxes.size(), 1u);
      EXPECT_FALSE(form.isVisible());
    }
  }
}

TEST(MainWindowTest, ExitCommandEndsTheRealMessageLoopWithoutASecondQuestion) {
  TScratchDirectory scratch;
  TFakeDialogs dialogs;
  TFakeShell shell;
  TErrorDisplay errors(dialogs, QStringLiteral("Vendrik '03"));
  TAppWindows windows(
      TAppServices{dialogs, shell, errors, CreateTdbComponents, [] { QCoreApplication::quit(); }});
  TForm1& form = windows.Form1();
  form.show();
  Settle();
  dialogs.FBoxes.clear();
  dialogs.FAnswers = {true};

  bool hung = false;
  QTimer::singleShot(0, &form, [&] { form.findChild<QAction*>(QStringLiteral("Befejezs1"))->trigger(); });
  // A guard against a loop that never ends, not a timing check.
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    hung = true;
    QCoreApplication::exit(1);
  });
  watchdog.start(30000);
  const int result = QCoreApplication::exec();
  watchdog.stop();

  EXPECT_FALSE(hung) << "the exit command did not end the message loop";
  EXPECT_EQ(result, 0);
  EXPECT_EQ(dialogs.FBoxes.size(), 1u) << "the exit question was asked again";
  EXPECT_FALSE(form.isVisible());
}

TEST(MainWindowTest, CloseButtonAsksAndClosesOnlyOnYes) {
  struct Case {
    bool FAnswer;
    bool FClosed;
    QString FStatusAfter;
  };
  for (const Case& c : {Case{true, true, QString()}, Case{false, false, kExitHint}}) {
    SCOPED_TRACE(c.FAnswer ? "Yes" : "No");
    TScratchDirectory scratch;
    scratch.MakeDemo();
    TAppFixture app;
    TForm1& form = app.FWindows->Form1();
    form.show();
    Settle();
    ASSERT_TRUE(form.Table1().Active());
    app.FDialogs.FAnswers = {c.FAnswer};
    QString statusDuringQuestion;
    app.FDialogs.FOnQuestion = [&] { statusDuringQuestion = StatusText(form); };

    EXPECT_EQ(form.close(), c.FClosed);

    EXPECT_EQ(statusDuringQuestion, kExitHint);
    ASSERT_EQ(app.FDialogs.FBoxes.size(), 1u);
    EXPECT_EQ(app.FDialogs.FBoxes[0].FCaption, kExitCaption);
    EXPECT_EQ(app.FDialogs.FBoxes[0].FText, kExitQuestion);
    EXPECT_EQ(form.isVisible(), !c.FClosed);
    EXPECT_EQ(form.Table1().Active(), !c.FClosed) << "the close path closes the table";
    EXPECT_EQ(StatusText(form), c.FStatusAfter);
    EXPECT_EQ(app.FTerminateRequests, 0);
  }
}

TEST(MainWindowTest, GuideDocumentOpensOrReportsItsFailure) {
  const QString failure =
      QStringLiteral("Leírás.pdf állomány nem található vagy nincs telepítve Acrobat olvasó program !!!");
  for (bool opens : {true, false}) {
    SCOPED_TRACE(opens ? "opens" : "fails");
    TScratchDirectory scratch;
    TAppFixture app;
    app.FShell.FSucceeds = opens;
    FindAction(app.FWindows->Form1(), "Lers1")->trigger();

    ASSERT_EQ(app.FShell.FOpened.size(), 1u);
    EXPECT_EQ(app.FShell.FOpened[0], QStringLiteral("Leírás.pdf"));
    if (opens) {
      EXPECT_TRUE(app.FDialogs.FBoxes.empty());
    } else {
      ASSERT_EQ(app.FDialogs.FBoxes.size(), 1u);
      EXPECT_EQ(app.FDialogs.FBoxes[0].FKind, TBoxKind::bkMessage);
      EXPECT_EQ(app.FDialogs.FBoxes[0].FCaption, QStringLiteral("Hiba történt:"));
      EXPECT_EQ(app.FDialogs.FBoxes[0].FText, failure);
    }
  }
}

TEST(MainWindowTest, DatabaseLocationIsTheCurrentDirectory) {
  TScratchDirectory scratch;
  TAppFixture app;
  const QString location = app.FWindows->Form1().TdbDatabase1().Location();
  EXPECT_EQ(location, QDir::currentPath());
  EXPECT_FALSE(location.endsWith(QLatin1Char('/')));
  EXPECT_EQ(QDir(location).canonicalPath(), scratch.Path());
  EXPECT_FALSE(app.FWindows->Form1().Table1().Active()) << "the table opens when the window is shown";
}

TEST(MainWindowTest, ShowingTheWindowOpensTheTableOrShowsTheOpenErrorOnce) {
  struct Case {
    const char* FFile;  // a file present in the directory ("demo": the demo table), or nullptr
    bool FOpens;
  };
  for (const Case& c : {Case{"demo", true}, Case{"Vnd03.mmo", false}, Case{nullptr, false}}) {
    SCOPED_TRACE(c.FFile ? c.FFile : "no file");
    TScratchDirectory scratch;
    if (c.FFile && std::string(c.FFile) == "demo")
      scratch.MakeDemo();
    else if (c.FFile)
      scratch.Touch(QString::fromLatin1(c.FFile));
    TAppFixture app;
    TForm1& form = app.FWindows->Form1();
    form.show();
    Settle();

    EXPECT_EQ(form.Table1().Active(), c.FOpens);
    EXPECT_TRUE(form.isVisible());
    if (c.FOpens) {
      EXPECT_TRUE(app.FDialogs.FBoxes.empty());
      continue;
    }
    ASSERT_EQ(app.FDialogs.FBoxes.size(), 1u);
    const TBox& box = app.FDialogs.FBoxes[0];
    EXPECT_EQ(box.FKind, TBoxKind::bkError);
    EXPECT_EQ(box.FCaption, QStringLiteral("Vendrik '03"));
    EXPECT_TRUE(box.FText.startsWith(QStringLiteral("Opening table \"Vnd03\": Cannot open table. "))) << box.FText.toStdString();
    EXPECT_TRUE(box.FText.contains(QStringLiteral("Vnd03.tdbt"))) << box.FText.toStdString();

    // The window stays usable: the menu still works.
    app.FShell.FSucceeds = true;
    FindAction(form, "Lers1")->trigger();
    EXPECT_EQ(app.FDialogs.FBoxes.size(), 1u);
  }
}

TEST(MainWindowTest, PostsAndDeletionsRefreshTheBrowseWindowsCount) {
  TScratchDirectory scratch;
  TAppFixture app(/*fakeTable=*/true);
  QLabel* count = app.FWindows->Form2().Label2();
  EXPECT_EQ(count->text(), QStringLiteral("0"));
  app.FTable->FRecords = 1233;

  app.FTable->Insert();
  EXPECT_EQ(count->text(), QStringLiteral("1234")) << "no thousands separator";
  EXPECT_TRUE(app.FDialogs.FBoxes.empty()) << "nothing is asked before a post";

  app.FDialogs.FAnswers = {true};
  EXPECT_TRUE(app.FErrors.Guard([&] { app.FTable->Delete(); }));
  EXPECT_EQ(app.FTable->FRecords, 1233);
  EXPECT_EQ(count->text(), QStringLiteral("1233"));
  ASSERT_EQ(app.FDialogs.FBoxes.size(), 1u);
  EXPECT_EQ(app.FDialogs.FBoxes[0].FKind, TBoxKind::bkQuestion);
  EXPECT_EQ(app.FDialogs.FBoxes[0].FCaption, QStringLiteral("Törlés jóváhagyás:"));
  EXPECT_EQ(app.FDialogs.FBoxes[0].FText, QStringLiteral("Biztosan törölhető ?"));
}

// Runs the event loop for ms milliseconds or until done() holds.
bool RunEventsUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

TEST(MainWindowTest, TheBrowseWindowsCountFollowsOtherProgramsChanges) {
  TScratchDirectory scratch;
  TAppFixture app(/*fakeTable=*/true);
  TForm2& browse = app.FWindows->Form2();
  QLabel* count = browse.Label2();
  app.FTable->FRecords = 3;
  browse.show();
  EXPECT_EQ(count->text(), QStringLiteral("3"));
  // Another program appends while it holds the table: nothing waits for it,
  // and the count follows once the table is free.
  app.FTable->FRecords = 7;
  app.FTable->FHeldByOther = true;
  EXPECT_FALSE(RunEventsUntil([&] { return count->text() != QStringLiteral("3"); }, 1500));
  app.FTable->FHeldByOther = false;
  EXPECT_TRUE(RunEventsUntil([&] { return count->text() == QStringLiteral("7"); }, 5000)) << count->text().toStdString();
  // A hidden window no longer looks.
  browse.hide();
  app.FTable->FRecords = 9;
  EXPECT_FALSE(RunEventsUntil([&] { return count->text() != QStringLiteral("7"); }, 1500));
}

TEST(MainWindowTest, DeletionRefusedIsAbandonedSilently) {
  TScratchDirectory scratch;
  TAppFixture app(/*fakeTable=*/true);
  QLabel* count = app.FWindows->Form2().Label2();
  app.FTable->FRecords = 5;
  // A text no handler writes: any rewrite of the label shows.
  count->setText(QStringLiteral("untouched"));
  app.FDialogs.FAnswers = {false};

  // The request unwinds to the handler guard, as a menu command or a key
  // press would; the guard shows nothing for the silent abort.
  EXPECT_FALSE(app.FErrors.Guard([&] { app.FTable->Delete(); }));

  EXPECT_EQ(app.FTable->FRecords, 5);
  EXPECT_EQ(count->text(), QStringLiteral("untouched")) << "the after-delete handler ran";
  ASSERT_EQ(app.FDialogs.FBoxes.size(), 1u) << "only the question, no error message";
  EXPECT_EQ(app.FDialogs.FBoxes[0].FKind, TBoxKind::bkQuestion);
}

}  // namespace
}  // namespace vendrik::testing
