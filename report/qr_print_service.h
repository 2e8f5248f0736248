// The printing services of the platform as the report engine uses them: the
// installed queues, what a queue offers (read from its PPD), and submitting
// one finished PDF document as one print job. TQRCupsPrintService talks to
// the CUPS server that libcups finds (CUPS_SERVER, client.conf or the local
// socket). Tests use the same service against a server they start.
#pragma once

#include <optional>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "report/qr_print_settings.h"

namespace vendrik {

class IQRPrintService {
 public:
  virtual ~IQRPrintService() = default;
  // The names of the installed queues; empty when there is none or the
  // server cannot be reached.
  virtual QStringList Printers() = 0;
  // The default queue, or the first one; empty when there is none.
  virtual QString DefaultPrinter() = 0;
  // What the queue offers. Nothing, with `error` set, when the queue is
  // unknown or its description cannot be read.
  virtual std::optional<TQRDeviceMode> ReadPrinter(const QString& name, QString* error) = 0;
  // Sends `pdf` to the queue as one job named `title` with `options`.
  // Returns the job id, or 0 with `error` set when the queue refuses it; a
  // refused job leaves nothing in the queue.
  virtual int SubmitPdf(const QString& name, const QString& title, const QByteArray& pdf,
                        const TQRJobOptions& options, QString* error) = 0;
};

class TQRCupsPrintService final : public IQRPrintService {
 public:
  QStringList Printers() override;
  QString DefaultPrinter() override;
  std::optional<TQRDeviceMode> ReadPrinter(const QString& name, QString* error) override;
  int SubmitPdf(const QString& name, const QString& title, const QByteArray& pdf,
                const TQRJobOptions& options, QString* error) override;
};

// The service reports use unless they are given another one.
IQRPrintService& QRStandardPrintService();

// Reads a PPD: PageSize choices with their PaperDimension and ImageableArea,
// the default page size, InputSlot choices with the default, whether a
// Duplex option exists and its default, and DefaultResolution. Papers and
// sources get their codes (QRPaperCodeOfSheet, QRSourceCodeOfName, else
// driver codes from kQRDriverCode). Nothing, with `error` set, when the text
// has no page size with measures.
std::optional<TQRDeviceMode> QRParsePpd(const QByteArray& text, QString* error);

}  // namespace vendrik
