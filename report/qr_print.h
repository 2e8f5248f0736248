// Printing a report: the preview's "Print" and "Printer setup" commands and
// printing stored pages. TQuickRep::Print and TQuickRep::PrinterSetup live
// in qr_print.cpp as well.
//
// A printer sink takes the report's settings (QRConfigurePrinterSink): the
// printer by index (-1 = the default queue), the report page's paper size
// when the queue offers it (else the queue's paper stays) and orientation,
// copies, source, range, duplex, collation and the driver codes.
#pragma once

#include "report/qr_print_settings.h"
#include "report/qr_printer.h"

namespace vendrik {

class IQRPrintService;
class TQRStandardPreview;
class TQuickRep;
class TQRPage;

// Makes `sink` a printer sink with `settings` and `page`. Throws EQRError
// when the printer cannot be found or read. Returns false (sink unchanged)
// when no printer is installed.
bool QRConfigurePrinterSink(TQRPrinter& sink, IQRPrintService& service,
                            const TQuickRepPrinterSettings& settings, const TQRPage& page);

// Prints the stored pages of the finished sink `pages` in the settings' page
// range, each stretched onto the report page's sheet from the paper edge, as
// one job named after `title`. Returns the job id; 0 when nothing was sent
// (no printer, no page in range, cancelled). Throws EQRError when the
// printer cannot be read or refuses the job.
int QRPrintStoredPages(const TQRPrinter& pages, const QString& title, IQRPrintService& service,
                       const TQuickRepPrinterSettings& settings, const TQRPage& page,
                       TQuickRep* report);

// The preview's "Print" button: prints again from the dataset, or the
// stored pages when they were loaded from a file (or PrintMetaFile is set).
// The Close button is disabled meanwhile; errors are shown in a message.
void QRPreviewPrint(TQRStandardPreview& preview);
// The preview's "Printer setup" button: the setup dialog; confirmed choices
// go to the preview's sink and, unless the pages were loaded, to the
// report's settings; PrintAfterSetup prints right away.
void QRPreviewPrinterSetup(TQRStandardPreview& preview);

// The preview's tooltip of Print and Printer setup without a printer.
QString QRNoPrinterHint();

}  // namespace vendrik
