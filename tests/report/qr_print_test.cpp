// Printing without a print server: the PPD reader, the mapping of the
// settings onto job options, the setup dialog's choices, the preview's print
// buttons, the printer sink's placement and the progress window. A fake
// print service stands for CUPS and keeps the jobs it is given.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QToolButton>

#include "report/qr_preview.h"
#include "report/qr_print.h"
#include "report/qr_print_dialog.h"
#include "report/qr_print_service.h"
#include "report_fixture.h"
#include "test_ppd.h"

namespace vendrik::testing {
namespace {

TQRDeviceMode TestMode() {
  QString error;
  const std::optional<TQRDeviceMode> mode = QRParsePpd(QByteArray(kTestPpd), &error);
  EXPECT_TRUE(mode) << error.toStdString();
  return mode.value_or(TQRDeviceMode{});
}

class TFakePrintService final : public IQRPrintService {
 public:
  struct TJob {
    QString FPrinter, FTitle;
    TQRJobOptions FOptions;
  };
  QStringList FPrinters = {QStringLiteral("first"), QStringLiteral("second")};
  TQRDeviceMode FMode = TestMode();
  std::vector<TJob> FJobs;

  QStringList Printers() override { return FPrinters; }
  QString DefaultPrinter() override { return FPrinters.value(0); }
  std::optional<TQRDeviceMode> ReadPrinter(const QString& name, QString* error) override {
    if (FPrinters.contains(name)) return FMode;
    if (error) *error = QStringLiteral("unknown");
    return std::nullopt;
  }
  int SubmitPdf(const QString& name, const QString& title, const QByteArray&, const TQRJobOptions& options,
                QString*) override {
    FJobs.push_back({name, title, options});
    return static_cast<int>(FJobs.size());
  }
};

class TFakePrintDialogs final : public IQRPrintDialogs {
 public:
  std::function<bool(TQRPrintDialogState&)> FAnswer;
  bool Execute(QWidget*, TQRPrintDialogState& state) override {
    TQRPrintDialogState chosen = state;
    if (!FAnswer(chosen)) return false;
    state = chosen;
    return true;
  }
};

TEST(QRParsePpd, ReadsPapersSourcesDuplexAndResolution) {
  const TQRDeviceMode mode = TestMode();
  ASSERT_EQ(mode.FPapers.size(), 2u);
  EXPECT_EQ(mode.FPapers[0].FName, QStringLiteral("A4"));
  EXPECT_EQ(mode.FPapers[0].FCode, QRPaperCode(TQRPaperSize::A4));
  EXPECT_EQ(mode.FPapers[1].FCode, QRPaperCode(TQRPaperSize::Letter));
  EXPECT_EQ(mode.FDefaultPaper, 0);
  // A4's imageable area starts 18 pt from the left and ends 36 pt below the top.
  EXPECT_NEAR(static_cast<double>(mode.FPapers[0].FLeftOffset), 63.5, 0.01);
  EXPECT_NEAR(static_cast<double>(mode.FPapers[0].FTopOffset), 127.0, 0.01);
  ASSERT_EQ(mode.FSources.size(), 3u);
  EXPECT_EQ(mode.FSources[0].FCode, QRBinCode(TQRBin::Auto));
  EXPECT_EQ(mode.FSources[1].FCode, QRBinCode(TQRBin::Upper));
  EXPECT_EQ(mode.FSources[2].FCode, QRBinCode(TQRBin::Manual));
  EXPECT_EQ(mode.FDefaultSource, 0);
  EXPECT_TRUE(mode.FHasDuplex);
  EXPECT_EQ(mode.FDuplexCode, kQRSimplex);
  EXPECT_EQ(mode.FDotsPerInchX, 300);
}

TEST(QRParsePpd, DescriptionWithoutMeasuredPaperIsRefused) {
  for (const char* text : {"", "*PPD-Adobe: \"4.3\"\n*PageSize A4/A4: \"\"\n",
                           "*PageSize A4/A4: \"\"\n*PaperDimension A4/A4: \"x 842\"\n",
                           "*PaperDimension A4/A4: \"-5 842\"\n"}) {
    QString error;
    EXPECT_FALSE(QRParsePpd(QByteArray(text), &error)) << text;
    EXPECT_FALSE(error.isEmpty());
  }
}

TEST(TPrinterSettings, DuplexSourceAndPaperBecomeJobOptions) {
  struct Case {
    bool FDuplex;
    int FExtended;
    TQRBin FBin;
    TQRPaperSize FPaper;
    const char* FSides;
    const char* FSlot;
    const char* FMedia;
  };
  const Case cases[] = {
      {false, 0, TQRBin::Auto, TQRPaperSize::A4, "one-sided", "Auto", "A4"},
      {true, 0, TQRBin::Manual, TQRPaperSize::Letter, "two-sided-short-edge", "Manual", "Letter"},
      {false, 2, TQRBin::Upper, TQRPaperSize::A4, "two-sided-long-edge", "Upper", "A4"},
      {true, 2, TQRBin::First, TQRPaperSize::A4, "two-sided-long-edge", "Upper", "A4"},
      // No source of the code and a paper the printer does not offer: the
      // printer's own source and paper stay.
      {false, 0, TQRBin::Tractor, TQRPaperSize::A3, "one-sided", "", "A4"},
  };
  for (const Case& c : cases) {
    TPrinterSettings settings;
    settings.SetPrinter(TestMode());
    settings.SetDuplex(c.FDuplex);
    settings.SetExtendedDuplex(c.FExtended);
    settings.SetOutputBin(c.FBin);
    settings.SetPaperSize(c.FPaper);
    const TQRJobOptions options = settings.ApplySettings();
    EXPECT_EQ(options.Value(QStringLiteral("sides")), QLatin1String(c.FSides));
    EXPECT_EQ(options.Value(QStringLiteral("InputSlot")), QLatin1String(c.FSlot));
    EXPECT_EQ(options.Value(QStringLiteral("media")), QLatin1String(c.FMedia));
  }
}

TEST(TPrinterSettings, PrinterWithoutDuplexKeepsOneSided) {
  TQRDeviceMode mode = TestMode();
  mode.FHasDuplex = false;
  TPrinterSettings settings;
  settings.SetPrinter(mode);
  settings.SetDuplex(true);
  settings.SetExtendedDuplex(2);
  EXPECT_FALSE(settings.FDuplex);
  EXPECT_EQ(settings.ApplySettings().Value(QStringLiteral("sides")), QString());
}

struct TPrintFixture {
  TFakePrintService FService;
  TFakePrintDialogs FDialogs;
  std::unique_ptr<TQuickRep> FReport = SmallReport();
  TQRMemoryDataSet FRecords = Records({{QStringLiteral("A1"), QStringLiteral("first")}});
  TPrintFixture() {
    FReport->PrintService = &FService;
    FReport->PrintDialogs = &FDialogs;
    FReport->DataSet = &FRecords;
    FReport->ShowProgress = false;
  }
};

TEST(PrinterSetup, SourceCodeIsLookedUpAfterDroppingTheDriverOffset) {
  const std::pair<int, TQRBin> cases[] = {
      {260, TQRBin::Manual}, {4, TQRBin::Manual}, {7, TQRBin::Auto}, {2, TQRBin::Lower}, {300, TQRBin::Auto}};
  for (const auto& [code, bin] : cases) {
    TPrintFixture f;
    f.FDialogs.FAnswer = [code = code](TQRPrintDialogState& s) {
      s.FOutputBin = code;
      return true;
    };
    ASSERT_TRUE(f.FReport->PrinterSetup());
    EXPECT_EQ(f.FReport->UserPrinterSettings.OutputBin, bin) << code;
    EXPECT_EQ(f.FReport->UserPrinterSettings.CustomBinCode, code);
  }
}

TEST(PrinterSetup, CancelledSetupChangesNothing) {
  TPrintFixture f;
  f.FReport->PrinterSettings.Copies = 3;
  f.FReport->PrinterSettings.FirstPage = 1;
  f.FReport->PrinterSettings.LastPage = 4;
  f.FDialogs.FAnswer = [](TQRPrintDialogState& s) {
    s.FCopies = 9;
    s.FPrinterIndex = 1;
    s.FPrintRange = TQRPrintRange::prPageNums;
    s.FFromPage = s.FToPage = 2;
    return false;
  };
  EXPECT_FALSE(f.FReport->PrinterSetup());
  EXPECT_EQ(f.FReport->PrinterSettings.Copies, 3);
  EXPECT_EQ(f.FReport->PrinterSettings.PrinterIndex, -1);
  EXPECT_EQ(f.FReport->PrinterSettings.FirstPage, 1);
  EXPECT_EQ(f.FReport->PrinterSettings.LastPage, 4);
  EXPECT_EQ(f.FReport->UserPrinterSettings.Copies, 1);
}

TEST(PrinterSetup, ConfirmedChoicesReachTheNextJobThroughThePreview) {
  TPrintFixture f;
  f.FDialogs.FAnswer = [](TQRPrintDialogState& s) {
    EXPECT_EQ(s.FMinPage, 1);
    EXPECT_EQ(s.FMaxPage, 1);
    s.FPrinterIndex = 1;
    s.FCopies = 2;
    s.FDuplexCode = kQRDuplexVertical;
    s.FOutputBin = QRBinCode(TQRBin::Manual);
    return true;
  };
  f.FReport->PrintAfterSetup = true;
  f.FReport->OnPrinterSetup = [](TQRStandardPreview& p) { QRPreviewPrinterSetup(p); };
  f.FReport->OnPrint = [](TQRStandardPreview& p) { QRPreviewPrint(p); };
  std::unique_ptr<TQRPrinter> pages = f.FReport->Prepare(96);
  auto* preview = new TQRStandardPreview(f.FReport.get(), pages.get());
  preview->Button(QStringLiteral("PrintSetup"))->click();
  delete preview;
  ASSERT_EQ(f.FService.FJobs.size(), 1u);
  const TFakePrintService::TJob& job = f.FService.FJobs[0];
  EXPECT_EQ(job.FPrinter, QStringLiteral("second"));
  EXPECT_EQ(job.FTitle, QStringLiteral("Small report"));
  EXPECT_EQ(job.FOptions.Value(QStringLiteral("copies")), QStringLiteral("2"));
  EXPECT_EQ(job.FOptions.Value(QStringLiteral("sides")), QStringLiteral("two-sided-long-edge"));
  EXPECT_EQ(job.FOptions.Value(QStringLiteral("InputSlot")), QStringLiteral("Manual"));
}

TEST(PrintButtons, WithoutPrinterTheyAreDisabledAndSayWhy) {
  for (const bool printers : {false, true}) {
    TPrintFixture f;
    if (!printers) f.FService.FPrinters.clear();
    f.FReport->OnPrint = [](TQRStandardPreview&) {};
    f.FReport->OnPrinterSetup = [](TQRStandardPreview&) {};
    std::unique_ptr<TQRPrinter> pages = f.FReport->Prepare(96);
    auto* preview = new TQRStandardPreview(f.FReport.get(), pages.get());
    for (const char* name : {"Print", "PrintSetup"}) {
      QToolButton* button = preview->Button(QString::fromLatin1(name));
      EXPECT_EQ(button->isEnabled(), printers) << name;
      EXPECT_EQ(button->toolTip().contains(QRNoPrinterHint()), !printers) << name;
    }
    delete preview;
    if (!printers) {
      EXPECT_EQ(f.FReport->Print(), 0);
      EXPECT_FALSE(f.FReport->PrinterSetup());
    }
  }
}

TEST(PrinterSink, PagesInRangeOnlyAndPositionsFromThePaperEdge) {
  struct Case {
    int FFirst, FLast, FRecords;
    size_t FJobs;
  };
  const Case cases[] = {{0, 0, 2, 1}, {2, 2, 1, 0}, {2, 2, 2, 1}, {3, 0, 2, 0}};
  for (const Case& c : cases) {
    TPrintFixture f;
    for (int i = 1; i < c.FRecords; ++i) f.FRecords.AddRow({QStringLiteral("B"), QStringLiteral("more")});
    f.FReport->DetailBand()->ForceNewPage = true;
    f.FReport->PrinterSettings.FirstPage = c.FFirst;
    f.FReport->PrinterSettings.LastPage = c.FLast;
    f.FReport->Print();
    EXPECT_EQ(f.FService.FJobs.size(), c.FJobs) << c.FFirst << "-" << c.FLast << " of " << c.FRecords;
  }
  TFakePrintService service;
  TQRPrinter sink(96);
  QString error;
  ASSERT_TRUE(sink.SetPrinter(service, QStringLiteral("first"), &error));
  sink.Destination = TQRDestination::qrdPrinter;
  sink.BeginDoc();
  sink.NewPage();
  // The canvas starts at the unprintable margin (63.5 and 127 tenths of a mm).
  EXPECT_EQ(sink.XPos(63.5L), 0);
  EXPECT_EQ(sink.YPos(127 + 254), 300);
  EXPECT_EQ(sink.XSize(254), 300);
  sink.AbortDoc();
  EXPECT_TRUE(service.FJobs.empty());
}

TEST(PrinterSink, ResolutionBelowOneDotPerMillimetreFallsBackToScreen) {
  TFakePrintService service;
  service.FMode.FDotsPerInchX = service.FMode.FDotsPerInchY = 20;
  TQRPrinter sink(96);
  QString error;
  ASSERT_TRUE(sink.SetPrinter(service, QStringLiteral("first"), &error));
  sink.Destination = TQRDestination::qrdPrinter;
  sink.BeginDoc();
  EXPECT_DOUBLE_EQ(sink.XFactor(), 96 / 254.0);
  sink.NewPage();
  EXPECT_DOUBLE_EQ(sink.YFactor(), 96 / 254.0);
  sink.EndDoc();
  EXPECT_EQ(service.FJobs.size(), 1u);
}

TEST(TQRProgressForm, ShowsMultiplesOfFiveOnly) {
  TQRProgressForm form(nullptr, nullptr);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Printing progress"));
  form.ShowProgress(7);
  EXPECT_EQ(form.InfoText(), QString());
  EXPECT_EQ(form.GaugePosition(), 0);
  form.ShowProgress(100);
  EXPECT_EQ(form.InfoText(), QStringLiteral("100%  Completed"));
  EXPECT_EQ(form.GaugePosition(), 100);
  form.ShowProgress(99);
  EXPECT_EQ(form.InfoText(), QStringLiteral("100%  Completed"));
}

TEST(TQRProgressForm, FollowsAPrintingRunToTheEnd) {
  TPrintFixture f;
  TQRPrinter sink(96);
  QString error;
  ASSERT_TRUE(QRConfigurePrinterSink(sink, f.FService, f.FReport->PrinterSettings, f.FReport->Page));
  TQRProgressForm form(f.FReport.get(), &sink);
  f.FReport->Generate(sink);
  QCoreApplication::processEvents();
  EXPECT_EQ(form.InfoText(), QStringLiteral("100%  Completed"));
  EXPECT_EQ(f.FService.FJobs.size(), 1u);
}

}  // namespace
}  // namespace vendrik::testing
