// Export of report pages to other file formats. An export filter is offered
// by the preview's save dialog under its name and extension; the PDF filter
// is the one this engine has. QRWritePdf is also the entry point for writing
// a report to a PDF file without any window.
#pragma once

#include <QString>

namespace vendrik {

class TQRPrinter;
class TQuickRep;

class IQRExportFilter {
 public:
  virtual ~IQRExportFilter() = default;
  // The name shown in the save dialog, e.g. "PDF document".
  virtual QString Name() const = 0;
  // The extension without the dot, upper case, e.g. "PDF".
  virtual QString Extension() const = 0;
  // Writes `report` to `fileName`. `shown` holds the pages the preview
  // shows; a filter may generate the report again instead. Returns false
  // with `error` set when nothing could be written.
  virtual bool Export(TQuickRep& report, const TQRPrinter& shown, const QString& fileName,
                      QString* error) = 0;
};

// Writes the pages of `pages` (a finished sink) to a PDF file titled `title`,
// one PDF page per page in the size the page was made for. The file is
// replaced only when everything was written. Returns false with `error` set
// otherwise.
bool QRWritePdf(const TQRPrinter& pages, const QString& title, const QString& fileName,
                QString* error);

// The resolution of pages made for a PDF file.
constexpr double kQRPdfDotsPerInch = 600;

// Generates `report` for a PDF file and writes it (QRWritePdf). Errors of the
// generation are returned as `error`, like a file that cannot be written.
bool QRExportPdf(TQuickRep& report, const QString& fileName, QString* error);

// The PDF filter: generates the report again at PDF resolution, or writes the
// shown pages when they were loaded from a page file.
class TQRPdfExportFilter final : public IQRExportFilter {
 public:
  QString Name() const override { return QStringLiteral("PDF document"); }
  QString Extension() const override { return QStringLiteral("PDF"); }
  bool Export(TQuickRep& report, const TQRPrinter& shown, const QString& fileName,
              QString* error) override;
};

}  // namespace vendrik
