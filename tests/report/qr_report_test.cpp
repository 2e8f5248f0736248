// Generation: pages for no record, for several records and for bands higher
// than a page; formatted text cut at its box or continued when it may
// stretch; unreadable and missing fields; the preview's Cancel; the sink's
// errors; and the model's rules for zoom and paper.
#include <stdexcept>

#include <gtest/gtest.h>

#include "report/qr_printer.h"
#include "report/qr_report.h"
#include "report_fixture.h"

namespace vendrik::testing {
namespace {

QString LongText(int lines) {
  QStringList paragraphs;
  for (int i = 1; i <= lines; ++i) paragraphs << QStringLiteral("line%1").arg(i);
  return paragraphs.join(QLatin1Char('\n'));
}

// All texts of all pages, page by page.
QStringList PageTexts(const TQRPrinter& sink) {
  QStringList pages;
  for (int n = 1; n <= sink.StoredPages(); ++n) pages << RunsOf(sink.GetPage(n));
  return pages;
}

TEST(GenerationTest, PagesFollowTheRecordsAndTheBandHeights) {
  struct Case {
    const char* FWhat;
    TQRReal FDetailHeight;
    int FRecords;
    int FPages;
  };
  const Case cases[] = {
      {"no record: one page with an empty detail band", 500, 0, 1},
      {"five bands of 50 mm fill one page", 500, 5, 1},
      {"the sixth starts page 2", 500, 6, 2},
      {"a band of 200 mm per page", 2000, 3, 3},
      {"a band higher than the page prints once per record", 3000, 2, 2},
  };
  for (const Case& c : cases) {
    auto report = SmallReport(c.FDetailHeight);
    TQRMemoryDataSet data = Records({});
    for (int i = 1; i <= c.FRecords; ++i) data.AddRow({QStringLiteral("C%1").arg(i), QString()});
    report->DataSet = &data;
    const std::unique_ptr<TQRPrinter> sink = report->Prepare(96);
    const QStringList pages = PageTexts(*sink);
    ASSERT_EQ(pages.size(), c.FPages) << c.FWhat;
    for (int n = 1; n <= c.FPages; ++n) {
      EXPECT_TRUE(pages[n - 1].startsWith(QStringLiteral("Title"))) << c.FWhat;
      EXPECT_TRUE(pages[n - 1].endsWith(QStringLiteral("Page %1").arg(n))) << c.FWhat;
    }
    EXPECT_EQ(pages.join(QString()).contains(QStringLiteral("C1")), c.FRecords > 0) << c.FWhat;
    EXPECT_TRUE(report->Available());
  }
}

TEST(GenerationTest, ClosedDatasetPrintsOnceOnlyWhenPrintIfEmpty) {
  for (const bool printIfEmpty : {true, false}) {
    auto report = SmallReport();
    TQRMemoryDataSet data = Records({{QStringLiteral("C1"), QString()}});
    data.SetActive(false);
    report->DataSet = &data;
    report->PrintIfEmpty = printIfEmpty;
    EXPECT_EQ(report->Prepare(96)->StoredPages(), printIfEmpty ? 1 : 0);
  }
}

TEST(GenerationTest, FormattedTextIsCutAtItsBoxUnlessItMayStretch) {
  for (const bool stretch : {false, true}) {
    auto report = SmallReport(500, 300);
    static_cast<TQRDBRichText*>(report->FindControl(QStringLiteral("Text")))->AutoStretch = stretch;
    TQRMemoryDataSet data = Records({{QStringLiteral("C1"), LongText(300)}});
    report->DataSet = &data;
    const std::unique_ptr<TQRPrinter> sink = report->Prepare(96);
    const QString all = PageTexts(*sink).join(QLatin1Char('|'));
    EXPECT_TRUE(all.contains(QStringLiteral("line1|")));
    if (stretch) {
      EXPECT_GT(sink->StoredPages(), 1);
      EXPECT_TRUE(all.contains(QStringLiteral("line300")));
      EXPECT_EQ(all.count(QStringLiteral("line150|")), 1);  // every line once
    } else {
      EXPECT_EQ(sink->StoredPages(), 1);
      EXPECT_FALSE(all.contains(QStringLiteral("line40|")));
    }
  }
}

TEST(GenerationTest, UnreadableFieldsPrintEmptyAndMissingFieldsNothing) {
  auto report = SmallReport();
  TQRMemoryDataSet data = Records({{QStringLiteral("C1"), QStringLiteral("words")}});
  data.SetUnreadable(QStringLiteral("CODE"));
  static_cast<TQRDBText*>(report->FindControl(QStringLiteral("Code")))->DataField = QStringLiteral("TEXT");
  static_cast<TQRDBRichText*>(report->FindControl(QStringLiteral("Text")))->DataField = QStringLiteral("NOPE");
  report->DataSet = &data;
  EXPECT_EQ(RunsOf(report->Prepare(96)->GetPage(1)), QStringLiteral("Title|words|Page 1"));
  static_cast<TQRDBText*>(report->FindControl(QStringLiteral("Code")))->DataField = QStringLiteral("CODE");
  EXPECT_EQ(RunsOf(report->Prepare(96)->GetPage(1)), QStringLiteral("Title|Page 1"));
}

// A dataset that presses the preview's Cancel after `after` records and whose
// count fails.
class TCancellingDataSet final : public IQRDataSet {
 public:
  TCancellingDataSet(TQuickRep& report, int records, int after)
      : FReport(report), FRecords(records), FAfter(after) {}
  bool Active() const override { return true; }
  void First() override { FAt = 0; }
  void Next() override {
    if (++FAt == FAfter) FReport.SetPreviewCancel();
  }
  bool Eof() const override { return FAt >= FRecords; }
  int RecordCount() override { throw std::runtime_error("no count"); }
  bool HasField(const QString&) const override { return true; }
  QString FieldText(const QString&) override { return QStringLiteral("R%1").arg(FAt + 1); }

 private:
  TQuickRep& FReport;
  int FRecords, FAfter, FAt = 0;
};

TEST(GenerationTest, CancelEndsTheRunWithThePagesMadeSoFar) {
  auto report = SmallReport(2000);
  TCancellingDataSet data(*report, 10, 2);
  report->DataSet = &data;
  const std::unique_ptr<TQRPrinter> sink = report->Prepare(96);
  EXPECT_EQ(sink->Status(), TQRPrinterStatus::mpFinished);
  ASSERT_EQ(sink->StoredPages(), 2);
  EXPECT_TRUE(RunsOf(sink->GetPage(2)).endsWith(QStringLiteral("Page 2")));
}

TEST(SinkTest, CallsOutOfOrderAreErrors) {
  TQRPrinter sink(96);
  EXPECT_THROW(
      {
        try {
          sink.NewPage();
        } catch (const EQRError& e) {
          EXPECT_STREQ(e.what(), "Illegal call to NewPage");
          throw;
        }
      },
      EQRError);
  sink.BeginDoc();
  EXPECT_THROW(
      {
        try {
          sink.BeginDoc();
        } catch (const EQRError& e) {
          EXPECT_STREQ(e.what(), "QRPrinter not ready");
          throw;
        }
      },
      EQRError);
  sink.EndDoc();
  EXPECT_THROW(sink.NewPage(), EQRError);
  sink.Cleanup();
  EXPECT_EQ(sink.Status(), TQRPrinterStatus::mpReady);
}

TEST(ModelTest, ZoomIsAcceptedOnlyFrom1To300) {
  TQuickRep report(QStringLiteral("R"));
  const struct {
    int FZoom;
    int FResult;
  } cases[] = {{0, 100}, {301, 100}, {1, 1}, {300, 300}, {-5, 300}};
  for (const auto& c : cases) {
    report.SetZoom(c.FZoom);
    EXPECT_EQ(report.Zoom(), c.FResult) << c.FZoom;
  }
}

TEST(ModelTest, PaperSizesSetTheSheetInTheOrientation) {
  TQRPage page;
  EXPECT_EQ(page.Width(), 2100);
  EXPECT_EQ(page.Length(), 2970);
  page.SetOrientation(TQROrientation::poLandscape);
  page.SetPaperSize(TQRPaperSize::A4);
  EXPECT_EQ(page.Width(), 2970);
  EXPECT_EQ(page.Length(), 2100);
  page.SetWidth(1000);  // not Custom: refused
  EXPECT_EQ(page.Width(), 2970);
  page.SetPaperSize(TQRPaperSize::Custom);
  page.SetWidth(1000);
  page.SetLength(1500);
  page.SetOrientation(TQROrientation::poPortrait);
  EXPECT_EQ(page.Width(), 1500);
  EXPECT_EQ(page.Length(), 1000);
  page.SetColumns(0);
  EXPECT_EQ(page.Columns(), 1);
  EXPECT_EQ(QRPaperCode(TQRPaperSize::Custom), 256);
  EXPECT_EQ(QRPaperCode(TQRPaperSize::A3ExtraTrans), 68);
  bool landscape = false;
  EXPECT_EQ(QRPaperSizeOfSheet(297, 210, landscape), TQRPaperSize::A4);
  EXPECT_TRUE(landscape);
  EXPECT_EQ(QRPaperSizeOfSheet(215, 279, landscape), TQRPaperSize::Letter);
  EXPECT_FALSE(QRPaperSizeOfSheet(123, 45, landscape));
  EXPECT_TRUE(landscape);
}

TEST(ModelTest, UnitsConvertNativeValues) {
  TQRUnitContext context;
  const struct {
    TQRUnit FUnit;
    TQRReal FShown;
  } cases[] = {{TQRUnit::MM, 25.4L}, {TQRUnit::Inches, 1}, {TQRUnit::Pixels, 96}, {TQRUnit::Native, 254}};
  for (const auto& c : cases) {
    context.FUnit = c.FUnit;
    EXPECT_NEAR(static_cast<double>(QRFromNative(254, context, true)), static_cast<double>(c.FShown), 1e-9);
    EXPECT_NEAR(static_cast<double>(QRToNative(c.FShown, context, true)), 254.0, 1e-9);
  }
}

}  // namespace
}  // namespace vendrik::testing
