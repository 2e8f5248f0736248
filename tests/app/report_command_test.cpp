// `vendrik --report KOD --pdf FILE` run as the built program, without a
// display: the PDF of a demo record (one A4 page, its title, the record's
// code), and the failures (unknown code, a path that cannot be written, a
// table that does not open, a missing target): the status and exactly one
// line on standard error, and no file left behind.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "fake_services.h"

namespace vendrik::testing {
namespace {

struct TRun {
  int FStatus = -1;
  QString FOut, FErr;
};

// Runs the program in `directory` with no display and no platform chosen.
TRun RunVendrik(const QString& directory, const QStringList& arguments, const QString& dataHome) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(QString::fromLatin1(name));
  environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
  QProcess process;
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(directory);
  process.start(QStringLiteral(VENDRIK_BINARY_DIR "/bin/vendrik"), arguments);
  TRun run;
  if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) return run;
  run.FStatus = process.exitCode();
  run.FOut = QString::fromUtf8(process.readAllStandardOutput());
  run.FErr = QString::fromUtf8(process.readAllStandardError());
  return run;
}

QString Tool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) return QString();
  return QString::fromUtf8(process.readAllStandardOutput());
}

class ReportCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { FDemo.MakeDemo(); }
  TRun Run(const QStringList& arguments, const QString& directory = QString()) {
    return RunVendrik(directory.isEmpty() ? FDemo.Path() : directory, arguments, FDataHome.path());
  }
  TScratchDirectory FDemo;
  QTemporaryDir FDataHome;
};

TEST_F(ReportCommandTest, DemoRecordBecomesOneA4PageTitledAsThePreview) {
  const TRun run = Run({QStringLiteral("--report"), QStringLiteral("58.05.1"), QStringLiteral("--pdf"),
                        QStringLiteral("out.pdf")});
  EXPECT_EQ(run.FStatus, 0);
  EXPECT_EQ(run.FErr, QString());
  EXPECT_EQ(run.FOut, QString());
  const QString pdf = QDir(FDemo.Path()).filePath(QStringLiteral("out.pdf"));
  const QString info = Tool(QStringLiteral("pdfinfo"), {pdf});
  EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n")))) << info.toStdString();
  EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)? pts \\(A4\\)"))))
      << info.toStdString();
  EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+Nyomtatási kép:\\n")))) << info.toStdString();
  const QString text = Tool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
  for (const char* expected : {"Tárolt Vendrik adat", "Kód:", "58.05.1", "Megnevezés:", "Leírás:", ". oldal"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();
}

TEST_F(ReportCommandTest, FailuresSayWhyOnOneLine) {
  struct Case {
    const char* FName;
    QStringList FArguments;
    bool FInEmptyDirectory;
    int FStatus;
    const char* FNamed;  // a part of the line
  };
  const QString out = QStringLiteral("out.pdf");
  const Case cases[] = {
      {"unknown code", {"--report", "99.99.9", "--pdf", out}, false, 1, "99.99.9"},
      {"code with a quote", {"--report", "58'05", "--pdf", out}, false, 1, "58'05"},
      {"folder that does not exist", {"--report", "58.05.1", "--pdf", "nincs/out.pdf"}, false, 1, "nincs/out.pdf"},
      {"no table", {"--report", "58.05.1", "--pdf", out}, true, 1, "Vnd03"},
      {"no target", {"--report", "58.05.1"}, false, kRefusedStatus, "--pdf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.FName);
    QTemporaryDir empty;
    const QString directory = c.FInEmptyDirectory ? empty.path() : FDemo.Path();
    const TRun run = Run(c.FArguments, directory);
    EXPECT_EQ(run.FStatus, c.FStatus);
    const QStringList lines = run.FErr.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (c.FStatus == 1) {
      EXPECT_EQ(lines.size(), 1) << run.FErr.toStdString();
    }
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.front().startsWith(QStringLiteral("vendrik: "))) << run.FErr.toStdString();
    EXPECT_TRUE(lines.front().contains(QString::fromUtf8(c.FNamed))) << run.FErr.toStdString();
    EXPECT_TRUE(run.FErr.endsWith(QLatin1Char('\n')));
    EXPECT_FALSE(QFile::exists(QDir(directory).filePath(out)));
  }
}

}  // namespace
}  // namespace vendrik::testing
