// The child side of the screenshot test (see screenshot_child.h). It runs in
// a scratch directory holding an empty table file, so the main window opens
// without an error box; any box it would show is recorded, not shown.
#include "screenshot_child.h"

#include <cstdio>

#include <QElapsedTimer>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

#include "app/application.h"
#include "app/main_window.h"
#include "fake_services.h"

namespace vendrik::testing {
namespace {

constexpr int kExposeWaitMs = 10000;
constexpr int kSettleRounds = 20;

}  // namespace

int RunScreenshotChild(int argc, char** argv) {
  const QString output = QString::fromLocal8Bit(argv[2]);
  TVendrikApplication application(argc, argv);
  InstallFonts();
  TFakeDialogs dialogs;
  if (!ApplyTheme(application, dialogs)) return 2;

  TScratchDirectory scratch;
  scratch.MakeDemo();

  TAppFixture fixture;
  TForm1& form = fixture.FWindows->Form1();
  form.show();
  QElapsedTimer waited;
  waited.start();
  while (!(form.windowHandle() && form.windowHandle()->isExposed()) && waited.elapsed() < kExposeWaitMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  if (!form.windowHandle() || !form.windowHandle()->isExposed()) return 4;
  for (int round = 0; round < kSettleRounds; ++round) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  if (!fixture.FDialogs.FBoxes.empty()) return 5;

  QScreen* screen = form.screen();
  const QRect frame = form.frameGeometry();
  const QPixmap shot = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  if (!shot.save(output, "PNG")) return 6;
  std::printf("geometry %d %d %d %d\n", frame.x(), frame.y(), frame.width(), frame.height());
  std::printf("menubar %d\n", form.menuBar()->height());
  std::printf("screen %d %d\n", screen->geometry().width(), screen->geometry().height());
  std::fflush(stdout);
  return 0;
}

}  // namespace vendrik::testing
