// The search window's "Nyomtatás" on the demo table: the preview shows the
// selected record alone (saved through the preview's injected dialogs as a
// PDF and read back), and afterwards the table has the filter it had before,
// whatever that was; an error before the preview reaches the standard error
// display and one after the filter was set still restores it.
#include <stdexcept>

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "access/dataset.h"
#include "app/main_window.h"
#include "app/record_report.h"
#include "app/search_window.h"
#include "app/table_print_adapter.h"
#include "fake_services.h"
#include "report/qr_preview.h"
#include "report/qr_preview_dialogs.h"

namespace vendrik::testing {
namespace {

constexpr int kDemoRecords = 498;
const QString kPrintedCode = QStringLiteral("58.05.1");

void Settle() {
  for (int round = 0; round < 5; ++round) QCoreApplication::processEvents();
}

QString PdfText(const QString& pdf) {
  QProcess process;
  process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
  if (!process.waitForFinished(60000) || process.exitCode() != 0) return QString();
  return QString::fromUtf8(process.readAllStandardOutput());
}

// The preview's dialogs: saving answers `FSaveAs` as a PDF file; nothing else
// is expected.
class TSavingPreviewDialogs final : public IQRPreviewDialogs {
 public:
  QString SaveFileName(QWidget*, const QString&, const QString&, const QStringList& filters,
                       int& selectedFilter) override {
    selectedFilter = static_cast<int>(filters.indexOf(QStringLiteral("PDF (*.pdf)")));
    return FSaveAs;
  }
  QString OpenFileName(QWidget*, const QString&, const QStringList&) override { return Unexpected(); }
  std::optional<QString> AskText(QWidget*, const QString&, const QString&, const QString&) override {
    return Unexpected();
  }
  std::optional<TQRSearchRequest> AskSearch(QWidget*) override {
    Unexpected();
    return std::nullopt;
  }
  void ShowMessage(QWidget*, const QString& text) override { FMessages << text; }

  QString FSaveAs;
  QStringList FMessages;

 private:
  QString Unexpected() {
    FMessages << QStringLiteral("unexpected dialog");
    return QString();
  }
};

// The demo table opened by the shown main window, with the search window up
// on the record to print.
struct TPrintFixture {
  TPrintFixture() {
    scratch.MakeDemo();
    app = std::make_unique<TAppFixture>();
    Form1().show();
    Settle();
    if (!Table().Active()) throw std::runtime_error("the demo table did not open");
    Form5().show();
    Settle();
    Table().FindNearest(kPrintedCode);
    Report().Report().PreviewDialogs = &previewDialogs;
  }
  ~TPrintFixture() { Form5().close(); }
  TForm1& Form1() { return app->FWindows->Form1(); }
  TForm5& Form5() { return app->FWindows->Form5(); }
  TQuickReport9& Report() { return app->FWindows->QuickReport9(); }
  ITableComponent& Table() { return Form1().Table1(); }
  QString Field(const char* name) { return QString::fromStdString(Table().DataSet()->FieldByName(name).AsString()); }

  TScratchDirectory scratch;
  std::unique_ptr<TAppFixture> app;
  TSavingPreviewDialogs previewDialogs;
};

// While the record report's preview is up: runs `whileShown` once its pages
// are finished, then closes it.
class TPreviewWatcher {
 public:
  explicit TPreviewWatcher(std::function<void(TQRStandardPreview&)> whileShown) : FWhileShown(std::move(whileShown)) {
    QObject::connect(&FTimer, &QTimer::timeout, [this] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* preview = qobject_cast<TQRStandardPreview*>(widget);
        if (!preview || !preview->isVisible() || !preview->Button(QStringLiteral("nextPage"))->isEnabled())
          continue;
        ++FShown;
        FWhileShown(*preview);
        preview->close();
      }
    });
    FTimer.start(10);
  }
  int FShown = 0;

 private:
  std::function<void(TQRStandardPreview&)> FWhileShown;
  QTimer FTimer;
};

TEST(PrintCommandTest, PreviewShowsTheRecordAloneAndThePreviousFilterComesBack) {
  struct Case {
    const char* FFilter;
    bool FFiltered;
    int FCount;  // records shown before and after
  };
  // The demo codes from "58" on number 299; a filter that is off hides nothing.
  const Case cases[] = {{"", false, kDemoRecords}, {"KOD >= '58'", true, 299}, {"KOD >= '58'", false, kDemoRecords}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.FFilter);
    TPrintFixture demo;
    demo.Table().SetFilter(QString::fromLatin1(c.FFilter));
    demo.Table().SetFiltered(c.FFiltered);
    ASSERT_EQ(demo.Table().RecordCount(), c.FCount);
    demo.Table().FindNearest(kPrintedCode);
    ASSERT_EQ(demo.Field("KOD"), kPrintedCode);
    const QString name = demo.Field("MEGNEV");

    QTemporaryDir out;
    demo.previewDialogs.FSaveAs = out.filePath(QStringLiteral("record.pdf"));
    QString shownFilter, status;
    int shownCount = -1;
    TPreviewWatcher watcher([&](TQRStandardPreview& preview) {
      shownFilter = demo.Table().Filter();
      shownCount = demo.Table().RecordCount();
      status = preview.PanelText(1);
      preview.SaveReport();
    });
    demo.Form5().SpeedButton2()->click();

    EXPECT_EQ(watcher.FShown, 1);
    EXPECT_EQ(shownFilter, RecordFilter(kPrintedCode));
    EXPECT_EQ(shownCount, 1);
    EXPECT_EQ(status, QStringLiteral("Page 1 of 1"));
    const QString text = PdfText(demo.previewDialogs.FSaveAs);
    EXPECT_TRUE(text.contains(kPrintedCode)) << text.toStdString();
    EXPECT_TRUE(text.contains(name.trimmed())) << text.toStdString();
    EXPECT_TRUE(demo.previewDialogs.FMessages.isEmpty());
    EXPECT_TRUE(demo.app->FDialogs.FBoxes.empty());

    EXPECT_EQ(demo.Table().Filter(), QString::fromLatin1(c.FFilter));
    EXPECT_EQ(demo.Table().Filtered(), c.FFiltered);
    EXPECT_EQ(demo.Table().RecordCount(), c.FCount);
  }
}

// A record that cannot be posted stops the command before the filter
// changes: the error is shown in the standard error display and no preview
// comes up.
TEST(PrintCommandTest, ErrorBeforeThePreviewIsShownAndTheFilterStays) {
  TPrintFixture demo;
  demo.Table().SetFilter(QStringLiteral("KOD >= '58'"));
  demo.Table().SetFiltered(true);
  demo.Table().FindNearest(kPrintedCode);
  kestrel::access::TDataSet& data = *demo.Table().DataSet();
  data.Edit();
  data.FieldByName("KOD").SetAsString("58.05.2");  // the next record's code: the key is taken
  TPreviewWatcher watcher([](TQRStandardPreview&) {});
  demo.Form5().SpeedButton2()->click();
  EXPECT_EQ(watcher.FShown, 0);
  ASSERT_EQ(demo.app->FDialogs.FBoxes.size(), 1u);
  EXPECT_EQ(demo.app->FDialogs.FBoxes[0].FKind, TBoxKind::bkError);
  data.Cancel();
  EXPECT_EQ(demo.Table().Filter(), QStringLiteral("KOD >= '58'"));
  EXPECT_TRUE(demo.Table().Filtered());
  EXPECT_EQ(demo.Table().RecordCount(), 299);
}

// The table, with the report's records failing once the filter is set.
class TFailingRecords final : public IRecordPrintTable {
 public:
  explicit TFailingRecords(IRecordPrintTable& table) : FTable(table) {}
  QString CurrentCode() override { return FTable.CurrentCode(); }
  QString Filter() const override { return FTable.Filter(); }
  bool Filtered() const override { return FTable.Filtered(); }
  void SetFilter(const QString& filter) override { FTable.SetFilter(filter); }
  void SetFiltered(bool filtered) override { FTable.SetFiltered(filtered); }
  IQRDataSet& Records() override {
    FCountWhenFailing = FTable.Records().RecordCount();
    throw std::runtime_error("records unavailable");
  }
  int FCountWhenFailing = -1;

 private:
  IRecordPrintTable& FTable;
};

TEST(PrintCommandTest, ErrorAfterTheFilterWasSetRestoresTheTable) {
  TPrintFixture demo;
  demo.Table().SetFilter(QStringLiteral("KOD >= '58'"));
  demo.Table().FindNearest(kPrintedCode);
  TTablePrintAdapter adapter(demo.Table());
  TFailingRecords failing(adapter);
  EXPECT_THROW(PrintCurrentRecord(failing, demo.Report()), std::runtime_error);
  EXPECT_EQ(failing.FCountWhenFailing, 1);
  EXPECT_EQ(demo.Table().Filter(), QStringLiteral("KOD >= '58'"));
  EXPECT_FALSE(demo.Table().Filtered());
  EXPECT_EQ(demo.Table().RecordCount(), kDemoRecords);
}

// The adapter reads the table component's current record; a component that
// has no dataset is a closed dataset with no code.
TEST(PrintCommandTest, AdapterReadsTheCurrentRecord) {
  TPrintFixture demo;
  TTablePrintAdapter adapter(demo.Table());
  EXPECT_EQ(adapter.CurrentCode(), kPrintedCode);
  EXPECT_TRUE(adapter.Active());
  EXPECT_TRUE(adapter.HasField(QStringLiteral("leiras")));
  EXPECT_FALSE(adapter.HasField(QStringLiteral("NINCS")));
  EXPECT_EQ(adapter.FieldText(QStringLiteral("MEGNEV")), demo.Field("MEGNEV"));
  EXPECT_FALSE(adapter.FieldText(QStringLiteral("LEIRAS")).isEmpty());
  EXPECT_THROW(adapter.FieldText(QStringLiteral("NINCS")), std::exception);

  TFakeTable fake;
  TTablePrintAdapter none(fake);
  EXPECT_EQ(none.CurrentCode(), QString());
  EXPECT_FALSE(none.Active());
  EXPECT_FALSE(none.HasField(QStringLiteral("KOD")));
}

}  // namespace
}  // namespace vendrik::testing
