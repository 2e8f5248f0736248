// The preview window driven offscreen: captions, status texts and button
// states; zoom rules; paging by buttons and keys; go to page; search; copy;
// save and load with their failures; closing; and Preview from a report.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "report/qr_export.h"
#include "report/qr_preview.h"
#include "report/qr_preview_dialogs.h"
#include "report/qr_preview_view.h"
#include "report_fixture.h"

namespace vendrik::testing {
namespace {

class TFakePreviewDialogs final : public IQRPreviewDialogs {
 public:
  QString SaveFileName(QWidget*, const QString& caption, const QString& defaultName,
                       const QStringList& filters, int& selectedFilter) override {
    FCaption = caption;
    FDefaultName = defaultName;
    FFilters = filters;
    selectedFilter = FFilterToChoose;
    return FFileName;
  }
  QString OpenFileName(QWidget*, const QString& caption, const QStringList& filters) override {
    FCaption = caption;
    FFilters = filters;
    return FFileName;
  }
  std::optional<QString> AskText(QWidget*, const QString& title, const QString& prompt,
                                 const QString& defaultText) override {
    FCaption = title;
    FPrompt = prompt;
    FDefaultName = defaultText;
    return FAnswer;
  }
  std::optional<TQRSearchRequest> AskSearch(QWidget*) override { return FSearch; }
  void ShowMessage(QWidget*, const QString& text) override { FMessages << text; }

  QString FFileName;
  int FFilterToChoose = 0;
  std::optional<QString> FAnswer;
  std::optional<TQRSearchRequest> FSearch;
  QString FCaption, FPrompt, FDefaultName;
  QStringList FFilters, FMessages;
};

class PreviewTest : public ::testing::Test {
 protected:
  void Open(int records) {
    if (FWindow) delete FWindow.data();
    FReport = SmallReport(2000);
    FReport->PreviewDialogs = &FDialogs;
    FReport->RegisterExportFilter(std::make_unique<TQRPdfExportFilter>());
    FData = std::make_unique<TQRMemoryDataSet>(Records({}));
    for (int i = 1; i <= records; ++i) FData->AddRow({QStringLiteral("C%1").arg(i), QString()});
    FReport->DataSet = FData.get();
    FSink = FReport->Prepare(QRScreenDotsPerInch());
    FWindow = new TQRStandardPreview(FReport.get(), FSink.get());
    FWindow->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    if (FWindow) delete FWindow.data();
  }
  QString Panel(int i) const { return FWindow->PanelText(i); }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&FWindow->View(), &press);
  }
  QString Path(const QString& name) const { return FDir.filePath(name); }

  QTemporaryDir FDir;
  TFakePreviewDialogs FDialogs;
  std::unique_ptr<TQuickRep> FReport;
  std::unique_ptr<TQRMemoryDataSet> FData;
  std::unique_ptr<TQRPrinter> FSink;
  QPointer<TQRStandardPreview> FWindow;
};

TEST_F(PreviewTest, CaptionStatusLineAndButtonsOfFinishedPages) {
  Open(3);
  EXPECT_EQ(FWindow->windowTitle(), QStringLiteral("Report Preview : Small report"));
  EXPECT_EQ(Panel(1), QStringLiteral("Page 1 of 3"));
  EXPECT_EQ(Panel(2), QStringLiteral("%1%").arg(FWindow->View().Zoom()));
  EXPECT_EQ(Panel(3), QStringLiteral("Small report"));
  EXPECT_EQ(FWindow->View().ZoomState(), TQRZoomState::qrZoomToFit);
  const struct {
    const char* FName;
    const char* FHint;
    bool FEnabled;
  } buttons[] = {{"ZoomFit", "Zoom to fit", true},           {"ZoomToWidth", "Zoom to width", true},
                 {"Zoom100", "100% Size", true},             {"SpeedButton1", "Set Display Zoom", true},
                 {"FirstPage", "First page", true},          {"PreviousPage", "Previous page", true},
                 {"nextPage", "Next page", true},            {"LastPage", "Last page", true},
                 {"GotoPageButton", "Select a Page", true},  {"FindButton", "Search for Text", true},
                 {"copybutton", "Copy page to clipboard", true}, {"PrintSetup", "Printer setup", false},
                 {"Print", "Print", false},                  {"LoadReport", "Load report", true},
                 {"SaveReport", "Save report", true},        {"CancelButton", "Cancel the report", false},
                 {"ExitButton", "Close Preview", true}};
  for (const auto& b : buttons) {
    QToolButton* button = FWindow->Button(QString::fromLatin1(b.FName));
    ASSERT_TRUE(button) << b.FName;
    EXPECT_EQ(button->toolTip(), QString::fromLatin1(b.FHint)) << b.FName;
    EXPECT_EQ(button->isEnabled(), b.FEnabled) << b.FName;
  }
  EXPECT_TRUE(FWindow->Button(QStringLiteral("ZoomFit"))->isChecked());
  EXPECT_EQ(FWindow->Button(QStringLiteral("ExitButton"))->text(), QStringLiteral("&Close"));
  for (QWidget* widget : FWindow->findChildren<QWidget*>()) {
    const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QListWidget*>(widget) ||
                         widget->objectName().startsWith(QStringLiteral("Panel"));
    if (control) {
      EXPECT_FALSE(widget->accessibleName().isEmpty()) << widget->objectName().toStdString();
    }
  }
  EXPECT_EQ(FWindow->findChild<QListWidget*>(QStringLiteral("ThumbGrid"))->count(), 3);
}

TEST_F(PreviewTest, ZoomStaysWithin2And2000AndFitFollowsTheWindow) {
  Open(1);
  TQRPreview& view = FWindow->View();
  const int fit = view.Zoom();
  EXPECT_FALSE(view.SetZoom(1));
  EXPECT_FALSE(view.SetZoom(2001));
  EXPECT_EQ(view.Zoom(), fit);
  EXPECT_TRUE(view.SetZoom(2));
  EXPECT_TRUE(view.SetZoom(2000));
  FWindow->ZoomMenuChosen(150);
  EXPECT_EQ(Panel(2), QStringLiteral("150%"));
  EXPECT_EQ(view.ZoomState(), TQRZoomState::qrZoomOther);
  const QSize page = view.PagePixels();
  EXPECT_EQ(view.Image()->size(), QSize(page.width() * 150 / 100 + 4, page.height() * 150 / 100 + 4));
  FWindow->Button(QStringLiteral("ZoomFit"))->click();
  for (const QSize size : {QSize(900, 700), QSize(400, 800)}) {
    FWindow->resize(size);
    QApplication::processEvents();
    EXPECT_LE(view.Image()->width(), view.viewport()->width() + 4);
    EXPECT_LE(view.Image()->height(), view.viewport()->height() + 4);
    EXPECT_EQ(Panel(2), QStringLiteral("%1%").arg(view.Zoom()));
  }
}

TEST_F(PreviewTest, PagingByButtonsAndKeysStaysInRange) {
  Open(3);
  const struct {
    std::function<void()> FAct;
    int FPage;
  } steps[] = {
      {[this] { FWindow->NextPage(); }, 2},     {[this] { FWindow->LastPage(); }, 3},
      {[this] { FWindow->NextPage(); }, 3},     {[this] { FWindow->PreviousPage(); }, 2},
      {[this] { FWindow->FirstPage(); }, 1},    {[this] { FWindow->PreviousPage(); }, 1},
      {[this] { Key(Qt::Key_PageDown); }, 2},   {[this] { Key(Qt::Key_PageDown, Qt::ControlModifier); }, 3},
      {[this] { Key(Qt::Key_PageUp); }, 2},     {[this] { Key(Qt::Key_Home); }, 1},
      {[this] { Key(Qt::Key_End); }, 3},        {[this] { Key(Qt::Key_PageUp, Qt::ControlModifier); }, 1},
  };
  int step = 0;
  for (const auto& s : steps) {
    s.FAct();
    EXPECT_EQ(FWindow->View().PageNumber(), s.FPage) << "step " << step;
    EXPECT_EQ(Panel(1), QStringLiteral("Page %1 of 3").arg(s.FPage)) << "step " << step;
    ++step;
  }
}

TEST_F(PreviewTest, GoToPageTakesValidNumbersAndShowsPage1Otherwise) {
  Open(3);
  const struct {
    std::optional<QString> FAnswer;
    int FPage;
  } cases[] = {{QStringLiteral("3"), 3}, {std::nullopt, 3}, {QStringLiteral("abc"), 1},
               {QStringLiteral("2"), 2}, {QStringLiteral("9"), 1}, {QStringLiteral("0"), 1}};
  for (const auto& c : cases) {
    FDialogs.FAnswer = c.FAnswer;
    FWindow->GotoPage();
    EXPECT_EQ(FWindow->View().PageNumber(), c.FPage) << c.FAnswer.value_or(QStringLiteral("cancel")).toStdString();
  }
  EXPECT_EQ(FDialogs.FCaption, QStringLiteral("Select a page from 1 to 3"));
  EXPECT_EQ(FDialogs.FPrompt, QStringLiteral("Enter page number"));
}

TEST_F(PreviewTest, SearchListsThePagesWhoseTextRunsHoldTheText) {
  Open(3);
  auto* results = FWindow->findChild<QListWidget*>(QStringLiteral("SearchResultBox"));
  const struct {
    const char* FText;
    bool FMatchCase;
    QStringList FEntries;
  } cases[] = {{"c2", false, {QStringLiteral("Page 2")}},
               {"c2", true, {QStringLiteral("No matching text")}},
               {"Page", true, {QStringLiteral("Page 1"), QStringLiteral("Page 2"), QStringLiteral("Page 3")}},
               {"C2Page", false, {QStringLiteral("No matching text")}}};  // spans two runs
  for (const auto& c : cases) {
    FDialogs.FSearch = TQRSearchRequest{QString::fromLatin1(c.FText), c.FMatchCase};
    FWindow->Search();
    QStringList entries;
    for (int i = 0; i < results->count(); ++i) entries << results->item(i)->text();
    EXPECT_EQ(entries, c.FEntries) << c.FText;
    EXPECT_EQ(results->isEnabled(), c.FEntries.first() != QStringLiteral("No matching text")) << c.FText;
  }
  FDialogs.FSearch = TQRSearchRequest{QStringLiteral("C3"), false};
  FWindow->Search();
  emit results->itemClicked(results->item(0));
  EXPECT_EQ(FWindow->View().PageNumber(), 3);
}

TEST_F(PreviewTest, CopyPutsThePageOnTheClipboard) {
  Open(1);
  FWindow->CopyPage();
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_TRUE(data);
  EXPECT_TRUE(data->hasImage());
  EXPECT_EQ(data->data(QStringLiteral("image/x-emf")), FSink->GetPage(1).Bytes());
}

TEST_F(PreviewTest, SaveWritesPageFilesAndExportsAndReportsWhatItCannotDo) {
  Open(2);
  const struct {
    const char* FChosen;
    int FFilter;
    const char* FWritten;  // empty: nothing written, a message shown
  } cases[] = {{"a.qrp", 0, "a.qrp"}, {"b", 1, "b.QRP"}, {"c", 2, "c.PDF"},
               {"d.pdf", 0, "d.pdf"}, {"e.txt", 0, ""}};
  for (const auto& c : cases) {
    FDialogs.FMessages.clear();
    FDialogs.FFileName = Path(QString::fromLatin1(c.FChosen));
    FDialogs.FFilterToChoose = c.FFilter;
    FWindow->SaveReport();
    if (*c.FWritten) {
      EXPECT_TRUE(QFile::exists(Path(QString::fromLatin1(c.FWritten)))) << c.FChosen;
      EXPECT_TRUE(FDialogs.FMessages.isEmpty()) << c.FChosen;
    } else {
      EXPECT_FALSE(QFile::exists(Path(QString::fromLatin1(c.FChosen)))) << c.FChosen;
      EXPECT_EQ(FDialogs.FMessages.size(), 1) << c.FChosen;
    }
  }
  EXPECT_EQ(FDialogs.FCaption, QStringLiteral("Save report"));
  EXPECT_EQ(FDialogs.FDefaultName, QStringLiteral("*.QRP"));
  EXPECT_EQ(FDialogs.FFilters, (QStringList{QStringLiteral(".QRP (*.QRP)"), QStringLiteral("QuickReport file(*.QRP)"),
                                            QStringLiteral("PDF document (*.PDF)")}));
  QFile pdf(Path(QStringLiteral("d.pdf")));
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  EXPECT_TRUE(pdf.read(5) == "%PDF-");
}

TEST_F(PreviewTest, LoadReplacesThePagesOnlyFromAGoodFile) {
  Open(1);
  FDialogs.FFileName = Path(QStringLiteral("one.qrp"));
  FWindow->SaveReport();
  Open(3);
  FDialogs.FFileName = Path(QStringLiteral("missing.qrp"));
  FWindow->LoadReport();
  EXPECT_EQ(FDialogs.FMessages.value(0), QStringLiteral("File does not exist"));
  EXPECT_EQ(FDialogs.FCaption, QStringLiteral("Load report"));
  EXPECT_EQ(FDialogs.FFilters, QStringList{QStringLiteral("QuickReport file (*.QRP)")});
  QFile damaged(Path(QStringLiteral("damaged.qrp")));
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write(QByteArray(500, 'x'));
  damaged.close();
  FDialogs.FFileName = damaged.fileName();
  FWindow->LoadReport();
  EXPECT_EQ(FDialogs.FMessages.size(), 2);
  EXPECT_EQ(Panel(1), QStringLiteral("Page 1 of 3"));
  FDialogs.FFileName = Path(QStringLiteral("one.qrp"));
  FWindow->LoadReport();
  EXPECT_EQ(FDialogs.FMessages.size(), 2);
  EXPECT_EQ(Panel(1), QStringLiteral("Page 1 of 1"));
  EXPECT_EQ(Panel(3), Path(QStringLiteral("one.qrp")));
  EXPECT_TRUE(FSink->LoadedFromFile());
}

TEST_F(PreviewTest, EscapeClosesTheWindowOnce) {
  Open(1);
  int destroyed = 0;
  QObject::connect(FWindow.data(), &QObject::destroyed, [&destroyed] { ++destroyed; });
  Key(Qt::Key_Escape);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
  EXPECT_EQ(destroyed, 1);
  EXPECT_TRUE(FWindow.isNull());
}

TEST(PreviewClosingTest, TheWindowStaysWhileItsPagesAreGenerated) {
  TQRPrinter sink(96);
  sink.BeginDoc();
  sink.NewPage();
  QPointer<TQRStandardPreview> window = new TQRStandardPreview(nullptr, &sink);
  window->show();
  QApplication::processEvents();
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->Button(QStringLiteral("nextPage"))->isEnabled());
  sink.EndDoc();
  QApplication::processEvents();
  EXPECT_TRUE(window->Button(QStringLiteral("nextPage"))->isEnabled());
  EXPECT_EQ(window->PanelText(1), QStringLiteral("Page 1 of 1"));
  EXPECT_TRUE(window->close());
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());
}

// A dataset whose walk fails, as a table that cannot be read.
class TFailingDataSet final : public IQRDataSet {
 public:
  bool Active() const override { return true; }
  void First() override { throw std::runtime_error("Fetching records"); }
  void Next() override {}
  bool Eof() const override { return false; }
  int RecordCount() override { return 1; }
  bool HasField(const QString&) const override { return false; }
  QString FieldText(const QString&) override { return QString(); }
};

TQRStandardPreview* ShownPreview() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* preview = qobject_cast<TQRStandardPreview*>(widget); preview && preview->isVisible()) return preview;
  return nullptr;
}

TEST(ReportPreviewTest, PreviewReturnsWhenTheWindowClosesAndPassesErrorsOn) {
  auto report = SmallReport();
  TQRMemoryDataSet data = Records({{QStringLiteral("C1"), QStringLiteral("text")}});
  report->DataSet = &data;
  QString status;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&status] {
    TQRStandardPreview* preview = ShownPreview();
    if (!preview || !preview->Button(QStringLiteral("nextPage"))->isEnabled()) return;
    status = preview->PanelText(1);
    preview->close();
  });
  closer.start(10);
  report->Preview();
  EXPECT_EQ(status, QStringLiteral("Page 1 of 1"));
  EXPECT_FALSE(report->ShowingPreview());

  TFailingDataSet failing;
  report->DataSet = &failing;
  EXPECT_THROW(report->Preview(), std::runtime_error);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(ShownPreview());
  EXPECT_TRUE(report->Available());
}

}  // namespace
}  // namespace vendrik::testing
