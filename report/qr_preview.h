// TQRStandardPreview: the preview window of a report's pages. It shows the
// pages of a sink while they are generated and afterwards: paging, zoom,
// thumbnails, text search, copying a page, saving and loading page files
// (".QRP") and export through the report's export filters. Printing is
// reached through the report's OnPrint / OnPrinterSetup commands.
//
// States: while the sink generates, most buttons are disabled and Cancel is
// enabled after the first page; when it has finished, all are enabled and
// Cancel is disabled. The window cannot be closed while the sink generates.
// It deletes itself when closed.
#pragma once

#include <QPointer>
#include <QWidget>

class QAction;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace vendrik {

class IQRPreviewDialogs;
class TQRPreview;
class TQRPrinter;
class TQuickRep;

class TQRStandardPreview final : public QWidget {
  Q_OBJECT

 public:
  // A preview of `sink` for `report`; `report` may be null for pages without
  // a report. The window does not own the sink.
  TQRStandardPreview(TQuickRep* report, TQRPrinter* sink, QWidget* parent = nullptr);
  ~TQRStandardPreview() override;

  TQRPreview& View() const { return *FView; }
  TQRPrinter* Printer() const { return FSink; }
  TQuickRep* Report() const { return FReport.data(); }
  // The questions and messages of the window (the report's or the standard ones).
  IQRPreviewDialogs& Dialogs() const;
  // The button (or separator-free control) named `name`.
  QToolButton* Button(const QString& name) const;

  // Shows page n when 1 <= n <= page count and it is not shown already.
  void SelectPage(int n);
  // Refreshes the page, zoom and title panels.
  void UpdateInfo();
  // The status panels: progress, page, zoom, title.
  QString PanelText(int panel) const;

  // The commands of the buttons (public for keyboard and tests).
  void FirstPage();
  void PreviousPage();
  void NextPage();
  void LastPage();
  void GotoPage();
  void Search();
  void CopyPage();
  void SaveReport();
  void LoadReport();
  void CancelReport();
  // Applies a percentage of the zoom menu and refreshes the status line.
  void ZoomMenuChosen(int percent);

  // Closes the window even while generating (after a generation error).
  void ForceClose();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateToolBar();
  void CreateSidePanel();
  void CreateStatusBar();
  void ApplyReportSettings();
  void OnPageAvailable(int availablePages);
  void OnProgressUpdate(int percent);
  void FinishedState();
  void RefreshThumbnails(int rows);
  bool HandleKey(int key, Qt::KeyboardModifiers modifiers);
  void ScrollStep(int direction);
  void ShowSearchResult(int row);
  bool Generating() const;

  QPointer<TQuickRep> FReport;
  TQRPrinter* FSink;
  TQRPreview* FView;
  QToolBar* FToolBar;
  QTabWidget* FTabs;
  QWidget* FTabThumbs;
  QWidget* FTabSearchResult;
  QListWidget* FThumbGrid;
  QGroupBox* FSearchGroup;
  QLabel* FSearchTextLabel;
  QListWidget* FSearchResultBox;
  QStatusBar* FStatusBar;
  QLabel* FPanels[4];
  QMenu* FZoomMenu;
  QString FTitle;
  int FLastProgress = 0;
  bool FShowThumbs = true, FShowSearch = true;
  bool FSelectingThumb = false;
  bool FForceClose = false;
  bool FSearching = false;
};

}  // namespace vendrik
