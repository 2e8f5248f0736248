// The child side of the screenshot test.
#include "screenshot_child.h"

#include <cstdio>

#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QWindow>

#include "app/application.h"
#include "app/browse_window.h"
#include "app/db_controls.h"
#include "app/filter_window.h"
#include "app/main_window.h"
#include "app/search_window.h"
#include "fake_services.h"

namespace vendrik::testing {
namespace {

constexpr int kExposeWaitMs = 10000;
constexpr int kSettleRounds = 20;

// Waits until `window` is on the screen, grabs it into `output` and reports
// its geometry; answers the child's exit code.
int GrabWhenExposed(QWidget& window, const QString& output, int menuBarHeight) {
  QElapsedTimer waited;
  waited.start();
  while (!(window.windowHandle() && window.windowHandle()->isExposed()) && waited.elapsed() < kExposeWaitMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  if (!window.windowHandle() || !window.windowHandle()->isExposed()) return 4;
  for (int round = 0; round < kSettleRounds; ++round) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QScreen* screen = window.screen();
  const QRect frame = window.frameGeometry();
  const QPixmap shot = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  if (!shot.save(output, "PNG")) return 6;
  std::printf("geometry %d %d %d %d\n", frame.x(), frame.y(), frame.width(), frame.height());
  std::printf("menubar %d\n", menuBarHeight);
  std::printf("screen %d %d\n", screen->geometry().width(), screen->geometry().height());
  if (auto* grid = window.findChild<TDBGrid*>(QStringLiteral("DBGrid1")))
    std::printf("rows %d\n", grid->View()->model()->rowCount());
  if (auto* count = window.findChild<QLabel*>(QStringLiteral("Label2")))
    std::printf("count %d\n", count->text().toInt());
  std::fflush(stdout);
  return 0;
}

}  // namespace

int RunScreenshotChild(int argc, char** argv) {
  const QString output = QString::fromLocal8Bit(argv[2]);
  const QString which = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("Form1");
  TVendrikApplication application(argc, argv);
  InstallFonts();
  TFakeDialogs dialogs;
  if (!ApplyTheme(application, dialogs)) return 2;

  TScratchDirectory scratch;
  scratch.MakeDemo();

  TAppFixture fixture;
  TForm1& form = fixture.FWindows->Form1();
  form.show();
  if (which == QStringLiteral("Form1")) {
    const int result = GrabWhenExposed(form, output, form.menuBar()->height());
    return result == 0 && !fixture.FDialogs.FBoxes.empty() ? 5 : result;
  }
  // The table opens once the main window is up; then the menu is used.
  QElapsedTimer waited;
  waited.start();
  while (!form.Table1().Active() && waited.elapsed() < kExposeWaitMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  int result = 0;
  {
    TVendrikForm* window = static_cast<TVendrikForm*>(&fixture.FWindows->Form5());
    if (which == QStringLiteral("Form2")) window = &fixture.FWindows->Form2();
    if (which == QStringLiteral("Form6")) window = &fixture.FWindows->Form6();
    QTimer::singleShot(0, window, [&] {
      result = GrabWhenExposed(*window, output, 0);
      window->close();
    });
    window->ShowModal();
  }
  if (result == 0 && !fixture.FDialogs.FBoxes.empty()) return 5;
  return result;
}

}  // namespace vendrik::testing
