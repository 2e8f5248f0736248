// The preview window: its controls, the page and progress notices from the
// sink, paging, zoom, thumbnails, search, copy, save and load, and the keys.
#include "report/qr_preview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "report/qr_export.h"
#include "report/qr_preview_dialogs.h"
#include "report/qr_preview_view.h"
#include "report/qr_print.h"
#include "report/qr_print_service.h"
#include "report/qr_printer.h"
#include "report/qr_report.h"

namespace vendrik {
namespace {

const QString kCaption = QStringLiteral("Report Preview : ");
constexpr int kToolBarHeight = 30;
constexpr int kButtonWidth = 33;
constexpr int kSidePanelWidth = 193;
constexpr int kDefaultWindowSize = 500;
constexpr int kProgressStep = 5;
constexpr int kThumbInset = 10;
constexpr int kThumbRightInset = 30;
const QString kPageFileExtension = QStringLiteral("QRP");

// A 16 × 16 glyph with a short mark, for the toolbar.
QIcon Glyph(const QString& mark) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(mark.size() > 2 ? 7 : 10);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor(0, 0, 128));
  painter.drawText(pixmap.rect(), Qt::AlignCenter, mark);
  return QIcon(pixmap);
}

struct TButtonLook {
  const char* FName;
  const char* FHint;
  const char* FGlyph;
  bool FSeparatorBefore;
};

constexpr TButtonLook kButtons[] = {
    {"ZoomFit", "Zoom to fit", "[ ]", false},
    {"ZoomToWidth", "Zoom to width", "<->", false},
    {"Zoom100", "100% Size", "1:1", false},
    {"SpeedButton1", "Set Display Zoom", "%", false},
    {"FirstPage", "First page", "|<", true},
    {"PreviousPage", "Previous page", "<", false},
    {"nextPage", "Next page", ">", false},
    {"LastPage", "Last page", ">|", false},
    {"GotoPageButton", "Select a Page", "#", true},
    {"FindButton", "Search for Text", "?", false},
    {"copybutton", "Copy page to clipboard", "C", true},
    {"PrintSetup", "Printer setup", "PS", false},
    {"Print", "Print", "P", false},
    {"LoadReport", "Load report", "L", false},
    {"SaveReport", "Save report", "S", false},
    {"CancelButton", "Cancel the report", "X", true},
};

// Buttons that wait for the finished pages.
const char* const kFinishedButtons[] = {"PrintSetup", "Print", "SaveReport", "LoadReport",
                                        "FindButton", "GotoPageButton", "FirstPage", "PreviousPage",
                                        "nextPage", "LastPage", "copybutton", "SpeedButton1"};

}  // namespace

TQRStandardPreview::TQRStandardPreview(TQuickRep* report, TQRPrinter* sink, QWidget* parent)
    : QWidget(parent, Qt::Window), FReport(report), FSink(sink), FView(new TQRPreview) {
  setObjectName(QStringLiteral("QRStandardPreview"));
  setAttribute(Qt::WA_DeleteOnClose);
  FView->SetPrinter(sink);
  CreateToolBar();
  CreateSidePanel();
  CreateStatusBar();
  auto* splitter = new QSplitter(Qt::Horizontal);
  splitter->setObjectName(QStringLiteral("Splitter1"));
  splitter->setHandleWidth(4);
  splitter->addWidget(FTabs);
  splitter->addWidget(FView);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({kSidePanelWidth, kDefaultWindowSize});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(FToolBar);
  layout->addWidget(splitter, 1);
  layout->addSpacing(3);
  layout->addWidget(FStatusBar);
  ApplyReportSettings();
  connect(sink, &TQRPrinter::PageAvailable, this, &TQRStandardPreview::OnPageAvailable);
  connect(sink, &TQRPrinter::ProgressUpdate, this, &TQRStandardPreview::OnProgressUpdate);
  connect(FView, &TQRPreview::ZoomChanged, this, [this] { UpdateInfo(); });
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
  if (sink->Status() == TQRPrinterStatus::mpFinished) OnPageAvailable(sink->StoredPages());
  UpdateInfo();
}

TQRStandardPreview::~TQRStandardPreview() = default;

void TQRStandardPreview::CreateToolBar() {
  FToolBar = new QToolBar;
  FToolBar->setObjectName(QStringLiteral("ToolBar1"));
  FToolBar->setAccessibleName(QStringLiteral("Toolbar"));
  FToolBar->setFixedHeight(kToolBarHeight);
  FToolBar->setIconSize(QSize(16, 16));
  FToolBar->setContentsMargins(2, 2, 2, 2);
  const std::function<void()> actions[] = {
      [this] { FView->ZoomToFit(); },  [this] { FView->ZoomToWidth(); },
      [this] { FView->Zoom100(); },
      [this] {
        QToolButton* button = Button(QStringLiteral("SpeedButton1"));
        FZoomMenu->popup(button->mapToGlobal(QPoint(button->width() / 2, button->height())));
      },
      [this] { FirstPage(); },        [this] { PreviousPage(); },
      [this] { NextPage(); },         [this] { LastPage(); },
      [this] { GotoPage(); },         [this] { Search(); },
      [this] { CopyPage(); },
      [this] { if (FReport && FReport->OnPrinterSetup) FReport->OnPrinterSetup(*this); },
      [this] { if (FReport && FReport->OnPrint) FReport->OnPrint(*this); },
      [this] { LoadReport(); },       [this] { SaveReport(); },
      [this] { CancelReport(); }};
  for (size_t i = 0; i < std::size(kButtons); ++i) {
    const TButtonLook& look = kButtons[i];
    if (look.FSeparatorBefore) FToolBar->addSeparator();
    auto* button = new QToolButton;
    button->setObjectName(QString::fromLatin1(look.FName));
    button->setToolTip(QString::fromLatin1(look.FHint));
    button->setAccessibleName(QString::fromLatin1(look.FHint));
    button->setIcon(Glyph(QString::fromLatin1(look.FGlyph)));
    button->setFixedWidth(kButtonWidth);
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, actions[i]);
    FToolBar->addWidget(button);
  }
  for (const char* name : {"ZoomFit", "ZoomToWidth", "Zoom100"})
    Button(QString::fromLatin1(name))->setCheckable(true);
  connect(FView, &TQRPreview::ZoomChanged, this, [this] {
    const TQRZoomState state = FView->ZoomState();
    Button(QStringLiteral("ZoomFit"))->setChecked(state == TQRZoomState::qrZoomToFit);
    Button(QStringLiteral("ZoomToWidth"))->setChecked(state == TQRZoomState::qrZoomToWidth);
    Button(QStringLiteral("Zoom100"))->setChecked(state == TQRZoomState::qrZoom100);
  });
  FToolBar->addSeparator();
  auto* exitButton = new QToolButton;
  exitButton->setObjectName(QStringLiteral("ExitButton"));
  exitButton->setText(QStringLiteral("&Close"));
  exitButton->setToolTip(QStringLiteral("Close Preview"));
  exitButton->setAccessibleName(QStringLiteral("Close"));
  connect(exitButton, &QToolButton::clicked, this, &QWidget::close);
  FToolBar->addWidget(exitButton);
  if (auto* more = FToolBar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
    more->setAccessibleName(QStringLiteral("More buttons"));
  for (const char* name : kFinishedButtons) Button(QString::fromLatin1(name))->setEnabled(false);
  Button(QStringLiteral("CancelButton"))->setEnabled(false);

  FZoomMenu = new QMenu(this);
  FZoomMenu->setObjectName(QStringLiteral("Zoommenu"));
  FZoomMenu->setAccessibleName(QStringLiteral("Zoom"));
  for (int percent = 50; percent <= 200; percent += 10)
    FZoomMenu->addAction(QStringLiteral("%1%").arg(percent), this,
                         [this, percent] { ZoomMenuChosen(percent); });

  const std::pair<QKeySequence, QString> shortcuts[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_P), QStringLiteral("Print")},
      {QKeySequence(Qt::CTRL | Qt::Key_F), QStringLiteral("FindButton")}};
  for (const auto& shortcut : shortcuts) {
    auto* action = new QAction(this);
    action->setShortcut(shortcut.first);
    action->setShortcutContext(Qt::WindowShortcut);
    const QString name = shortcut.second;
    connect(action, &QAction::triggered, this, [this, name] {
      if (QToolButton* button = Button(name); button && button->isEnabled()) button->click();
    });
    addAction(action);
  }
}

void TQRStandardPreview::CreateSidePanel() {
  FTabs = new QTabWidget;
  FTabs->setObjectName(QStringLiteral("Tabs"));
  FTabs->setAccessibleName(QStringLiteral("Pages and search results"));
  FTabThumbs = new QWidget;
  FTabThumbs->setObjectName(QStringLiteral("TabThumbs"));
  FThumbGrid = new QListWidget;
  FThumbGrid->setObjectName(QStringLiteral("ThumbGrid"));
  FThumbGrid->setAccessibleName(QStringLiteral("ThumbNails"));
  FThumbGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(FThumbGrid, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!FSelectingThumb && row >= 0) SelectPage(row + 1);
  });
  auto* thumbsLayout = new QVBoxLayout(FTabThumbs);
  thumbsLayout->setContentsMargins(0, 0, 0, 0);
  thumbsLayout->addWidget(FThumbGrid);
  FTabs->addTab(FTabThumbs, QStringLiteral("ThumbNails"));

  FTabSearchResult = new QWidget;
  FTabSearchResult->setObjectName(QStringLiteral("TabSearchResult"));
  FSearchGroup = new QGroupBox(QStringLiteral("Search Text"));
  FSearchGroup->setObjectName(QStringLiteral("GroupBox1"));
  FSearchGroup->setAccessibleName(QStringLiteral("Search Text"));
  FSearchTextLabel = new QLabel;
  FSearchTextLabel->setObjectName(QStringLiteral("SearchTextLabel"));
  FSearchTextLabel->setAccessibleName(QStringLiteral("Search Text"));
  auto* groupLayout = new QVBoxLayout(FSearchGroup);
  groupLayout->addWidget(FSearchTextLabel);
  FSearchResultBox = new QListWidget;
  FSearchResultBox->setObjectName(QStringLiteral("SearchResultBox"));
  FSearchResultBox->setAccessibleName(QStringLiteral("Search Results"));
  connect(FSearchResultBox, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { ShowSearchResult(FSearchResultBox->row(item)); });
  auto* searchLayout = new QVBoxLayout(FTabSearchResult);
  searchLayout->setContentsMargins(0, 0, 0, 0);
  searchLayout->addWidget(FSearchGroup);
  searchLayout->addWidget(FSearchResultBox, 1);
  FTabs->addTab(FTabSearchResult, QStringLiteral("Search Results"));
}

void TQRStandardPreview::CreateStatusBar() {
  FStatusBar = new QStatusBar;
  FStatusBar->setObjectName(QStringLiteral("StatusBar"));
  FStatusBar->setAccessibleName(QStringLiteral("Status"));
  FStatusBar->setSizeGripEnabled(false);
  const int widths[] = {60, 120, 120, 50};
  const char* names[] = {"Progress", "Page", "Zoom", "Title"};
  for (int i = 0; i < 4; ++i) {
    FPanels[i] = new QLabel;
    FPanels[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
    FPanels[i]->setAccessibleName(QString::fromLatin1(names[i]));
    FPanels[i]->setMinimumWidth(widths[i]);
    FPanels[i]->setFrameShape(QFrame::Panel);
    FPanels[i]->setFrameShadow(QFrame::Sunken);
    FStatusBar->addWidget(FPanels[i], i == 3 ? 1 : 0);
  }
  FPanels[0]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void TQRStandardPreview::ApplyReportSettings() {
  TQRZoomState initial = TQRZoomState::qrZoom100;
  int zoom = 100;
  if (FReport) {
    FShowThumbs = FReport->PrevShowThumbs;
    FShowSearch = FReport->PrevShowSearch;
    initial = FReport->PrevInitialZoom;
    zoom = FReport->Zoom();
    FTitle = FReport->ReportTitle;
    FSink->Title = FReport->ReportTitle;
    move(FReport->PreviewLeft, FReport->PreviewTop);
    resize(FReport->PreviewWidth > 0 ? FReport->PreviewWidth : kDefaultWindowSize,
           FReport->PreviewHeight > 0 ? FReport->PreviewHeight : kDefaultWindowSize);
  } else {
    FTitle = FSink->Title;
    setWindowState(Qt::WindowMaximized);
  }
  setWindowTitle(kCaption + FSink->Title);
  FTabs->setVisible(FShowThumbs || FShowSearch);
  FTabs->setTabVisible(0, FShowThumbs);
  FTabs->setTabVisible(1, FShowSearch);
  Button(QStringLiteral("FindButton"))->setVisible(FShowSearch);
  switch (initial) {
    case TQRZoomState::qrZoomToFit: FView->ZoomToFit(); break;
    case TQRZoomState::qrZoomToWidth: FView->ZoomToWidth(); break;
    default:
      if (!FView->SetZoom(zoom)) FView->Zoom100();
      Button(QStringLiteral("Zoom100"))->setChecked(true);
  }
}

QToolButton* TQRStandardPreview::Button(const QString& name) const {
  return FToolBar->findChild<QToolButton*>(name);
}

IQRPreviewDialogs& TQRStandardPreview::Dialogs() const {
  static TQRPreviewDialogs standard;
  return FReport && FReport->PreviewDialogs ? *FReport->PreviewDialogs : standard;
}

bool TQRStandardPreview::Generating() const { return FSink->Status() == TQRPrinterStatus::mpBusy; }

QString TQRStandardPreview::PanelText(int panel) const {
  return panel >= 0 && panel < 4 ? FPanels[panel]->text() : QString();
}

void TQRStandardPreview::UpdateInfo() {
  FPanels[1]->setText(QStringLiteral("Page %1 of %2").arg(FView->PageNumber()).arg(FSink->PageCount()));
  FPanels[2]->setText(QStringLiteral("%1%").arg(FView->Zoom()));
  FPanels[3]->setText(FTitle);
}

void TQRStandardPreview::OnPageAvailable(int availablePages) {
  Button(QStringLiteral("CancelButton"))->setEnabled(true);
  if (availablePages >= FView->PageNumber() && FView->Image()->Page().IsNull()) FView->RefreshPage();
  if (FSink->Status() == TQRPrinterStatus::mpFinished) {
    FinishedState();
  } else {
    RefreshThumbnails(FSink->PageCount() - 1);
  }
  UpdateInfo();
}

void TQRStandardPreview::FinishedState() {
  for (const char* name : kFinishedButtons) Button(QString::fromLatin1(name))->setEnabled(true);
  // Without a printer the print buttons say why they cannot be used.
  const bool printer = FReport && (FReport->OnPrint || FReport->OnPrinterSetup) &&
                       !FReport->Printing().Printers().isEmpty();
  const std::pair<const char*, bool> printButtons[] = {
      {"Print", FReport && FReport->OnPrint}, {"PrintSetup", FReport && FReport->OnPrinterSetup}};
  for (const auto& [name, hooked] : printButtons) {
    QToolButton* button = Button(QString::fromLatin1(name));
    button->setEnabled(hooked && printer);
    const QString hint = button->accessibleName();
    button->setToolTip(hooked && !printer ? hint + QStringLiteral(" (") + QRNoPrinterHint() + QLatin1Char(')')
                                          : hint);
  }
  Button(QStringLiteral("CancelButton"))->setEnabled(false);
  RefreshThumbnails(FSink->StoredPages());
}

void TQRStandardPreview::OnProgressUpdate(int percent) {
  if (percent == 0 || percent == 100) {
    FPanels[0]->clear();
    FLastProgress = 0;
  } else if (percent >= FLastProgress + kProgressStep) {
    FPanels[0]->setText(QStringLiteral("%1%").arg(percent));
    FLastProgress = percent;
  }
}

void TQRStandardPreview::RefreshThumbnails(int rows) {
  FSelectingThumb = true;
  const QSize page = FView->PagePixels();
  const int columnWidth = std::max(20, FThumbGrid->viewport()->width() - 4);
  const int drawWidth = std::max(10, columnWidth - 20);
  const int drawHeight = std::max(10, drawWidth * page.height() / std::max(1, page.width()) -
                                          FThumbGrid->fontMetrics().height());
  FThumbGrid->setIconSize(QSize(columnWidth, drawHeight + 2 * kThumbInset));
  while (FThumbGrid->count() > std::max(rows, 0)) delete FThumbGrid->takeItem(FThumbGrid->count() - 1);
  for (int row = 0; row < rows; ++row) {
    QPixmap pixmap(columnWidth, drawHeight + 2 * kThumbInset);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const int width = columnWidth - kThumbRightInset;
    const int left = std::max(0, (columnWidth - width) / 2);
    TQRPreviewImage::PaintPage(painter, QRect(left, kThumbInset, width, drawHeight), FSink->GetPage(row + 1));
    painter.setPen(Qt::black);
    painter.drawText(QPoint(2, painter.fontMetrics().ascent() + 1), QString::number(row + 1));
    painter.end();
    QListWidgetItem* item = row < FThumbGrid->count() ? FThumbGrid->item(row) : new QListWidgetItem(FThumbGrid);
    item->setIcon(QIcon(pixmap));
    item->setData(Qt::AccessibleTextRole, QStringLiteral("Page %1").arg(row + 1));
  }
  FThumbGrid->setCurrentRow(FView->PageNumber() - 1);
  FSelectingThumb = false;
}

void TQRStandardPreview::SelectPage(int n) {
  const int count = FSink->PageCount();
  if (n < 1 || n > count || n == FView->PageNumber()) return;
  FView->ShowPage(n);
  UpdateInfo();
  FSelectingThumb = true;
  FThumbGrid->setCurrentRow(n - 1);
  FSelectingThumb = false;
}

void TQRStandardPreview::FirstPage() { SelectPage(1); }
void TQRStandardPreview::PreviousPage() { SelectPage(FView->PageNumber() - 1); }
void TQRStandardPreview::NextPage() { SelectPage(FView->PageNumber() + 1); }

void TQRStandardPreview::LastPage() {
  SelectPage(Generating() ? FSink->PageCount() - 1 : FSink->PageCount());
}

void TQRStandardPreview::GotoPage() {
  const int count = FSink->PageCount();
  const std::optional<QString> answer =
      Dialogs().AskText(this, QStringLiteral("Select a page from 1 to %1").arg(count),
                        QStringLiteral("Enter page number"), QString::number(FView->PageNumber()));
  if (!answer) return;
  bool ok = false;
  const int page = answer->trimmed().toInt(&ok);
  SelectPage(ok && page >= 1 && page <= count ? page : 1);
}

void TQRStandardPreview::Search() {
  if (Generating() || FSearching) return;
  const std::optional<TQRSearchRequest> request = Dialogs().AskSearch(this);
  if (!request) return;
  FSearching = true;
  FSearchResultBox->setEnabled(true);
  FSearchResultBox->clear();
  FSearchTextLabel->setText(request->FText);
  const Qt::CaseSensitivity sensitivity = request->FMatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
  for (int n = 1; n <= FSink->StoredPages(); ++n) {
    for (const TQRTextRun& run : FSink->GetPage(n).TextRuns()) {
      if (run.FText.contains(request->FText, sensitivity)) {
        FSearchResultBox->addItem(QStringLiteral("Page %1").arg(n));
        break;
      }
    }
  }
  if (FSearchResultBox->count() == 0) {
    FSearchResultBox->addItem(QStringLiteral("No matching text"));
    FSearchResultBox->setEnabled(false);
  }
  FTabs->setCurrentWidget(FTabSearchResult);
  FSearching = false;
}

void TQRStandardPreview::ShowSearchResult(int row) {
  const QListWidgetItem* item = FSearchResultBox->item(row);
  bool ok = false;
  const int page = item ? item->text().section(QLatin1Char(' '), 1).toInt(&ok) : 0;
  if (ok && page >= 1 && page <= FSink->PageCount()) {
    SelectPage(page);
  } else {
    SelectPage(1);
  }
}

void TQRStandardPreview::CopyPage() {
  const TQRMetafile page = FSink->GetPage(FView->PageNumber());
  if (page.IsNull()) return;
  const QSize size = FView->PagePixels();
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  page.Play(painter, QRectF(QPointF(0, 0), size));
  painter.end();
  auto* data = new QMimeData;
  data->setImageData(image);
  data->setData(QStringLiteral("image/x-emf"), page.Bytes());
  QGuiApplication::clipboard()->setMimeData(data);
}

void TQRStandardPreview::SaveReport() {
  QStringList filters = {QStringLiteral(".%1 (*.%1)").arg(kPageFileExtension),
                         QStringLiteral("QuickReport file(*.%1)").arg(kPageFileExtension)};
  QStringList extensions = {kPageFileExtension, kPageFileExtension};
  if (FReport) {
    for (const auto& filter : FReport->ExportFilters()) {
      filters << QStringLiteral("%1 (*.%2)").arg(filter->Name(), filter->Extension());
      extensions << filter->Extension();
    }
  }
  int chosen = 0;
  QString fileName = Dialogs().SaveFileName(this, QStringLiteral("Save report"),
                                            QStringLiteral("*.") + kPageFileExtension, filters, chosen);
  if (fileName.isEmpty()) return;
  QString extension = QFileInfo(fileName).suffix().toUpper().left(3);
  if (extension.isEmpty()) {
    extension = extensions.value(chosen, kPageFileExtension);
    fileName += QLatin1Char('.') + extension;
  }
  QString error;
  if (extension == kPageFileExtension) {
    if (!FSink->Save(fileName, &error)) Dialogs().ShowMessage(this, error);
    return;
  }
  IQRExportFilter* filter = nullptr;
  if (FReport)
    for (const auto& candidate : FReport->ExportFilters())
      if (candidate->Extension().toUpper() == extension) filter = candidate.get();
  if (!filter) {
    Dialogs().ShowMessage(this, QStringLiteral("No export filter for files of type \"%1\": nothing was saved.")
                                    .arg(extension));
    return;
  }
  if (!filter->Export(*FReport, *FSink, fileName, &error)) Dialogs().ShowMessage(this, error);
}

void TQRStandardPreview::LoadReport() {
  const QString fileName = Dialogs().OpenFileName(
      this, QStringLiteral("Load report"), {QStringLiteral("QuickReport file (*.%1)").arg(kPageFileExtension)});
  if (fileName.isEmpty()) return;
  if (!QFileInfo::exists(fileName)) {
    Dialogs().ShowMessage(this, QStringLiteral("File does not exist"));
    return;
  }
  QString error;
  if (!FSink->Load(fileName, &error)) {
    Dialogs().ShowMessage(this, error);
    return;
  }
  FTitle = fileName;
  FView->ShowPage(1);
  const QSize frame = FSink->GetPage(1).FrameSize();
  bool landscape = false;
  const std::optional<TQRPaperSize> paper =
      QRPaperSizeOfSheet(static_cast<int>(frame.width() / 100), static_cast<int>(frame.height() / 100), landscape);
  FSink->PaperWidth = frame.width() / 10.0;
  FSink->PaperLength = frame.height() / 10.0;
  FSink->Orientation = landscape ? TQROrientation::poLandscape : TQROrientation::poPortrait;
  if (FReport) {
    FReport->Page.SetOrientation(FSink->Orientation);
    if (paper) FReport->Page.SetPaperSize(*paper);
  }
  if (FView->ZoomState() == TQRZoomState::qrZoomToFit) FView->ZoomToFit();
  if (FView->ZoomState() == TQRZoomState::qrZoomToWidth) FView->ZoomToWidth();
  FinishedState();
  FSelectingThumb = true;
  FThumbGrid->setCurrentRow(0);
  FSelectingThumb = false;
  UpdateInfo();
}

void TQRStandardPreview::CancelReport() {
  if (FReport) FReport->SetPreviewCancel();
}

void TQRStandardPreview::ZoomMenuChosen(int percent) {
  FView->SetZoom(percent);
  UpdateInfo();
}

void TQRStandardPreview::ForceClose() {
  FForceClose = true;
  close();
}

void TQRStandardPreview::closeEvent(QCloseEvent* event) {
  const bool closable = !Generating() && Button(QStringLiteral("ExitButton"))->isEnabled();
  if (!FForceClose && !closable) {
    event->ignore();
    return;
  }
  event->accept();
}

void TQRStandardPreview::ScrollStep(int direction) {
  QScrollBar* bar = FView->verticalScrollBar();
  const int step = bar->singleStep();
  if (direction < 0) {
    if (bar->value() - step > 0 || bar->value() > 0) {
      bar->setValue(bar->value() - step);
    } else if (FView->PageNumber() > 1) {
      SelectPage(FView->PageNumber() - 1);
      bar->setValue(bar->maximum());
    }
    return;
  }
  if (bar->value() + step <= bar->maximum() || bar->value() < bar->maximum()) {
    bar->setValue(bar->value() + step);
  } else {
    NextPage();
  }
}

bool TQRStandardPreview::HandleKey(int key, Qt::KeyboardModifiers modifiers) {
  if (key == Qt::Key_Escape) {
    close();
    return true;
  }
  if (FThumbGrid->hasFocus()) return false;
  const bool control = modifiers & Qt::ControlModifier;
  switch (key) {
    case Qt::Key_PageUp: control ? FirstPage() : PreviousPage(); return true;
    case Qt::Key_PageDown: control ? LastPage() : NextPage(); return true;
    case Qt::Key_Home: FirstPage(); return true;
    case Qt::Key_End: LastPage(); return true;
    case Qt::Key_Up: ScrollStep(-1); return true;
    case Qt::Key_Down: ScrollStep(1); return true;
    default: return false;
  }
}

bool TQRStandardPreview::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (qobject_cast<QWidget*>(watched) && HandleKey(key->key(), key->modifiers())) return true;
  } else if (event->type() == QEvent::Wheel && watched == FView->viewport()) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    const int delta = wheel->angleDelta().y();
    if (delta == 0) return false;
    if (wheel->modifiers() & Qt::ControlModifier) {
      FView->SetZoom(FView->Zoom() + (delta > 0 ? 10 : -10));
    } else {
      ScrollStep(delta > 0 ? -1 : 1);
    }
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace vendrik
