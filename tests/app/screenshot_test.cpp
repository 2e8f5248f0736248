// Screenshots of the windows on a real X server (Xvfb): each window is shown
// by the program's own code on the xcb platform over the demo table, grabbed
// from the screen, and the picture's size must be the window's fixed size
// (the main window 537 pixels wide, the menu bar plus the 333-pixel client
// area high; the browse window 761 x 295, the search window 752 x 295),
// centred on the screen; the windows with a grid show rows of data. The
// child side is screenshot_child.cpp.
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "fake_services.h"
#include "screenshot_child.h"

namespace vendrik::testing {
namespace {

constexpr int kServerStartMs = 15000;
constexpr int kChildMs = 120000;
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

// An Xvfb server on a display number it picks itself (-displayfd), so that
// parallel test runs never race for a number. Stopped when destroyed.
class TVirtualDisplay {
 public:
  TVirtualDisplay() {
    const QString server = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (server.isEmpty()) {
      FProblem = QStringLiteral("Xvfb is not installed");
      return;
    }
    FServer.setProgram(server);
    FServer.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                          QStringLiteral("0"),
                          QStringLiteral("%1x%2x24").arg(kScreenWidth).arg(kScreenHeight),
                          QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    FServer.start();
    if (!FServer.waitForStarted(kServerStartMs)) {
      FProblem = QStringLiteral("Xvfb did not start: ") + FServer.errorString();
      return;
    }
    QByteArray number;
    while (!number.contains('\n') && FServer.state() == QProcess::Running &&
           FServer.waitForReadyRead(kServerStartMs))
      number += FServer.readAllStandardOutput();
    bool ok = false;
    const int display = number.trimmed().toInt(&ok);
    if (!ok) {
      FProblem = QStringLiteral("Xvfb did not report its display: ") +
                 QString::fromLocal8Bit(FServer.readAllStandardError()).trimmed();
      return;
    }
    FDisplay = QStringLiteral(":%1").arg(display);
  }
  ~TVirtualDisplay() {
    if (FServer.state() == QProcess::NotRunning) return;
    FServer.terminate();
    if (!FServer.waitForFinished(kServerStartMs)) FServer.kill();
    FServer.waitForFinished(kServerStartMs);
  }

  // Empty when the server runs; else why it does not.
  const QString& Problem() const { return FProblem; }
  const QString& Display() const { return FDisplay; }

 private:
  QProcess FServer;
  QString FProblem;
  QString FDisplay;
};

// The value after `key` on its line of the child's report.
QList<int> ReportValues(const QString& report, const QString& key) {
  for (const QString& line : report.split(QLatin1Char('\n'))) {
    QStringList words = line.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty() || words.takeFirst() != key) continue;
    QList<int> values;
    for (const QString& word : words) values << word.toInt();
    return values;
  }
  return {};
}

struct TWindowCase {
  const char* FName;
  int FWidth;
  int FClientHeight;
};

TEST(ScreenshotTest, WindowScreenshotsHaveTheWindowsSizes) {
  TVirtualDisplay display;
  if (!display.Problem().isEmpty()) GTEST_SKIP() << "no X server for the screenshot: " << display.Problem().toStdString();
  for (const TWindowCase& c : {TWindowCase{"Form1", 537, 333}, TWindowCase{"Form2", 761, 295},
                               TWindowCase{"Form5", 752, 295}, TWindowCase{"Form6", 541, 225}}) {
  SCOPED_TRACE(c.FName);

  QTemporaryDir output;
  ASSERT_TRUE(output.isValid());
  const QString picture = output.filePath(QStringLiteral("main-window.png"));
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("DISPLAY"), display.Display());
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
  child.setProcessEnvironment(environment);
  child.start(QCoreApplication::applicationFilePath(),
              {QString::fromLatin1(kScreenshotChildFlag), picture, QString::fromLatin1(c.FName)});
  ASSERT_TRUE(child.waitForFinished(kChildMs)) << "the screenshot child did not finish";
  const QString report = QString::fromLocal8Bit(child.readAllStandardOutput());
  ASSERT_EQ(child.exitStatus(), QProcess::NormalExit);
  ASSERT_EQ(child.exitCode(), 0) << report.toStdString()
                                 << QString::fromLocal8Bit(child.readAllStandardError()).toStdString();

  const QList<int> geometry = ReportValues(report, QStringLiteral("geometry"));
  const QList<int> menuBar = ReportValues(report, QStringLiteral("menubar"));
  const QList<int> screen = ReportValues(report, QStringLiteral("screen"));
  ASSERT_EQ(geometry.size(), 4) << report.toStdString();
  ASSERT_EQ(menuBar.size(), 1) << report.toStdString();
  ASSERT_EQ(screen.size(), 2) << report.toStdString();
  if (std::string(c.FName) == "Form1") {
    EXPECT_GT(menuBar[0], 0);
  } else if (std::string(c.FName) == "Form6") {
    EXPECT_EQ(report.count(QStringLiteral("rows")), 0) << "the filter builder has no grid";
  } else {
    const QList<int> rows = ReportValues(report, QStringLiteral("rows"));
    ASSERT_EQ(rows.size(), 1) << report.toStdString();
    EXPECT_GE(rows[0], 10) << "the grid shows the demo records";
    const QList<int> count = ReportValues(report, QStringLiteral("count"));
    ASSERT_EQ(count.size(), 1) << report.toStdString();
    EXPECT_EQ(count[0], 498) << "the count label shows the demo records";
  }

  const QImage shot(picture);
  ASSERT_FALSE(shot.isNull()) << "no screenshot was written";
  EXPECT_EQ(shot.width(), c.FWidth);
  EXPECT_EQ(shot.height(), menuBar[0] + c.FClientHeight);
  EXPECT_EQ(geometry[2], shot.width());
  EXPECT_EQ(geometry[3], shot.height());
  // Centred (without a window manager the frame is the window itself).
  EXPECT_LE(std::abs(geometry[0] - (screen[0] - geometry[2]) / 2), 1);
  EXPECT_LE(std::abs(geometry[1] - (screen[1] - geometry[3]) / 2), 1);
  // Something was painted: the grab is not one flat colour.
  const QRgb first = shot.pixel(0, 0);
  bool varied = false;
  for (int y = 0; y < shot.height() && !varied; y += 7)
    for (int x = 0; x < shot.width() && !varied; x += 7) varied = shot.pixel(x, y) != first;
  EXPECT_TRUE(varied) << "the screenshot is a single colour";
  if (!qEnvironmentVariableIsEmpty("VENDRIK_KEEP_SCREENSHOTS"))
    QFile::copy(picture, qEnvironmentVariable("VENDRIK_KEEP_SCREENSHOTS") + QLatin1Char('/') + QString::fromLatin1(c.FName) + QStringLiteral(".png"));
  }
}

}  // namespace
}  // namespace vendrik::testing
