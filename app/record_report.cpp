// The record report's layout and its two uses: the preview and the PDF file.
#include "app/record_report.h"

#include <exception>
#include <functional>

#include "report/qr_export.h"
#include "report/qr_print.h"
#include "report/qr_print_service.h"

namespace vendrik {
namespace {

// Positions and sizes below are native units (0.1 mm): Height, Left, Top, Width.
constexpr TQRReal kPageHeaderHeight = 113.77083333333333L;
constexpr TQRReal kDetailHeight = 2540.0L;
constexpr TQRReal kPageFooterHeight = 105.83333333333333L;
constexpr TQRReal kDesignBandWidth = 1899.7L;

QFont ArialFont(int points, bool bold, bool italic = false, bool underline = false) {
  QFont font(QStringLiteral("Arial"), points);
  font.setBold(bold);
  font.setItalic(italic);
  font.setUnderline(underline);
  return font;
}

template <typename T>
T& Place(TQRBand& band, const char* name, TQRReal height, TQRReal left, TQRReal top, TQRReal width) {
  T& control = band.AddPrintable<T>(QString::fromLatin1(name));
  control.SetSizeValues(height, left, top, width);
  return control;
}

TQRLabel& Label(TQRBand& band, const char* name, TQRReal height, TQRReal left, TQRReal top,
                TQRReal width, const QString& caption, const QFont& font) {
  TQRLabel& label = Place<TQRLabel>(band, name, height, left, top, width);
  label.Caption = caption;
  label.Font = font;
  label.ParentFont = false;
  return label;
}

}  // namespace

void BuildRecordReport(TQuickRep& report) {
  report.Font = ArialFont(10, false);
  report.ReportTitle = QStringLiteral("Nyomtatási kép:");
  report.Units = TQRUnit::MM;
  report.SetZoom(100);
  report.Page.SetPaperSize(TQRPaperSize::A4);
  report.Page.SetOrientation(TQROrientation::poPortrait);
  report.Page.SetValues({100, 2970, 100, 2100, 100, 100, 0});
  report.Page.SetColumns(1);

  TQRBand& header = report.CreateBand(TQRBandType::rbPageHeader, QStringLiteral("QRBand1"));
  header.Height = kPageHeaderHeight;
  header.Width = kDesignBandWidth;
  TQRLabel& title = Label(header, "QRLabel1", 60.9L, 26.5L, 21.2L, 1844.1L,
                          QStringLiteral("Tárolt Vendrik adat"), ArialFont(14, true, false, true));
  title.Alignment = TQRAlignment::Center;
  title.AutoSize = false;

  TQRBand& detail = report.CreateBand(TQRBandType::rbDetail, QStringLiteral("QRBand2"));
  detail.Height = kDetailHeight;
  detail.Width = kDesignBandWidth;
  Label(detail, "QRLabel2", 45.0L, 21.2L, 42.3L, 79.4L, QStringLiteral("Kód:"), ArialFont(10, true));
  Label(detail, "QRLabel3", 45.0L, 21.2L, 105.8L, 222.3L, QStringLiteral("Megnevezés:"), ArialFont(10, true));
  Label(detail, "QRLabel5", 45.0L, 21.2L, 211.7L, 116.4L, QStringLiteral("Leírás:"), ArialFont(10, true));
  const struct {
    const char* FName;
    TQRReal FTop;
    const char* FField;
  } fields[] = {{"QRDBText1", 42.3L, "KOD"}, {"QRDBText2", 105.8L, "MEGNEV"}};
  for (const auto& f : fields) {
    TQRDBText& text = Place<TQRDBText>(detail, f.FName, 45.0L, 254.0L, f.FTop, 1611.3L);
    text.DataField = QString::fromLatin1(f.FField);
    text.AutoSize = false;
  }
  TQRDBRichText& description = Place<TQRDBRichText>(detail, "QRDBRichText1", 2225.1L, 42.3L, 275.2L, 1823.0L);
  description.DataField = QStringLiteral("LEIRAS");
  description.Font = ArialFont(10, false);
  description.ParentFont = false;

  TQRBand& footer = report.CreateBand(TQRBandType::rbPageFooter, QStringLiteral("QRBand3"));
  footer.Height = kPageFooterHeight;
  footer.Width = kDesignBandWidth;
  footer.Frame.DrawTop = true;
  TQRSysData& dateTime = Place<TQRSysData>(footer, "QRSysData1", 45.0L, 0.0L, 13.2L, 317.5L);
  dateTime.Data = TQRSysDataType::qrsDateTime;
  TQRLabel& program = Label(footer, "QRLabel6", 45.0L, 344.0L, 13.2L, 1357.3L,
                            QStringLiteral("Vendrik '03 - V1.0.0.0"), ArialFont(9, true));
  program.Alignment = TQRAlignment::Center;
  program.AutoSize = false;
  TQRSysData& pageNumber = Place<TQRSysData>(footer, "QRSysData2", 45.0L, 1719.8L, 13.2L, 79.4L);
  pageNumber.Data = TQRSysDataType::qrsPageNumber;
  pageNumber.Alignment = TQRAlignment::Right;
  for (TQRSysData* data : {&dateTime, &pageNumber}) {
    data->Font = ArialFont(9, true, true);
    data->ParentFont = false;
    data->AutoSize = false;
  }
  TQRLabel& page = Label(footer, "QRLabel7", 45.0L, 1796.5L, 13.2L, 92.6L, QStringLiteral(". oldal"),
                         ArialFont(9, true, true));
  page.Alignment = TQRAlignment::Right;
  page.AutoSize = false;
}

TQuickReport9::TQuickReport9()
    : QWidget(nullptr), FReport(std::make_unique<TQuickRep>(QStringLiteral("QuickReport9"))) {
  setObjectName(QStringLiteral("QuickReport9"));
  BuildRecordReport(*FReport);
  FReport->RegisterExportFilter(std::make_unique<TQRPdfExportFilter>());
  FReport->OnPrint = [](TQRStandardPreview& preview) { QRPreviewPrint(preview); };
  FReport->OnPrinterSetup = [](TQRStandardPreview& preview) { QRPreviewPrinterSetup(preview); };
  setWindowTitle(FReport->ReportTitle);
}

TQuickReport9::~TQuickReport9() = default;

void TQuickReport9::Preview(IQRDataSet& dataset) {
  FReport->DataSet = &dataset;
  struct TForget {
    TQuickRep& FReport;
    ~TForget() { FReport.DataSet = nullptr; }
  } forget{*FReport};
  FReport->Preview();
}

QString RecordFilter(const QString& code) {
  QString literal = code;
  literal.replace(QLatin1Char('\''), QStringLiteral("''"));
  return QStringLiteral("KOD = '%1'").arg(literal);
}

void PrintCurrentRecord(IRecordPrintTable& table, TQuickReport9& report) {
  const QString previousFilter = table.Filter();
  const bool previousFiltered = table.Filtered();
  std::exception_ptr error;
  auto step = [&error](const std::function<void()>& action) {
    try {
      action();
    } catch (...) {
      if (!error) error = std::current_exception();
    }
  };
  step([&] {
    table.SetFilter(RecordFilter(table.CurrentCode()));
    table.SetFiltered(true);
    report.Preview(table.Records());
  });
  step([&] { table.SetFiltered(false); });
  step([&] { table.SetFilter(previousFilter); });
  step([&] { table.SetFiltered(previousFiltered); });
  if (error) std::rethrow_exception(error);
}

bool RenderRecordReportPdf(IQRDataSet& dataset, const QString& fileName, QString* error) {
  TQuickRep report(QStringLiteral("QuickReport9"));
  BuildRecordReport(report);
  report.DataSet = &dataset;
  return QRExportPdf(report, fileName, error);
}

bool PrintRecordReport(IQRDataSet& dataset, const QString& printer, QString* error, int* jobId) {
  TQuickRep report(QStringLiteral("QuickReport9"));
  BuildRecordReport(report);
  report.DataSet = &dataset;
  report.ShowProgress = false;
  IQRPrintService& service = report.Printing();
  const int index = static_cast<int>(service.Printers().indexOf(printer));
  if (index < 0) {
    if (error) *error = QStringLiteral("Unknown printer queue \"%1\".").arg(printer);
    return false;
  }
  report.PrinterSettings.PrinterIndex = index;
  try {
    const int job = report.Print();
    if (jobId) *jobId = job;
    return true;
  } catch (const std::exception& e) {
    if (error) *error = QString::fromUtf8(e.what()).simplified();
    return false;
  }
}

}  // namespace vendrik
