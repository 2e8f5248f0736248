// vendrik-window-bench DIR: how fast the browse window answers on the table
// Vnd03 in DIR (make one with `kestrel demo DIR --records 1000000`). The
// program's real windows run on Qt's offscreen platform; each figure is the
// wall time from the user's action to the window painted again:
//   open          showing the browse window (its FormShow and first paint)
//   keystroke     one key typed into or deleted from the search field
//   page step     Page Down / Page Up in the grid
//   order switch  "Megnevezés" / "Kód" from the search field's menu
// A screen frame at 60 Hz is 16.7 ms.
#include <chrono>
#include <cstdio>
#include <functional>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTableView>

#include "app/app_windows.h"
#include "app/application.h"
#include "app/browse_window.h"
#include "app/db_controls.h"
#include "app/dialog_service.h"
#include "app/error_display.h"
#include "app/incremental_search.h"
#include "app/main_window.h"
#include "app/shell_service.h"
#include "app/tdb_components.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPageSteps = 50;

// Counts the boxes instead of showing them: the figures are void if any came.
class TCountingDialogs final : public vendrik::IDialogService {
 public:
  void ShowMessage(const QString&, const QString& text) override { Note(text); }
  bool AskYesNo(const QString&, const QString& text) override {
    Note(text);
    return false;
  }
  void ShowError(const QString&, const QString& text) override { Note(text); }
  int FBoxes = 0;

 private:
  void Note(const QString& text) {
    ++FBoxes;
    std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
  }
};

class TNoShell final : public vendrik::IShellService {
 public:
  bool OpenDocument(const QString&) override { return false; }
  bool OpenAddress(const QString&) override { return false; }
  bool StartProgram(const QString&, const QStringList&, QString&) override { return false; }
};

double Millis(const std::function<void()>& action) {
  const auto start = Clock::now();
  action();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Key(QWidget* widget, int key, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &press);
}

void Report(const char* what, double millis, int count) {
  std::printf("%-14s %9.3f ms%s\n", what, millis / count, count > 1 ? " (mean)" : "");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vendrik-window-bench DIR\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  vendrik::TVendrikApplication application(argc, argv);
  vendrik::InstallFonts();
  if (!QDir::setCurrent(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "vendrik-window-bench: cannot enter %s\n", argv[1]);
    return 2;
  }
  TCountingDialogs dialogs;
  TNoShell shell;
  vendrik::TErrorDisplay errors(dialogs, vendrik::kApplicationTitle);
  vendrik::TAppWindows windows({dialogs, shell, errors, vendrik::CreateTdbComponents, [] {}});
  vendrik::TForm1& main = windows.Form1();
  const double openTable = Millis([&] {
    main.show();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  });
  if (!main.Table1().Active()) return 1;
  std::printf("records        %d\n", main.Table1().RecordCount());
  Report("open table", openTable, 1);

  vendrik::TForm2& form = windows.Form2();
  Report("open", Millis([&] {
           form.show();
           form.repaint();
         }),
         1);
  vendrik::TIncrementalSearch* edit = form.Edit1();
  const QString typed = QStringLiteral("58.05.1");
  double keys = Millis([&] {
    for (QChar c : typed) {
      Key(edit, Qt::Key_unknown, QString(c));
      form.repaint();
    }
    for (int i = 0; i < typed.size(); ++i) {
      Key(edit, Qt::Key_Backspace);
      form.repaint();
    }
  });
  Report("keystroke", keys, 2 * static_cast<int>(typed.size()));
  QTableView* grid = form.DBGrid1()->View();
  const double pages = Millis([&] {
    for (int i = 0; i < kPageSteps; ++i) {
      Key(grid, i % 2 == 0 ? Qt::Key_PageDown : Qt::Key_PageUp);
      form.repaint();
    }
  });
  Report("page step", pages, kPageSteps);
  const double orders = Millis([&] {
    for (int i = 0; i < 10; ++i) {
      (i % 2 == 0 ? edit->Magyar1() : edit->Kd1())->trigger();
      form.repaint();
    }
  });
  Report("order switch", orders, 10);
  form.close();
  if (dialogs.FBoxes > 0) {
    std::fprintf(stderr, "vendrik-window-bench: %d message boxes came up; the figures are void\n", dialogs.FBoxes);
    return 1;
  }
  return 0;
}
