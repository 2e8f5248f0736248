// The CUPS print service: queues from cupsGetDests2, the PPD fetched from the
// server, jobs made with cupsCreateJob and one PDF document. A job whose
// document fails to arrive is cancelled, so that nothing half-sent prints.
#include <cups/cups.h>

#include <QTemporaryFile>

#include "report/qr_print_service.h"

namespace vendrik {
namespace {

QString LastCupsError() { return QString::fromUtf8(cupsLastErrorString()); }

// Owns the list of destinations of one cupsGetDests2 call.
class TDests {
 public:
  TDests() { FCount = cupsGetDests2(CUPS_HTTP_DEFAULT, &FDests); }
  ~TDests() { cupsFreeDests(FCount, FDests); }
  TDests(const TDests&) = delete;
  TDests& operator=(const TDests&) = delete;
  cups_dest_t* begin() const { return FDests; }
  cups_dest_t* end() const { return FDests + FCount; }

 private:
  cups_dest_t* FDests = nullptr;
  int FCount = 0;
};

QString UnknownQueue(const QString& name) {
  return QStringLiteral("Unknown printer queue \"%1\".").arg(name);
}

}  // namespace

QStringList TQRCupsPrintService::Printers() {
  QStringList names;
  for (const cups_dest_t& dest : TDests())
    if (!dest.instance) names << QString::fromUtf8(dest.name);
  return names;
}

QString TQRCupsPrintService::DefaultPrinter() {
  QString first;
  for (const cups_dest_t& dest : TDests()) {
    if (dest.instance) continue;
    if (dest.is_default) return QString::fromUtf8(dest.name);
    if (first.isEmpty()) first = QString::fromUtf8(dest.name);
  }
  return first;
}

std::optional<TQRDeviceMode> TQRCupsPrintService::ReadPrinter(const QString& name, QString* error) {
  if (!Printers().contains(name)) {
    if (error) *error = UnknownQueue(name);
    return std::nullopt;
  }
  http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              30000, nullptr);
  if (!http) {
    if (error) *error = QStringLiteral("Cannot reach the print server: %1").arg(LastCupsError());
    return std::nullopt;
  }
  QTemporaryFile ppd;
  http_status_t status = HTTP_STATUS_ERROR;
  if (ppd.open()) {
    const QByteArray resource = "/printers/" + name.toUtf8() + ".ppd";
    status = cupsGetFd(http, resource.constData(), ppd.handle());
  }
  httpClose(http);
  if (status == HTTP_STATUS_NOT_FOUND) {
    // A queue without a printer description (a raw queue): A4 and Letter,
    // no sources, one-sided.
    TQRDeviceMode mode;
    for (TQRPaperSize size : {TQRPaperSize::A4, TQRPaperSize::Letter}) {
      const TQRSheet sheet = *QRPaperSheet(size);
      mode.FPapers.push_back({size == TQRPaperSize::A4 ? QStringLiteral("A4") : QStringLiteral("Letter"),
                              QRPaperCode(size), sheet.FWidth, sheet.FLength, 0, 0});
    }
    mode.FDefaultPaper = 0;
    return mode;
  }
  if (status != HTTP_STATUS_OK) {
    if (error)
      *error = QStringLiteral("Cannot read the description of printer \"%1\": %2").arg(name, LastCupsError());
    return std::nullopt;
  }
  ppd.seek(0);
  return QRParsePpd(ppd.readAll(), error);
}

int TQRCupsPrintService::SubmitPdf(const QString& name, const QString& title, const QByteArray& pdf,
                                   const TQRJobOptions& options, QString* error) {
  auto fail = [error](const QString& text) {
    if (error) *error = text;
    return 0;
  };
  if (!Printers().contains(name)) return fail(UnknownQueue(name));
  const QByteArray queue = name.toUtf8(), jobName = title.toUtf8();
  cups_option_t* cupsOptions = nullptr;
  int optionCount = 0;
  for (const auto& [option, value] : options.FOptions)
    optionCount = cupsAddOption(option.toUtf8().constData(), value.toUtf8().constData(), optionCount,
                                &cupsOptions);
  const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, queue.constData(), jobName.constData(), optionCount,
                                cupsOptions);
  cupsFreeOptions(optionCount, cupsOptions);
  if (job <= 0)
    return fail(QStringLiteral("Printer \"%1\" refused the job: %2").arg(name, LastCupsError()));
  bool sent = cupsStartDocument(CUPS_HTTP_DEFAULT, queue.constData(), job, jobName.constData(),
                                CUPS_FORMAT_PDF, 1) == HTTP_STATUS_CONTINUE;
  sent = sent && cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.constData(),
                                      static_cast<size_t>(pdf.size())) == HTTP_STATUS_CONTINUE;
  const ipp_status_t finished = cupsFinishDocument(CUPS_HTTP_DEFAULT, queue.constData());
  if (!sent || finished > IPP_STATUS_OK_CONFLICTING) {
    const QString reason = LastCupsError();
    cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.constData(), job, 1);
    return fail(QStringLiteral("Printer \"%1\" refused the job: %2").arg(name, reason));
  }
  return job;
}

IQRPrintService& QRStandardPrintService() {
  static TQRCupsPrintService service;
  return service;
}

}  // namespace vendrik
