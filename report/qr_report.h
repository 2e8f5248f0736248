// TQuickRep: a report — page description, bands with their controls, the
// dataset it prints — and its generation into a page sink (TQRPrinter).
//
// Generation walks the dataset from its first record to its end and prints
// the detail band per record; a band that does not fit the space left above
// the page footer starts a new column, which on the last column is a new page
// (page footer of the old page, page header of the new). A band higher than a
// whole page prints anyway, on the current page. With no record the detail
// band prints once when PrintIfEmpty is set. The run keeps the interface
// alive by processing pending events before the run and at every record.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QFont>
#include <QObject>
#include <QPointer>

#include "report/qr_band.h"
#include "report/qr_dataset.h"
#include "report/qr_print_settings.h"
#include "report/qr_printer.h"
#include "report/qr_units.h"

namespace vendrik {

class TQRStandardPreview;
class IQRExportFilter;
class IQRPreviewDialogs;
class IQRPrintDialogs;
class IQRPrintService;

enum class TQRZoomState { qrZoomToFit, qrZoomToWidth, qrZoomOther, qrZoom100 };

struct TQROptions {
  bool FirstPageHeader = true;
  bool LastPageFooter = true;
  // Compress the stored pages.
  bool Compression = false;
};

class TQuickRep : public QObject {
  Q_OBJECT

 public:
  explicit TQuickRep(const QString& name, QObject* parent = nullptr);
  ~TQuickRep() override;

  TQRPage Page;
  TQROptions Options;
  bool PrintIfEmpty = true;
  QString ReportTitle;
  QFont Font;  // Arial 10 pt
  bool ShowProgress = true;
  TQRUnit Units = TQRUnit::MM;
  bool SnapToGrid = true;
  bool PrevShowThumbs = true, PrevShowSearch = true;
  TQRZoomState PrevInitialZoom = TQRZoomState::qrZoomToFit;
  int PreviewWidth = 0, PreviewHeight = 0, PreviewLeft = 0, PreviewTop = 0;
  IQRDataSet* DataSet = nullptr;
  // The preview's dialogs; null means the standard ones.
  IQRPreviewDialogs* PreviewDialogs = nullptr;
  // The preview's "Print" and "Printer setup" commands; their buttons stay
  // disabled while these are empty.
  std::function<void(TQRStandardPreview&)> OnPrint, OnPrinterSetup;

  // --- Printing ---
  // The settings the next print uses, and the last choices of the setup
  // dialog.
  TQuickRepPrinterSettings PrinterSettings, UserPrinterSettings;
  // Print right after a confirmed setup from the preview.
  bool PrintAfterSetup = false;
  // Set by the progress window's Cancel.
  bool UserCancel = false;
  // The printing services and the setup dialog; null means the standard ones.
  IQRPrintService* PrintService = nullptr;
  IQRPrintDialogs* PrintDialogs = nullptr;
  IQRPrintService& Printing() const;
  IQRPrintDialogs& PrintDialog() const;

  // Generates the report again onto the printer of PrinterSettings (the
  // default one for index -1) with its settings, as one job named after
  // ReportTitle, showing a progress window when ShowProgress is set and
  // widgets exist. Returns the job id; 0 when nothing was sent (no printer
  // installed, the range holds no page, a generation is running). Throws
  // EQRError when the printer cannot be read or refuses the job; nothing is
  // queued then.
  int Print();
  // Shows the setup dialog and stores the choices in PrinterSettings and
  // UserPrinterSettings. `shown`, when finished, gives the dialog its page
  // limits. Returns false, changing nothing, when cancelled or when no
  // printer is installed.
  bool PrinterSetup(QWidget* parent = nullptr, const TQRPrinter* shown = nullptr);

  // The design zoom in percent; values outside 1..300 are refused (false).
  int Zoom() const { return FZoom; }
  bool SetZoom(int zoom);

  // Creates a band of the type, placed after the existing ones.
  TQRBand& CreateBand(TQRBandType type, const QString& name);
  // The first band of the type, or null.
  TQRBand* FindBand(TQRBandType type) const;
  TQRBand* PageHeaderBand() const { return FindBand(TQRBandType::rbPageHeader); }
  TQRBand* DetailBand() const { return FindBand(TQRBandType::rbDetail); }
  TQRBand* PageFooterBand() const { return FindBand(TQRBandType::rbPageFooter); }
  const std::vector<std::unique_ptr<TQRBand>>& Bands() const { return FBands; }
  // A control of any band by name, or null.
  TQRPrintable* FindControl(const QString& name) const;

  // Export filters offered by the preview's save dialog (the report owns them).
  void RegisterExportFilter(std::unique_ptr<IQRExportFilter> filter);
  const std::vector<std::unique_ptr<IQRExportFilter>>& ExportFilters() const { return FFilters; }

  // --- Run time ---
  bool Available() const { return FAvailable; }
  TQRReal CurrentX() const { return FCurrentX; }
  TQRReal CurrentY() const { return FCurrentY; }
  int PageNumber() const { return FPageNumber; }
  // Space left on the page above the page footer; 0 when no page is started.
  TQRReal AvailableSpace() const;
  // The sink of the running generation (null between runs).
  TQRPrinter* Sink() const { return FSink; }

  // One generation run into `sink` (which must be ready). Errors of the sink
  // (EQRError) and of the page storage (std::runtime_error) are thrown after
  // the report is available again; the sink is then left unfinished.
  void Generate(TQRPrinter& sink);

  // Generates into a new metafile sink whose pages have `dotsPerInch` pixels
  // per inch, without showing anything. Throws as Generate.
  std::unique_ptr<TQRPrinter> Prepare(qreal dotsPerInch);

  // Opens the preview window on a new sink, generates into it and returns
  // when the window has been closed. Ignored while a preview of this report
  // is showing. A generation error closes the window and is thrown to the
  // caller (EQRError or std::exception), after the window is gone.
  void Preview();
  // Whether a preview of this report is showing.
  bool ShowingPreview() const { return !FPreview.isNull(); }

  // Stops the running generation at the next record (the preview's Cancel).
  void SetPreviewCancel() { FPreviewCancel = true; }
  // Marks the run cancelled: the last page is not ended, the document aborted.
  void Cancel();

 private:
  void RunController();
  void PrintBand(TQRBand* band);
  void PrintBandControls(TQRBand& band, bool onlyUnfinished);
  void NewPage();
  void NewColumn();
  void EndPage();
  TQRPrintContext Context(TQRBand& band);

  int FZoom = 100;
  std::vector<std::unique_ptr<TQRBand>> FBands;
  std::vector<std::unique_ptr<IQRExportFilter>> FFilters;
  QPointer<TQRStandardPreview> FPreview;

  // Run-time state.
  bool FAvailable = true;
  bool FCancelled = false;
  bool FPreviewCancel = false;
  bool FLastPage = false;
  bool FSkipForcedPage = false;
  TQRPrinter* FSink = nullptr;
  TQRReal FCurrentX = 0, FCurrentY = -1;
  TQRReal FColumnTop = 0;
  TQRReal FPageFooterSize = 0;
  int FCurrentColumn = 1;
  int FPageNumber = 0;
  int FDetailNumber = 0;
  int FRecordCount = 0;
};

// The screen's pixels per inch (96 without a screen): the resolution of
// preview pages and of text measurement for line wrapping.
qreal QRScreenDotsPerInch();

}  // namespace vendrik
