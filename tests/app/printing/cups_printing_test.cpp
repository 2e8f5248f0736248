// Printing to a real CUPS queue (the tests' own server, see cups_server.h):
// the job's attributes are read back with ipptool and the printed PDF with
// the poppler tools.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/record_report.h"
#include "cups_server.h"
#include "report/qr_preview.h"
#include "report/qr_print.h"

namespace vendrik::testing {

extern TTestCupsServer* gCupsServer;
extern QString gCupsServerError;

namespace {

TQRMemoryDataSet Record(const QString& code, const QString& name, const QString& description) {
  return TQRMemoryDataSet({QStringLiteral("KOD"), QStringLiteral("MEGNEV"), QStringLiteral("LEIRAS")},
                          {{code, name, description}});
}

QString Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished(20000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

QString PrintedText() { return Run(QStringLiteral("pdftotext"), {gCupsServer->OutputFile(), QStringLiteral("-")}); }
// The top left corner of the first printed word `word`, in points from the
// sheet's top left edge; (-1, -1) when it is not printed.
QPointF PrintedWordAt(const QString& word) {
  const QString boxes = Run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), gCupsServer->OutputFile(),
                                                         QStringLiteral("-")});
  static const QRegularExpression kWord(
      QStringLiteral(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>([^<]*)</word>)re"));
  for (auto it = kWord.globalMatch(boxes); it.hasNext();) {
    const auto match = it.next();
    if (match.captured(3) == word) return {match.captured(1).toDouble(), match.captured(2).toDouble()};
  }
  return {-1, -1};
}
QString PrintedInfo() { return Run(QStringLiteral("pdfinfo"), {gCupsServer->OutputFile()}); }

class CupsPrinting : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gCupsServer) FAIL() << "The test CUPS server did not start: " << gCupsServerError.toStdString();
  }
  TTestCupsServer& Server() { return *gCupsServer; }
};

TEST_F(CupsPrinting, RecordReportWithDefaultsIsOneA4JobHoldingTheRecord) {
  TQRMemoryDataSet records = Record(QStringLiteral("01.23"), QStringLiteral("Takarítás"),
                                    QStringLiteral("Irodák napi takarítása"));
  QString error;
  int job = 0;
  ASSERT_TRUE(PrintRecordReport(records, Server().Queue(), &error, &job)) << error.toStdString();
  ASSERT_GT(job, 0);
  ASSERT_TRUE(Server().WaitCompleted(job));
  const QMap<QString, QString> attributes = Server().JobAttributes(job);
  EXPECT_EQ(attributes.value(QStringLiteral("job-name")), QStringLiteral("Nyomtatási kép:"));
  EXPECT_EQ(attributes.value(QStringLiteral("media")), QStringLiteral("A4"));
  EXPECT_EQ(attributes.value(QStringLiteral("copies")), QStringLiteral("1"));
  EXPECT_EQ(attributes.value(QStringLiteral("sides")), QStringLiteral("one-sided"));
  EXPECT_EQ(attributes.value(QStringLiteral("InputSlot")), QStringLiteral("Auto"));
  const QString info = PrintedInfo();
  EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n")))) << info.toStdString();
  EXPECT_TRUE(info.contains(QStringLiteral("(A4)"))) << info.toStdString();
  const QString text = PrintedText();
  for (const char* expected : {"01.23", "Takarítás", "Irodák napi takarítása", "Tárolt Vendrik adat"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << " missing in:\n" << text.toStdString();
  // The code label sits 10 mm + 2.1 mm from the left paper edge and 10 mm +
  // 11.4 mm (header) + 4.2 mm from the top, whatever the printer's
  // unprintable margins (6.35 mm left, 12.7 mm top on the test queue).
  const QPointF code = PrintedWordAt(QStringLiteral("Kód:"));
  constexpr double kPointsPerMillimetre = 72 / 25.4;
  EXPECT_NEAR(code.x(), 12.1 * kPointsPerMillimetre, 2.0);
  EXPECT_NEAR(code.y(), 25.6 * kPointsPerMillimetre, 3.0);
}

TEST_F(CupsPrinting, UnknownOrRefusingQueueReportsOneLineAndQueuesNothing) {
  TQRMemoryDataSet records = Record(QStringLiteral("01"), QStringLiteral("N"), QStringLiteral("L"));
  const int before = Server().JobCount();
  QString error;
  EXPECT_FALSE(PrintRecordReport(records, QStringLiteral("nincs_ilyen"), &error));
  EXPECT_TRUE(error.contains(QStringLiteral("nincs_ilyen"))) << error.toStdString();
  EXPECT_FALSE(error.contains(QLatin1Char('\n')));

  ASSERT_TRUE(Server().RunClient(QStringLiteral("cupsreject"), {Server().Queue()}));
  error.clear();
  const bool printed = PrintRecordReport(records, Server().Queue(), &error);
  Server().RunClient(QStringLiteral("cupsaccept"), {Server().Queue()});
  EXPECT_FALSE(printed);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(error.contains(QLatin1Char('\n')));
  EXPECT_EQ(Server().JobCount(), before);
}

TEST_F(CupsPrinting, ReportSettingsReachTheJob) {
  struct Case {
    const char* FName;
    std::function<void(TQuickRep&)> FSet;
    QMap<QString, QString> FExpected;
  };
  const Case cases[] = {
      {"two collated copies from the manual feed, horizontal duplex",
       [](TQuickRep& r) {
         r.PrinterSettings.Copies = 2;
         r.PrinterSettings.Collate = 1;
         r.PrinterSettings.OutputBin = TQRBin::Manual;
         r.PrinterSettings.Duplex = true;
       },
       {{"copies", "2"}, {"InputSlot", "Manual"}, {"sides", "two-sided-short-edge"},
        {"multiple-document-handling", "separate-documents-collated-copies"}, {"media", "A4"}}},
      {"Letter, upper tray, extended duplex code 2",
       [](TQuickRep& r) {
         r.Page.SetPaperSize(TQRPaperSize::Letter);
         r.PrinterSettings.OutputBin = TQRBin::Upper;
         r.PrinterSettings.ExtendedDuplex = 2;
       },
       {{"copies", "1"}, {"InputSlot", "Upper"}, {"sides", "two-sided-long-edge"}, {"media", "Letter"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.FName);
    TQRMemoryDataSet records = Record(QStringLiteral("02"), QStringLiteral("Név"), QStringLiteral("Leírás"));
    TQuickRep report(QStringLiteral("QuickReport9"));
    BuildRecordReport(report);
    report.DataSet = &records;
    report.ShowProgress = false;
    c.FSet(report);
    const int job = report.Print();
    ASSERT_GT(job, 0);
    ASSERT_TRUE(Server().WaitCompleted(job));
    const QMap<QString, QString> attributes = Server().JobAttributes(job);
    for (auto it = c.FExpected.begin(); it != c.FExpected.end(); ++it)
      EXPECT_EQ(attributes.value(it.key()), it.value()) << it.key().toStdString();
  }
}

TEST_F(CupsPrinting, RangeWithoutPagesStartsNoJob) {
  TQRMemoryDataSet records = Record(QStringLiteral("03"), QStringLiteral("N"), QStringLiteral("L"));
  TQuickRep report(QStringLiteral("QuickReport9"));
  BuildRecordReport(report);
  report.DataSet = &records;
  report.ShowProgress = false;
  report.PrinterSettings.FirstPage = report.PrinterSettings.LastPage = 2;
  const int before = Server().JobCount();
  EXPECT_EQ(report.Print(), 0);
  EXPECT_EQ(Server().JobCount(), before);
}

TEST_F(CupsPrinting, PreviewPrintsLoadedPagesAsLoaded) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("saved.QRP"));
  {
    TQRMemoryDataSet saved = Record(QStringLiteral("77.01"), QStringLiteral("Elmentett"), QStringLiteral("Régi lap"));
    TQuickRep report(QStringLiteral("Saved"));
    BuildRecordReport(report);
    report.DataSet = &saved;
    QString error;
    ASSERT_TRUE(report.Prepare(96)->Save(file, &error)) << error.toStdString();
  }
  TQRMemoryDataSet current = Record(QStringLiteral("88.02"), QStringLiteral("Mostani"), QStringLiteral("Új adat"));
  TQuickReport9 recordReport;
  recordReport.Report().DataSet = &current;
  recordReport.Report().ShowProgress = false;
  TQRPrinter sink(96);
  QString error;
  ASSERT_TRUE(sink.Load(file, &error)) << error.toStdString();
  auto* preview = new TQRStandardPreview(&recordReport.Report(), &sink);
  QToolButton* print = preview->Button(QStringLiteral("Print"));
  ASSERT_TRUE(print->isEnabled());
  const int before = Server().LastJobId();
  print->click();
  const int job = Server().LastJobId();
  ASSERT_GT(job, before);
  ASSERT_TRUE(Server().WaitCompleted(job));
  EXPECT_TRUE(preview->Button(QStringLiteral("ExitButton"))->isEnabled());
  delete preview;
  const QString text = PrintedText();
  EXPECT_TRUE(text.contains(QStringLiteral("77.01"))) << text.toStdString();
  EXPECT_FALSE(text.contains(QStringLiteral("88.02")));
  EXPECT_TRUE(PrintedInfo().contains(QStringLiteral("(A4)")));
}

// `vendrik --report KOD --printer NAME`, the built program without a display:
// one job named as the preview, holding the demo record; an unknown queue or
// code is one line on standard error, status 1, and no job.
TEST_F(CupsPrinting, CommandLinePrintsTheDemoRecordAsOneJob) {
  QTemporaryDir data, dataHome;
  ASSERT_TRUE(data.isValid() && dataHome.isValid());
  QProcess demo;
  demo.start(QStringLiteral(VENDRIK_BINARY_DIR "/bin/kestrel"), {QStringLiteral("demo"), data.path()});
  ASSERT_TRUE(demo.waitForFinished(60000) && demo.exitCode() == 0);

  struct TRun {
    int FStatus = -1;
    QString FErr;
  };
  const auto run = [&](const QString& code, const QString& queue) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.path());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(data.path());
    process.start(QStringLiteral(VENDRIK_BINARY_DIR "/bin/vendrik"),
                  {QStringLiteral("--report"), code, QStringLiteral("--printer"), queue});
    TRun result;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit) {
      result.FStatus = process.exitCode();
      result.FErr = QString::fromUtf8(process.readAllStandardError());
    }
    return result;
  };

  const int before = Server().JobCount();
  const struct {
    QString FCode, FQueue;
  } refused[] = {{QStringLiteral("58.05.1"), QStringLiteral("nincs_ilyen")},
                 {QStringLiteral("99.99.9"), Server().Queue()}};
  for (const auto& c : refused) {
    const TRun result = run(c.FCode, c.FQueue);
    EXPECT_EQ(result.FStatus, 1) << c.FCode.toStdString() << " " << c.FQueue.toStdString();
    EXPECT_EQ(result.FErr.count(QLatin1Char('\n')), 1) << result.FErr.toStdString();
    EXPECT_TRUE(result.FErr.startsWith(QStringLiteral("vendrik: "))) << result.FErr.toStdString();
  }
  EXPECT_EQ(Server().JobCount(), before);

  const TRun printed = run(QStringLiteral("58.05.1"), Server().Queue());
  ASSERT_EQ(printed.FStatus, 0) << printed.FErr.toStdString();
  EXPECT_TRUE(printed.FErr.isEmpty()) << printed.FErr.toStdString();
  ASSERT_EQ(Server().JobCount(), before + 1);
  const int job = Server().LastJobId();
  ASSERT_TRUE(Server().WaitCompleted(job));
  EXPECT_EQ(Server().JobAttributes(job).value(QStringLiteral("job-name")), QStringLiteral("Nyomtatási kép:"));
  EXPECT_TRUE(PrintedText().contains(QStringLiteral("58.05.1")));
}

}  // namespace
}  // namespace vendrik::testing
