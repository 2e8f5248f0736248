// TQRPrintJob: the printer side of a printing sink. The sheets of one job
// are drawn into one PDF document in memory at the printer's resolution, a
// sheet the size of the job's paper with its origin at the paper's edge;
// Finish hands the document to the print service as one job. A job that is
// never started sends nothing, and Abort drops what was drawn.
#pragma once

#include <memory>

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include "report/qr_print_service.h"

namespace vendrik {

class TQRPrintJob {
 public:
  // A job for `printer` on `service`, named `title`, with the settings'
  // paper, resolution and options. `landscape` turns the sheet.
  TQRPrintJob(IQRPrintService& service, QString printer, QString title, const TPrinterSettings& settings,
              bool landscape);
  ~TQRPrintJob();

  bool Started() const { return FPainter != nullptr; }
  // Starts the document with its first sheet; afterwards NewSheet adds one.
  void Start();
  void NewSheet();
  // The painter of the current sheet, in printer pixels from the paper edge.
  QPainter& Painter() { return *FPainter; }
  qreal DotsPerInchX() const { return FDotsPerInchX; }
  qreal DotsPerInchY() const { return FDotsPerInchY; }

  // Ends the document and sends it. Returns the job id, 0 when the job was
  // never started, or -1 with `error` set when the queue refused it.
  int Finish(QString* error);
  // Drops the document; nothing is sent.
  void Abort();

 private:
  IQRPrintService& FService;
  QString FPrinter, FTitle;
  TQRJobOptions FOptions;
  qreal FDotsPerInchX, FDotsPerInchY;
  TQRReal FSheetWidth, FSheetLength;
  bool FLandscape;
  QBuffer FBuffer;
  std::unique_ptr<QPdfWriter> FWriter;
  std::unique_ptr<QPainter> FPainter;
};

}  // namespace vendrik
