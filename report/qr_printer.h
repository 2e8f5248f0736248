// TQRPrinter: the page sink of one generation run. On the metafile
// destination it records every page on a TQRPageRecorder and stores it in its
// page list when the next page starts or the document ends; viewers read the
// pages from there while the run goes on. Notices to the window that shows
// the sink (page available, progress) are signals delivered through the event
// queue, so they arrive after the current step of the run.
//
// On the printer destination (SetPrinter) the pages in the page range are
// drawn into a print job (TQRPrintJob) at the printer's resolution and sent
// at EndDoc; pages outside the range go to a throwaway recording at screen
// resolution. The job starts with the first page in range, so a run whose
// range holds no page sends no job. Positions count from the paper edge:
// XPos and YPos subtract the unprintable margin (FLeftWaste, FTopWaste)
// because the printer's canvas starts there.
//
// Status: mpReady -> BeginDoc -> mpBusy -> EndDoc / AbortDoc -> mpFinished;
// Cleanup returns to mpReady and drops the pages.
#pragma once

#include <memory>
#include <stdexcept>

#include <QObject>
#include <QPainter>

#include "report/qr_page_list.h"
#include "report/qr_page_recorder.h"
#include "report/qr_print_job.h"
#include "report/qr_print_settings.h"
#include "report/qr_units.h"

namespace vendrik {

// Errors of the report engine ("QRPrinter not ready", "Illegal call to NewPage").
class EQRError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TQRDestination { qrdMetafile, qrdPrinter };
enum class TQRPrinterStatus { mpReady, mpBusy, mpFinished };

class TQRPrinter : public QObject {
  Q_OBJECT

 public:
  // A metafile sink whose pages have `dotsPerInch` device pixels per inch
  // (the screen's for a preview).
  explicit TQRPrinter(qreal dotsPerInch, QObject* parent = nullptr);
  ~TQRPrinter() override;

  TQRDestination Destination = TQRDestination::qrdMetafile;
  QString Title;
  qint64 MemoryLimit = kQRDefaultMemoryLimit;
  // Whether the stored pages are compressed; set before BeginDoc.
  bool Compression = false;
  // The sheet in native units, set before BeginDoc.
  TQRReal PaperWidth = 2100, PaperLength = 2970;
  TQROrientation Orientation = TQROrientation::poPortrait;
  // Page range of the printer destination; 0 = open end.
  int FirstPage = 0, LastPage = 0;
  // The chosen printer's settings (printer destination).
  TPrinterSettings PrinterSettings;
  // The settings the stored pages print with when they were loaded from a
  // file (the preview's printer setup keeps them here).
  TQuickRepPrinterSettings JobSettings;

  // Makes this a printer sink for `printer` on `service`: reads the queue's
  // settings into PrinterSettings. Returns false with `error` set when the
  // queue is unknown or cannot be read; the sink then stays as it was.
  bool SetPrinter(IQRPrintService& service, const QString& printer, QString* error);
  QString PrinterName() const { return FPrinterName; }
  // The id of the job sent by EndDoc; 0 when none was sent.
  int JobId() const { return FJobId; }
  // Whether page n is in the page range.
  bool InRange(int n) const;

  TQRPrinterStatus Status() const { return FStatus; }
  int PageCount() const { return FPageCount; }
  int PageNumber() const { return FPageNumber; }
  int AvailablePages() const { return FAvailablePages; }
  int Progress() const { return FProgress; }
  bool Cancelled() const { return FCancelled; }
  // Whether the pages are complete: a finished preview run or a loaded file.
  bool ReportLoaded() const { return FReportLoaded; }
  void SetReportLoaded(bool loaded) { FReportLoaded = loaded; }
  // Whether the pages came from a page file rather than a generation.
  bool LoadedFromFile() const { return FLoadedFromFile; }
  qreal XFactor() const { return FXFactor; }
  qreal YFactor() const { return FYFactor; }
  qreal DotsPerInch() const { return FDotsPerInch; }

  // Starts a document. Throws EQRError "QRPrinter not ready" unless ready
  // (and on the printer destination without a printer).
  void BeginDoc();
  // Stores the current page (if any) and starts a fresh one. Throws EQRError
  // "Illegal call to NewPage" unless busy.
  void NewPage();
  // Stores the last page, finishes the page list, announces one more page.
  // On the printer destination it sends the job; a refused job throws
  // EQRError with the reason after the sink has finished.
  void EndDoc();
  // Ends a cancelled run: the unfinished page is still stored; a print job
  // is dropped.
  void AbortDoc();
  // Marks the run cancelled; generation stops at the next record.
  void Cancel() { FCancelled = true; }
  // Drops the pages and returns to mpReady.
  void Cleanup();

  // Sets the progress and announces it.
  void SetProgress(int percent);

  // The drawing surface of the current page; null outside a page.
  QPainter* Canvas() { return FCanvas ? FCanvas.get() : FPrinterCanvas; }
  // The device of the current page (for measuring text on it).
  QPaintDevice* Device() {
    return FRecorder ? static_cast<QPaintDevice*>(FRecorder.get())
                     : FPrinterCanvas ? FPrinterCanvas->device() : nullptr;
  }

  // Native units (0.1 mm) to device pixels of the page.
  int XPos(TQRReal v) const;
  int YPos(TQRReal v) const;
  int XSize(TQRReal v) const;
  int YSize(TQRReal v) const;

  // Page n (1-based) of the stored pages; null when out of range or none.
  TQRMetafile GetPage(int n) const;
  // Total stored pages.
  int StoredPages() const { return FPageList ? FPageList->PageCount() : 0; }

  // Writes the stored pages to a page file. Only when finished; returns false
  // with `error` set otherwise or when the file cannot be written.
  bool Save(const QString& fileName, QString* error) const;
  // Replaces the pages by those of a page file; on any error the pages stay
  // as they are and `error` says why. Afterwards the sink is finished and its
  // pages count as loaded.
  bool Load(const QString& fileName, QString* error);

 signals:
  // A page was completed (or the run ended): `availablePages` pages can be shown.
  void PageAvailable(int availablePages);
  void ProgressUpdate(int percent);

 private:
  void StorePage();
  void Announce();

  void NewPrinterPage();
  void SetFactors(qreal dotsPerInchX, qreal dotsPerInchY);

  qreal FDotsPerInch;
  qreal FXFactor, FYFactor;
  TQRReal FLeftWaste = 0, FTopWaste = 0;
  IQRPrintService* FService = nullptr;
  QString FPrinterName;
  std::unique_ptr<TQRPrintJob> FJob;
  bool FPageInRange = false;
  int FJobId = 0;
  TQRPrinterStatus FStatus = TQRPrinterStatus::mpReady;
  int FPageCount = 0, FPageNumber = 0, FAvailablePages = 0, FProgress = 0;
  bool FCancelled = false, FReportLoaded = false, FLoadedFromFile = false;
  std::unique_ptr<TQRPageList> FPageList;
  std::unique_ptr<TQRPageRecorder> FRecorder;
  std::unique_ptr<QPainter> FCanvas;
  QPainter* FPrinterCanvas = nullptr;  // the job's painter on a page in range
};

}  // namespace vendrik
