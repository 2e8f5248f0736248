// Helpers of the report tests: a small report with page header, detail and
// page footer over an in-memory dataset, and pages recorded by hand.
#pragma once

#include <memory>

#include <QPainter>

#include "report/qr_dataset.h"
#include "report/qr_page_recorder.h"
#include "report/qr_report.h"

namespace vendrik::testing {

// A report of the fields CODE and TEXT: page header "Title" (10 mm), detail
// band of `detailHeight` with the code and the text as rich text of
// `textHeight`, page footer with the page number (10 mm).
inline std::unique_ptr<TQuickRep> SmallReport(TQRReal detailHeight = 500, TQRReal textHeight = 300) {
  auto report = std::make_unique<TQuickRep>(QStringLiteral("Small"));
  report->ReportTitle = QStringLiteral("Small report");
  TQRBand& header = report->CreateBand(TQRBandType::rbPageHeader, QStringLiteral("Header"));
  header.Height = 100;
  TQRLabel& title = header.AddPrintable<TQRLabel>(QStringLiteral("TitleLabel"));
  title.Caption = QStringLiteral("Title");
  title.SetSizeValues(45, 10, 10, 300);
  TQRBand& detail = report->CreateBand(TQRBandType::rbDetail, QStringLiteral("Detail"));
  detail.Height = detailHeight;
  TQRDBText& code = detail.AddPrintable<TQRDBText>(QStringLiteral("Code"));
  code.DataField = QStringLiteral("CODE");
  code.AutoSize = false;
  code.SetSizeValues(45, 10, 10, 1000);
  TQRDBRichText& text = detail.AddPrintable<TQRDBRichText>(QStringLiteral("Text"));
  text.DataField = QStringLiteral("TEXT");
  text.SetSizeValues(textHeight, 10, 100, 1800);
  TQRBand& footer = report->CreateBand(TQRBandType::rbPageFooter, QStringLiteral("Footer"));
  footer.Height = 100;
  footer.Frame.DrawTop = true;
  TQRSysData& page = footer.AddPrintable<TQRSysData>(QStringLiteral("PageNo"));
  page.Data = TQRSysDataType::qrsPageNumber;
  page.Text = QStringLiteral("Page ");
  page.AutoSize = false;
  page.SetSizeValues(45, 10, 10, 400);
  return report;
}

inline TQRMemoryDataSet Records(std::vector<QStringList> rows) {
  return TQRMemoryDataSet({QStringLiteral("CODE"), QStringLiteral("TEXT")}, std::move(rows));
}

// A page of 200 × 100 pixels at 96 dpi with one text run and one rectangle.
inline TQRMetafile HandPage(const QString& text) {
  TQRPageRecorder recorder(QSize(200, 100), 96);
  {
    QPainter painter(&recorder);
    painter.fillRect(QRect(10, 10, 50, 20), Qt::red);
    painter.setFont(QFont(QStringLiteral("Liberation Sans"), 10));
    painter.drawText(QPointF(20, 50), text);
  }
  return recorder.Finish();
}

// All text runs of a page joined by "|".
inline QString RunsOf(const TQRMetafile& page) {
  QStringList texts;
  for (const TQRTextRun& run : page.TextRuns()) texts << run.FText;
  return texts.join(QLatin1Char('|'));
}

}  // namespace vendrik::testing
