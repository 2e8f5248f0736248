// TQuickReport9: the report of the selected record (code, name and
// description of a Vnd03 record), one A4 page per record: the title in the
// page header, the record in the detail band, date and time, the program
// label and the page number in the page footer. Created hidden at start-up;
// it is never shown as a window itself, only its preview is.
//
// The search window's print command restricts the table to the record, hands
// the table to Preview through an IQRDataSet adapter and restores the table's
// filter afterwards. RenderRecordReportPdf writes the same pages to a PDF
// file and PrintRecordReport sends them to a printer queue, both without
// any window (for the command line). The preview's Print and Printer setup
// print through the report engine's printing commands.
#pragma once

#include <memory>

#include <QString>
#include <QWidget>

#include "report/qr_dataset.h"
#include "report/qr_report.h"

namespace vendrik {

class TQuickReport9 : public QWidget {
  Q_OBJECT

 public:
  TQuickReport9();
  ~TQuickReport9() override;

  // The report's title, the caption of its preview window.
  QString ReportTitle() const { return FReport->ReportTitle; }

  // The report model (bands and controls as designed).
  TQuickRep& Report() const { return *FReport; }

  // Prints the records of `dataset` into the preview window and returns when
  // the window has been closed. A generation error closes the window and is
  // thrown (std::exception) to the caller. The dataset is used only during
  // the call.
  void Preview(IQRDataSet& dataset);

 private:
  std::unique_ptr<TQuickRep> FReport;
};

// What the print command needs of the table: the current record's code, the
// filter text and its switch, and the records as the report reads them.
class IRecordPrintTable {
 public:
  virtual ~IRecordPrintTable() = default;
  // The current record's KOD as a string (empty on an empty table).
  virtual QString CurrentCode() = 0;
  virtual QString Filter() const = 0;
  virtual bool Filtered() const = 0;
  virtual void SetFilter(const QString& filter) = 0;
  virtual void SetFiltered(bool filtered) = 0;
  // The table's records for the report (the filtered ones while filtered).
  virtual IQRDataSet& Records() = 0;
};

// The filter that selects the records of one code: KOD = 'code', with every
// single quote inside the code doubled.
QString RecordFilter(const QString& code);

// The search window's print command: filters the table to the current
// record's code, shows the record report's preview and, once it is closed,
// restores the previous filter — also after an error, in the order filtering
// off, filter text, filter switch. An error of any step is thrown after the
// restoring (the first one, when several occur).
void PrintCurrentRecord(IRecordPrintTable& table, TQuickReport9& report);

// Builds the record report's model into `report`, its dataset unset.
void BuildRecordReport(TQuickRep& report);

// Writes the record report of the records `dataset` shows to the PDF file
// `fileName` (A4, one page per record, titled "Nyomtatási kép:"), with the
// layout the preview shows. Needs a QGuiApplication (the offscreen platform
// serves). Returns false with `error` set when the report cannot be made or
// the file cannot be written; an existing file is then left as it was.
bool RenderRecordReportPdf(IQRDataSet& dataset, const QString& fileName, QString* error);

// Prints the record report of the records `dataset` shows to the CUPS queue
// `printer` as one job named "Nyomtatási kép:", with the report's default
// settings and without any window. Needs a QGuiApplication (the offscreen
// platform serves). Returns false with a one-line `error` when the queue is
// unknown, cannot be read or refuses the job, or the report cannot be made;
// nothing reaches a queue then. `jobId`, when given, receives the job's id.
bool PrintRecordReport(IQRDataSet& dataset, const QString& printer, QString* error,
                       int* jobId = nullptr);

}  // namespace vendrik
