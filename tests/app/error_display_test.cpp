// The standard error display: its text rule, what it shows for each kind of
// exception, the handler guard, and the application object's last line of
// defence in event delivery.
#include <stdexcept>

#include <QCoreApplication>
#include <QAction>
#include <QEvent>

#include <gtest/gtest.h>

#include "app/application.h"
#include "app/error_display.h"
#include "app/main_window.h"
#include "app/silent_abort.h"
#include "fake_services.h"

namespace vendrik::testing {
namespace {

TEST(ErrorDisplayTest, FullStopIsAppendedWhenTheLastCharacterSortsAfterIt) {
  struct Case {
    QString FMessage;
    QString FShown;
  };
  const Case cases[] = {
      {QStringLiteral("Hiba"), QStringLiteral("Hiba.")},
      {QStringLiteral("Record 5"), QStringLiteral("Record 5.")},           // '5' > '.'
      {QStringLiteral("Kész."), QStringLiteral("Kész.")},                  // '.' itself
      {QStringLiteral("Hiba !!!"), QStringLiteral("Hiba !!!")},            // '!' < '.'
      {QStringLiteral("Opening \"x\""), QStringLiteral("Opening \"x\"")},  // '"' < '.'
      {QStringLiteral("a, b,"), QStringLiteral("a, b,")},                  // ',' < '.'
      {QStringLiteral("a-"), QStringLiteral("a-")},                        // '-' < '.'
      {QStringLiteral("a/"), QStringLiteral("a/.")},                       // '/' > '.'
      {QStringLiteral("(x)"), QStringLiteral("(x)")},                      // ')' < '.'
      {QStringLiteral("ends in space "), QStringLiteral("ends in space ")},
      {QStringLiteral("Törlés jóváhagyás:"), QStringLiteral("Törlés jóváhagyás:.")},
      {QStringLiteral("Szűrő"), QStringLiteral("Szűrő.")},
      {QString(), QString()},
  };
  for (const Case& c : cases) EXPECT_EQ(StandardErrorText(c.FMessage), c.FShown) << c.FMessage.toStdString();
}

TEST(ErrorDisplayTest, ShowsEachKindOfErrorCaptionedWithTheTitle) {
  struct Case {
    const char* FName;
    std::exception_ptr FError;
    bool FShown;
    QString FText;
  };
  const Case cases[] = {
      {"runtime error", std::make_exception_ptr(std::runtime_error("Opening table \"Vnd03\": hiányzik")), true,
       QStringLiteral("Opening table \"Vnd03\": hiányzik.")},
      {"silent abort", std::make_exception_ptr(EAbort()), false, QString()},
      {"foreign exception", std::make_exception_ptr(42), true, QStringLiteral("Unknown exception.")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.FName);
    TFakeDialogs dialogs;
    TErrorDisplay display(dialogs, QStringLiteral("Vendrik '03"));
    display.Show(c.FError);
    if (!c.FShown) {
      EXPECT_TRUE(dialogs.FBoxes.empty());
      continue;
    }
    ASSERT_EQ(dialogs.FBoxes.size(), 1u);
    EXPECT_EQ(dialogs.FBoxes[0].FKind, TBoxKind::bkError);
    EXPECT_EQ(dialogs.FBoxes[0].FCaption, QStringLiteral("Vendrik '03"));
    EXPECT_EQ(dialogs.FBoxes[0].FText, c.FText);
  }
}

TEST(ErrorDisplayTest, GuardReportsWhetherTheHandlerFinished) {
  TFakeDialogs dialogs;
  TErrorDisplay display(dialogs, QStringLiteral("Vendrik '03"));
  int runs = 0;
  EXPECT_TRUE(display.Guard([&] { ++runs; }));
  EXPECT_FALSE(display.Guard([&] {
    ++runs;
    throw std::runtime_error("boom");
  }));
  EXPECT_FALSE(display.Guard([] { throw EAbort(); }));
  EXPECT_EQ(runs, 2);
  ASSERT_EQ(dialogs.FBoxes.size(), 1u);
  EXPECT_EQ(dialogs.FBoxes[0].FText, QStringLiteral("boom."));
}

class TThrowingObject : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) throw std::runtime_error("thrown from an event handler");
    return QObject::event(event);
  }
};

TEST(ErrorDisplayTest, AnExceptionFromEventDeliveryStopsAtTheApplication) {
  auto* application = qobject_cast<TVendrikApplication*>(QCoreApplication::instance());
  ASSERT_NE(application, nullptr);
  TFakeDialogs dialogs;
  TErrorDisplay display(dialogs, QStringLiteral("Vendrik '03"));
  application->SetUnhandledErrorHandler([&](std::exception_ptr error) { display.Show(error); });

  TThrowingObject target;
  QEvent user(QEvent::User);
  EXPECT_NO_THROW(QCoreApplication::sendEvent(&target, &user));
  application->SetUnhandledErrorHandler(nullptr);

  ASSERT_EQ(dialogs.FBoxes.size(), 1u);
  EXPECT_EQ(dialogs.FBoxes[0].FText, QStringLiteral("thrown from an event handler."));
}

TEST(ErrorDisplayTest, ACommandThatThrowsShowsTheErrorAndTheWindowGoesOn) {
  // A shell that fails by throwing: the menu command's guard catches it.
  class TThrowingShell final : public IShellService {
   public:
    bool OpenDocument(const QString&) override { throw std::runtime_error("shell unavailable"); }
    bool OpenAddress(const QString&) override { return false; }
    bool StartProgram(const QString&, const QStringList&, QString&) override { return false; }
  } shell;
  TFakeDialogs dialogs;
  TErrorDisplay errors(dialogs, QStringLiteral("Vendrik '03"));
  TAppWindows windows(TAppServices{dialogs, shell, errors, CreateTdbComponents, [] {}});
  auto* guide = windows.Form1().findChild<QAction*>(QStringLiteral("Lers1"));
  ASSERT_NE(guide, nullptr);
  EXPECT_NO_THROW(guide->trigger());
  ASSERT_EQ(dialogs.FBoxes.size(), 1u);
  EXPECT_EQ(dialogs.FBoxes[0].FKind, TBoxKind::bkError);
  EXPECT_EQ(dialogs.FBoxes[0].FCaption, QStringLiteral("Vendrik '03"));
  EXPECT_EQ(dialogs.FBoxes[0].FText, QStringLiteral("shell unavailable."));
}

}  // namespace
}  // namespace vendrik::testing
