// One print job drawn as a PDF document and sent through the print service.
#include "report/qr_print_job.h"

#include <algorithm>
#include <cmath>

#include <QPageLayout>
#include <QPageSize>

namespace vendrik {
namespace {
constexpr qreal kNativePerMillimetre = 10;
}  // namespace

TQRPrintJob::TQRPrintJob(IQRPrintService& service, QString printer, QString title,
                         const TPrinterSettings& settings, bool landscape)
    : FService(service),
      FPrinter(std::move(printer)),
      FTitle(std::move(title)),
      FOptions(settings.ApplySettings()),
      FDotsPerInchX(settings.FPixelsPerX),
      FDotsPerInchY(settings.FPixelsPerY),
      FLandscape(landscape) {
  TQRReal width = settings.FPaperWidth, length = settings.FPaperLength;
  if (const TQRPaperChoice* paper = settings.JobPaper()) {
    width = paper->FWidth;
    length = paper->FLength;
  }
  FSheetWidth = std::min(width, length);
  FSheetLength = std::max(width, length);
  if (landscape) std::swap(FSheetWidth, FSheetLength);
}

TQRPrintJob::~TQRPrintJob() { Abort(); }

void TQRPrintJob::Start() {
  if (Started()) return;
  FBuffer.setData(QByteArray());
  FBuffer.open(QIODevice::WriteOnly);
  FWriter = std::make_unique<QPdfWriter>(&FBuffer);
  FWriter->setTitle(FTitle);
  FWriter->setCreator(QStringLiteral("Vendrik"));
  FWriter->setResolution(static_cast<int>(std::lround(std::max(FDotsPerInchX, FDotsPerInchY))));
  const QSizeF portrait(static_cast<qreal>(std::min(FSheetWidth, FSheetLength)) / kNativePerMillimetre,
                        static_cast<qreal>(std::max(FSheetWidth, FSheetLength)) / kNativePerMillimetre);
  FWriter->setPageLayout(QPageLayout(QPageSize(portrait, QPageSize::Millimeter),
                                     FLandscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0)));
  FPainter = std::make_unique<QPainter>(FWriter.get());
  // The writer has one resolution; a printer with different horizontal and
  // vertical resolutions is drawn at the larger one, scaled per axis.
  const qreal dpi = FWriter->resolution();
  FPainter->scale(dpi / FDotsPerInchX, dpi / FDotsPerInchY);
}

void TQRPrintJob::NewSheet() {
  if (!Started()) return Start();
  const QTransform transform = FPainter->transform();
  FWriter->newPage();
  FPainter->setTransform(transform);
}

int TQRPrintJob::Finish(QString* error) {
  if (!Started()) return 0;
  FPainter->end();
  FPainter.reset();
  FWriter.reset();
  FBuffer.close();
  const int job = FService.SubmitPdf(FPrinter, FTitle, FBuffer.data(), FOptions, error);
  FBuffer.setData(QByteArray());
  return job > 0 ? job : -1;
}

void TQRPrintJob::Abort() {
  if (FPainter) FPainter->end();
  FPainter.reset();
  FWriter.reset();
  FBuffer.close();
  FBuffer.setData(QByteArray());
}

}  // namespace vendrik
