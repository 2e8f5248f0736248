// Printing a report: generating again onto a printer, the setup dialog, the
// preview's two print buttons and printing stored pages.
//
// Source codes chosen in the dialog: a code above 255 (a driver's own) is
// first reduced by 256 when it is looked up as a TQRBin, so 260 stands for
// Manual. In the preview a custom code of 13 or more is passed as a custom
// code, a smaller one as a TQRBin ordinal.
#include "report/qr_print.h"

#include <cmath>
#include <memory>

#include <QApplication>
#include <QToolButton>

#include "report/qr_preview.h"
#include "report/qr_preview_dialogs.h"
#include "report/qr_print_dialog.h"
#include "report/qr_print_service.h"
#include "report/qr_report.h"

namespace vendrik {
namespace {

constexpr int kDriverBinBase = 256;
constexpr int kFirstCustomBinCode = 13;
constexpr qreal kNativePerInch = 254;

// The printer of a settings index: -1 or an index out of the list is the
// default queue.
QString PrinterOfIndex(IQRPrintService& service, int index) {
  const QStringList printers = service.Printers();
  if (index >= 0 && index < printers.size()) return printers[index];
  return service.DefaultPrinter();
}

// A progress window when widgets exist and the report asks for one.
std::unique_ptr<TQRProgressForm> ProgressWindow(TQuickRep* report, TQRPrinter& sink) {
  if (!report || !report->ShowProgress || !qobject_cast<QApplication*>(QCoreApplication::instance()))
    return nullptr;
  auto form = std::make_unique<TQRProgressForm>(report, &sink);
  form->show();
  return form;
}

// Source code or bin of a chosen code for a sink or report (preview rule).
void TakeBin(TQuickRepPrinterSettings& target, int code) {
  if (code >= kFirstCustomBinCode) {
    target.UseCustomBinCode = true;
    target.CustomBinCode = code;
  } else if (code >= 0 && code <= static_cast<int>(TQRBin::Last)) {
    target.UseCustomBinCode = false;
    target.OutputBin = static_cast<TQRBin>(code);
  }
}

// Copies the setup dialog's choices kept in `user` into `target`.
void TakeUserSettings(TQuickRepPrinterSettings& target, const TQuickRepPrinterSettings& user) {
  TakeBin(target, user.CustomBinCode);
  target.PrinterIndex = user.PrinterIndex;
  target.Copies = user.Copies;
  target.Duplex = user.Duplex;
  target.FirstPage = user.FirstPage;
  target.LastPage = user.LastPage;
  target.ExtendedDuplex = user.ExtendedDuplex > 1 ? user.ExtendedDuplex : 0;
  target.CustomPaperCode = user.CustomPaperCode;
  target.PrintQuality = user.PrintQuality;
  target.Collate = user.Collate;
  target.ColorOption = user.ColorOption;
}

}  // namespace

QString QRNoPrinterHint() { return QStringLiteral("No printer is installed: nothing can be printed."); }

bool QRConfigurePrinterSink(TQRPrinter& sink, IQRPrintService& service,
                            const TQuickRepPrinterSettings& settings, const TQRPage& page) {
  const QString printer = PrinterOfIndex(service, settings.PrinterIndex);
  if (printer.isEmpty()) return false;
  QString error;
  if (!sink.SetPrinter(service, printer, &error)) throw EQRError(error.toStdString());
  sink.Destination = TQRDestination::qrdPrinter;
  TPrinterSettings& target = sink.PrinterSettings;
  target.SetPaperSize(page.PaperSize());
  if (page.PaperSize() == TQRPaperSize::Custom) {
    const bool landscape = page.Orientation() == TQROrientation::poLandscape;
    target.SetPaperWidth(landscape ? page.Length() : page.Width());
    target.SetPaperLength(landscape ? page.Width() : page.Length());
  }
  target.SetOrientation(page.Orientation());
  sink.Orientation = page.Orientation();
  sink.PaperWidth = page.Width();
  sink.PaperLength = page.Length();
  target.SetCopies(settings.Copies);
  target.SetOutputBin(settings.OutputBin);
  sink.FirstPage = settings.FirstPage;
  sink.LastPage = settings.LastPage;
  target.SetDuplex(settings.Duplex);
  target.SetExtendedDuplex(settings.ExtendedDuplex);
  target.FUseCustomBinCode = settings.UseCustomBinCode;
  target.FCustomBinCode = settings.CustomBinCode;
  target.FUseCustomPaperCode = settings.UseCustomPaperCode;
  target.FCustomPaperCode = settings.CustomPaperCode;
  target.FPrintQuality = settings.PrintQuality;
  target.FCollate = settings.Collate;
  target.FColorOption = settings.ColorOption;
  return true;
}

IQRPrintService& TQuickRep::Printing() const {
  return PrintService ? *PrintService : QRStandardPrintService();
}

IQRPrintDialogs& TQuickRep::PrintDialog() const {
  return PrintDialogs ? *PrintDialogs : QRStandardPrintDialogs();
}

int TQuickRep::Print() {
  if (!FAvailable) return 0;
  TQRPrinter sink(QRScreenDotsPerInch());
  if (!QRConfigurePrinterSink(sink, Printing(), PrinterSettings, Page)) return 0;
  UserCancel = false;
  const std::unique_ptr<TQRProgressForm> progress = ProgressWindow(this, sink);
  Generate(sink);
  return sink.JobId();
}

bool TQuickRep::PrinterSetup(QWidget* parent, const TQRPrinter* shown) {
  IQRPrintService& service = Printing();
  TQRPrintDialogState state;
  state.FPrinters = service.Printers();
  if (state.FPrinters.isEmpty()) return false;
  const QString printer = PrinterOfIndex(service, PrinterSettings.PrinterIndex);
  state.FPrinterIndex = std::max<int>(0, state.FPrinters.indexOf(printer));
  if (shown && shown->Status() == TQRPrinterStatus::mpFinished) {
    state.FMinPage = 1;
    state.FMaxPage = shown->PageCount();
    state.FFromPage = 1;
    state.FToPage = shown->PageCount();
  }
  state.FOrientation = Page.Orientation();
  state.FCopies = PrinterSettings.Copies;
  if (const std::optional<TQRDeviceMode> mode = service.ReadPrinter(printer, nullptr)) {
    if (mode->FDefaultSource >= 0) state.FOutputBin = mode->FSources[mode->FDefaultSource].FCode;
    if (mode->FDefaultPaper >= 0) state.FPaperSize = mode->FPapers[mode->FDefaultPaper].FCode;
    state.FDuplexCode = mode->FDuplexCode;
  }
  if (!PrintDialog().Execute(parent, state)) return false;

  PrinterSettings.Copies = state.FCopies;
  PrinterSettings.PrinterIndex = state.FPrinterIndex;
  Page.SetOrientation(state.FOrientation);
  TQuickRepPrinterSettings& user = UserPrinterSettings;
  user.CustomBinCode = state.FOutputBin;
  user.ExtendedDuplex = state.FDuplexCode;
  user.PrintQuality = state.FPrintQuality;
  user.Collate = state.FCollate;
  user.ColorOption = state.FColorOption;
  user.Copies = state.FCopies;
  user.Orientation = state.FOrientation;
  user.FirstPage = state.FFromPage;
  user.LastPage = state.FToPage;
  user.OutputBin = PrinterSettings.OutputBin;
  const int code = state.FOutputBin > kDriverBinBase - 1 ? state.FOutputBin - kDriverBinBase : state.FOutputBin;
  if (const std::optional<TQRBin> bin = QRBinOfCode(code)) user.OutputBin = *bin;
  user.CustomPaperCode = state.FPaperSize;
  user.PrinterIndex = state.FPrinterIndex;
  user.Duplex = state.FDuplexCode != kQRSimplex;
  const bool pageNumbers = state.FPrintRange == TQRPrintRange::prPageNums;
  PrinterSettings.FirstPage = pageNumbers ? state.FFromPage : 0;
  PrinterSettings.LastPage = pageNumbers ? state.FToPage : 0;
  return true;
}

int QRPrintStoredPages(const TQRPrinter& pages, const QString& title, IQRPrintService& service,
                       const TQuickRepPrinterSettings& settings, const TQRPage& page, TQuickRep* report) {
  if (pages.Status() != TQRPrinterStatus::mpFinished) return 0;
  TQRPrinter sink(QRScreenDotsPerInch());
  if (!QRConfigurePrinterSink(sink, service, settings, page)) return 0;
  const int first = settings.FirstPage > 0 ? settings.FirstPage : 1;
  const int last = settings.LastPage > 0 ? std::min(settings.LastPage, pages.StoredPages())
                                         : pages.StoredPages();
  if (first > last) return 0;
  const TPrinterSettings& printer = sink.PrinterSettings;
  TQRPrintJob job(service, sink.PrinterName(), title, printer,
                  page.Orientation() == TQROrientation::poLandscape);
  if (report) report->UserCancel = false;
  const std::unique_ptr<TQRProgressForm> progress = ProgressWindow(report, sink);
  // The sheet in printer pixels from the paper edge: the canvas origin sits
  // at the unprintable margin, which the stretched page starts before.
  const qreal dpiX = printer.FPixelsPerX, dpiY = printer.FPixelsPerY;
  const QRectF target(QPointF(-std::round(static_cast<qreal>(printer.FLeftOffset) * dpiX / kNativePerInch),
                              -std::round(static_cast<qreal>(printer.FTopOffset) * dpiY / kNativePerInch)),
                      QPointF(std::round(static_cast<qreal>(page.Width() - printer.FLeftOffset) * dpiX / kNativePerInch),
                              std::round(static_cast<qreal>(page.Length() - printer.FTopOffset) * dpiY / kNativePerInch)));
  for (int n = first; n <= last; ++n) {
    QCoreApplication::processEvents();
    if (sink.Cancelled()) {
      job.Abort();
      return 0;
    }
    sink.SetProgress(static_cast<int>(std::lround((n - first + 1) * 100.0 / (last - first + 1))));
    const bool firstSheet = !job.Started();
    job.NewSheet();
    QPainter& painter = job.Painter();
    if (firstSheet)
      painter.translate(static_cast<qreal>(printer.FLeftOffset) * dpiX / kNativePerInch,
                        static_cast<qreal>(printer.FTopOffset) * dpiY / kNativePerInch);
    pages.GetPage(n).Play(painter, target);
  }
  QCoreApplication::processEvents();
  QString error;
  const int id = job.Finish(&error);
  if (id < 0) throw EQRError(error.toStdString());
  return id;
}

void QRPreviewPrint(TQRStandardPreview& preview) {
  TQuickRep* report = preview.Report();
  TQRPrinter* sink = preview.Printer();
  if (!report || !sink) return;
  QToolButton* close = preview.Button(QStringLiteral("ExitButton"));
  close->setEnabled(false);
  try {
    if (!sink->LoadedFromFile() && !report->PrinterSettings.PrintMetaFile) {
      report->Print();
    } else {
      const TQuickRepPrinterSettings& settings =
          sink->LoadedFromFile() ? sink->JobSettings : report->PrinterSettings;
      QRPrintStoredPages(*sink, report->ReportTitle, report->Printing(), settings, report->Page, report);
    }
  } catch (const std::exception& e) {
    preview.Dialogs().ShowMessage(&preview, QString::fromUtf8(e.what()));
  }
  close->setEnabled(true);
}

void QRPreviewPrinterSetup(TQRStandardPreview& preview) {
  TQuickRep* report = preview.Report();
  TQRPrinter* sink = preview.Printer();
  if (!report || !sink) return;
  if (!report->PrinterSetup(&preview, sink)) return;
  TakeUserSettings(sink->JobSettings, report->UserPrinterSettings);
  if (!sink->LoadedFromFile()) TakeUserSettings(report->PrinterSettings, report->UserPrinterSettings);
  if (report->PrintAfterSetup) QRPreviewPrint(preview);
}

}  // namespace vendrik
