// Writing report pages as a PDF document.
#include "report/qr_export.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include "report/qr_printer.h"
#include "report/qr_report.h"

namespace vendrik {
namespace {

QPageSize PageSizeOf(const TQRMetafile& page) {
  // The frame is in 0.01 mm; a sheet of a known size is named as such.
  return QPageSize(QSizeF(page.FrameSize().width() / 100.0, page.FrameSize().height() / 100.0),
                   QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
}

}  // namespace

bool QRWritePdf(const TQRPrinter& pages, const QString& title, const QString& fileName,
                QString* error) {
  auto fail = [&](const QString& what) {
    if (error) *error = what;
    return false;
  };
  if (pages.StoredPages() == 0) return fail(QStringLiteral("The report has no pages."));
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly))
    return fail(QStringLiteral("Cannot write \"%1\": %2").arg(fileName, file.errorString()));
  {
    QPdfWriter writer(&file);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Vendrik"));
    writer.setResolution(static_cast<int>(kQRPdfDotsPerInch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    TQRMetafile page = pages.GetPage(1);
    writer.setPageSize(PageSizeOf(page));
    QPainter painter;
    if (!painter.begin(&writer)) {
      file.cancelWriting();
      return fail(QStringLiteral("Cannot write \"%1\".").arg(fileName));
    }
    for (int n = 1; n <= pages.StoredPages(); ++n) {
      if (n > 1) {
        page = pages.GetPage(n);
        writer.setPageSize(PageSizeOf(page));
        writer.newPage();
      }
      const QRectF sheet = writer.pageLayout().fullRectPixels(writer.resolution());
      page.Play(painter, QRectF(0, 0, sheet.width(), sheet.height()));
    }
    painter.end();
  }
  if (!file.commit())
    return fail(QStringLiteral("Cannot write \"%1\": %2").arg(fileName, file.errorString()));
  return true;
}

bool QRExportPdf(TQuickRep& report, const QString& fileName, QString* error) {
  try {
    const std::unique_ptr<TQRPrinter> pages = report.Prepare(kQRPdfDotsPerInch);
    return QRWritePdf(*pages, report.ReportTitle, fileName, error);
  } catch (const std::exception& e) {
    if (error) *error = QString::fromUtf8(e.what());
    return false;
  }
}

bool TQRPdfExportFilter::Export(TQuickRep& report, const TQRPrinter& shown, const QString& fileName,
                                QString* error) {
  if (shown.LoadedFromFile() || !report.Available())
    return QRWritePdf(shown, report.ReportTitle, fileName, error);
  return QRExportPdf(report, fileName, error);
}

}  // namespace vendrik
