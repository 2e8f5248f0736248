// vendrik-shots: the pictures of the user's guide, taken of the program's own
// windows at build time on Qt's offscreen platform.
//   vendrik-shots OUTPUT_DIR DATA_DIR
// The windows are built as the program builds them (fonts, theme, the seven
// windows), in a scratch copy of the demo table in DATA_DIR, so that opening
// the table changes nothing there. Each window of kShots is shown, left to
// settle, grabbed (QWidget::grab, the client area with the menu bar) and saved
// as OUTPUT_DIR/NAME.png, then hidden again. A message box raised meanwhile
// fails the run: the picture would not show what the guide describes.
//
// The windows are drawn at kPictureScale times their size, so that the
// printed pictures stay sharp; each PNG records its resolution (kPictureScale
// times 96 dots per inch), from which the PDF writer takes the size to print
// it at.
#include <cstdio>
#include <functional>
#include <vector>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include "app/about_window.h"
#include "app/app_windows.h"
#include "app/application.h"
#include "app/browse_window.h"
#include "app/dialog_service.h"
#include "app/error_display.h"
#include "app/filter_window.h"
#include "app/main_window.h"
#include "app/picture_window.h"
#include "app/search_window.h"
#include "app/shell_service.h"
#include "app/tdb_components.h"

namespace {

using vendrik::TAppWindows;

// One picture of the guide: its file name without ".png" and the window.
struct TWindowShot {
  const char* FName;
  std::function<QWidget&(TAppWindows&)> FWindow;
};

// The guide's pictures. Adding a window to the guide is one line here and an
// <img> of NAME.png in the guide's text.
const std::vector<TWindowShot> kShots = {
    {"main", [](TAppWindows& windows) -> QWidget& { return windows.Form1(); }},
    {"browse", [](TAppWindows& windows) -> QWidget& { return windows.Form2(); }},
    {"search", [](TAppWindows& windows) -> QWidget& { return windows.Form5(); }},
    {"filter", [](TAppWindows& windows) -> QWidget& { return windows.Form6(); }},
    {"about", [](TAppWindows& windows) -> QWidget& { return windows.Form7(); }},
    {"picture", [](TAppWindows& windows) -> QWidget& { return windows.Form8(); }},
};

// How long a shown window is given to run its show handlers and paint.
constexpr int kSettleMs = 1500;

constexpr int kPictureScale = 2;
constexpr double kScreenDotsPerInch = 96;
constexpr double kInchesPerMetre = 1 / 0.0254;

// Records every box instead of showing it, and answers every question "Nem".
class TRecordingDialogs final : public vendrik::IDialogService {
 public:
  void ShowMessage(const QString& caption, const QString& text) override { Record(caption, text); }
  bool AskYesNo(const QString& caption, const QString& text) override {
    Record(caption, text);
    return false;
  }
  void ShowError(const QString& caption, const QString& text) override { Record(caption, text); }

  QStringList FBoxes;

 private:
  void Record(const QString& caption, const QString& text) { FBoxes << caption + QStringLiteral(": ") + text; }
};

// Opens nothing: the windows' links and documents are not followed here.
class TInertShell final : public vendrik::IShellService {
 public:
  bool OpenDocument(const QString&) override { return false; }
  bool OpenAddress(const QString&) override { return false; }
  bool StartProgram(const QString&, const QStringList&, QString& reason) override {
    reason = QStringLiteral("not started while the guide's pictures are taken");
    return false;
  }
};

void Settle() {
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < kSettleMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Copies the files of `from` into `to`; false when one could not be copied.
bool CopyFiles(const QDir& from, const QDir& to) {
  for (const QFileInfo& file : from.entryInfoList(QDir::Files))
    if (!QFile::copy(file.absoluteFilePath(), to.filePath(file.fileName()))) return false;
  return true;
}

int Fail(const QString& message) {
  std::fprintf(stderr, "vendrik-shots: %s\n", message.toUtf8().constData());
  return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  qputenv("QT_SCALE_FACTOR", QByteArray::number(kPictureScale));
  vendrik::TVendrikApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: vendrik-shots OUTPUT_DIR DATA_DIR\n");
    return 2;
  }
  const QDir output(QString::fromLocal8Bit(argv[1]));
  const QDir data(QString::fromLocal8Bit(argv[2]));
  if (!QDir().mkpath(output.absolutePath())) return Fail(QStringLiteral("cannot create ") + output.path());

  TRecordingDialogs dialogs;
  TInertShell shell;
  vendrik::TErrorDisplay errors(dialogs, vendrik::kApplicationTitle);
  application.SetUnhandledErrorHandler([&errors](std::exception_ptr error) { errors.Show(error); });
  vendrik::InstallFonts();
  if (!vendrik::ApplyTheme(application, dialogs)) return Fail(dialogs.FBoxes.join(QLatin1Char('\n')));

  QTemporaryDir scratch;
  if (!scratch.isValid() || !CopyFiles(data, QDir(scratch.path())) || !QDir::setCurrent(scratch.path()))
    return Fail(QStringLiteral("cannot copy the demo table from ") + data.path());

  TAppWindows windows(vendrik::TAppServices{dialogs, shell, errors, vendrik::CreateTdbComponents,
                                            [] {}});
  for (const TWindowShot& shot : kShots) {
    QWidget& window = shot.FWindow(windows);
    window.show();
    Settle();
    if (!dialogs.FBoxes.isEmpty()) {
      const QString boxes = dialogs.FBoxes.join(QStringLiteral("; "));
      return Fail(QStringLiteral("%1: a box came up: %2").arg(QLatin1String(shot.FName), boxes));
    }
    const QString path = output.filePath(QLatin1String(shot.FName) + QStringLiteral(".png"));
    QImage picture = window.grab().toImage();
    const int dotsPerMetre = qRound(kPictureScale * kScreenDotsPerInch * kInchesPerMetre);
    picture.setDotsPerMeterX(dotsPerMetre);
    picture.setDotsPerMeterY(dotsPerMetre);
    if (!picture.save(path, "PNG")) return Fail(QStringLiteral("cannot write ") + path);
    window.hide();
  }
  return 0;
}
