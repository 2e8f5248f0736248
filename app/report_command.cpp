// The record report of one code written to a PDF file or sent to a printer
// queue, without windows.
#include "app/report_command.h"

#include <exception>

#include <QDir>
#include <QtGlobal>

#include "app/record_report.h"
#include "app/table_print_adapter.h"
#include "app/tdb_components.h"

namespace vendrik {
namespace {

void DropQtMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

// Writes "vendrik: " and `text` as one line: line breaks inside become blanks.
void PrintFailure(std::FILE* errors, QString text) {
  text = text.simplified();
  std::fprintf(errors, "vendrik: %s\n", text.toUtf8().constData());
}

}  // namespace

void PrepareReportCommand() {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(DropQtMessage);
}

int RunReportCommand(const TReportRequest& request, std::FILE* errors) {
  const QString code = QString::fromStdString(request.FCode);
  try {
    TDataComponents components = CreateTdbComponents();
    components.FDatabase->SetLocation(QDir::currentPath());
    components.FTable->SetActive(true);
    TTablePrintAdapter table(*components.FTable);
    table.SetFilter(RecordFilter(code));
    table.SetFiltered(true);
    table.First();
    if (table.Eof()) {
      PrintFailure(errors, QStringLiteral("nincs %1 kódú rekord a Vnd03 táblában").arg(code));
      return kReportFailedStatus;
    }
    QString error;
    bool written = false;
    switch (request.FTarget) {
      case TReportTarget::rtPdfFile:
        written = RenderRecordReportPdf(table, QString::fromStdString(request.FDestination), &error);
        break;
      case TReportTarget::rtPrinter:
        written = PrintRecordReport(table, QString::fromStdString(request.FDestination), &error);
        break;
    }
    if (!written) {
      PrintFailure(errors, error);
      return kReportFailedStatus;
    }
    return 0;
  } catch (const std::exception& e) {
    PrintFailure(errors, QString::fromUtf8(e.what()));
  } catch (...) {
    PrintFailure(errors, QStringLiteral("ismeretlen hiba"));
  }
  return kReportFailedStatus;
}

}  // namespace vendrik
