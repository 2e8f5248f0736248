// The record report as a PDF file: the pages of demo records read back with
// the PDF tools (pdftotext -bbox for the words and their boxes, pdfinfo for
// the pages and the title, pdftoppm for the footer line), the model's layout
// values, and the print command's filter: set to the code, restored after the
// preview and after an error.
#include <cmath>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "app/record_report.h"
#include "report/qr_preview.h"

namespace vendrik::testing {
namespace {

constexpr double kPointsPerMM = 72.0 / 25.4;
constexpr double kTolerance = 2.0;  // points

struct TWord {
  QString FText;
  double FLeft, FTop, FRight, FBottom;  // points from the top left corner
};

QString RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) return QString();
  return QString::fromUtf8(process.readAllStandardOutput());
}

std::vector<TWord> Words(const QString& pdf) {
  const QString html = RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
  static const QRegularExpression word(QStringLiteral(
      R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
  std::vector<TWord> words;
  for (auto it = word.globalMatch(html); it.hasNext();) {
    const auto m = it.next();
    QString text = m.captured(5);
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&")).replace(QStringLiteral("&#39;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&apos;"), QStringLiteral("'")).replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    words.push_back({text, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                     m.captured(4).toDouble()});
  }
  return words;
}

const TWord* Find(const std::vector<TWord>& words, const QString& text) {
  for (const TWord& w : words)
    if (w.FText == text) return &w;
  return nullptr;
}

double MM(double millimetres) { return millimetres * kPointsPerMM; }

// A description of numbered lines, each its own paragraph, as rich text.
QString LongDescription(int lines) {
  QString rtf = QStringLiteral("{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ");
  for (int i = 1; i <= lines; ++i) rtf += QStringLiteral("sor%1 \\'f5r\\'fb\\par ").arg(i);
  return rtf + QLatin1Char('}');
}

class RecordReportPdfTest : public ::testing::Test {
 protected:
  QString Render(TQRMemoryDataSet& data) {
    const QString path = FDir.filePath(QStringLiteral("out.pdf"));
    QString error;
    EXPECT_TRUE(RenderRecordReportPdf(data, path, &error)) << error.toStdString();
    return path;
  }
  static TQRMemoryDataSet Demo(std::vector<QStringList> rows) {
    return TQRMemoryDataSet({QStringLiteral("KOD"), QStringLiteral("MEGNEV"), QStringLiteral("LEIRAS")},
                            std::move(rows));
  }
  QTemporaryDir FDir;
};

TEST_F(RecordReportPdfTest, OneRecordIsOneA4PageWithTitleLabelsValuesAndFooter) {
  TQRMemoryDataSet data = Demo({{QStringLiteral("58.05.1"), QStringLiteral("Könyvkiadás"),
                                 QStringLiteral("Nyomtatott könyvek kiadása; ő és ű.")}});
  const QString pdf = Render(data);
  const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
  EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n")))) << info.toStdString();
  EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)? pts \\(A4\\)"))))
      << info.toStdString();
  EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+Nyomtatási kép:")))) << info.toStdString();

  const std::vector<TWord> words = Words(pdf);
  // The title is centred in its label (12.65 mm + 184.41 mm / 2) at 12.12 mm from the top.
  const TWord* first = Find(words, QStringLiteral("Tárolt"));
  const TWord* last = Find(words, QStringLiteral("adat"));
  ASSERT_TRUE(first && last);
  EXPECT_NEAR((first->FLeft + last->FRight) / 2, MM(12.65 + 184.41 / 2), kTolerance);
  EXPECT_NEAR(first->FTop, MM(12.12), 3.0);

  // Labels and values of the detail band, which starts at 21.38 mm.
  struct Case {
    const char* FText;
    double FLeftMM, FTopMM;
  };
  const Case cases[] = {{"Kód:", 12.12, 25.61},        {"58.05.1", 35.40, 25.61},
                        {"Megnevezés:", 12.12, 31.96}, {"Könyvkiadás", 35.40, 31.96},
                        {"Leírás:", 12.12, 42.55},     {"Nyomtatott", 14.23, 48.90}};
  for (const Case& c : cases) {
    const TWord* w = Find(words, QString::fromUtf8(c.FText));
    ASSERT_TRUE(w) << c.FText;
    EXPECT_NEAR(w->FLeft, MM(c.FLeftMM), kTolerance) << c.FText;
    EXPECT_NEAR(w->FTop, MM(c.FTopMM), 3.0) << c.FText;
  }
  EXPECT_TRUE(Find(words, QStringLiteral("ő")) && Find(words, QStringLiteral("ű.")));

  // Footer at 276.42 mm: the page number directly followed by ". oldal", the program label centred.
  const TWord* page = Find(words, QStringLiteral("1."));
  const TWord* oldal = Find(words, QStringLiteral("oldal"));
  ASSERT_TRUE(page && oldal);
  EXPECT_NEAR(oldal->FRight, MM(10 + 188.91), kTolerance);
  EXPECT_NEAR(page->FTop, MM(276.42 + 1.32), 3.0);
  const TWord* program = Find(words, QStringLiteral("Vendrik"));
  const TWord* version = Find(words, QStringLiteral("V1.0.0.0"));
  ASSERT_TRUE(program && version);
  EXPECT_NEAR((Find(words, QStringLiteral("'03"))->FLeft + version->FRight) / 2 -
                  (Find(words, QStringLiteral("'03"))->FLeft - program->FLeft) / 2,
              MM(10 + 34.40 + 135.73 / 2), 6.0);
}

TEST_F(RecordReportPdfTest, FooterLineSpansTheBandWidth) {
  TQRMemoryDataSet data = Demo({{QStringLiteral("01"), QStringLiteral("Név"), QString()}});
  const QString pdf = Render(data);
  const QString prefix = FDir.filePath(QStringLiteral("page"));
  RunTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-png"),
                                   QStringLiteral("-singlefile"), pdf, prefix});
  const QImage image(prefix + QStringLiteral(".png"));
  ASSERT_FALSE(image.isNull());
  const int lineY = static_cast<int>(std::lround(276.42 / 25.4 * 100));
  auto darkShare = [&](int y, double fromMM, double toMM) {
    int dark = 0, all = 0;
    for (int x = static_cast<int>(fromMM / 25.4 * 100); x < static_cast<int>(toMM / 25.4 * 100); ++x, ++all)
      if (qGray(image.pixel(x, y)) < 128) ++dark;
    return static_cast<double>(dark) / all;
  };
  double best = 0;
  for (int y = lineY - 1; y <= lineY + 1; ++y) best = std::max(best, darkShare(y, 11, 199));
  EXPECT_GT(best, 0.95);
  EXPECT_LT(darkShare(lineY - 6, 11, 199), 0.05);
}

TEST_F(RecordReportPdfTest, LongDescriptionIsCutAtItsBoxOnOnePage) {
  TQRMemoryDataSet data = Demo({{QStringLiteral("01"), QStringLiteral("Név"), LongDescription(200)}});
  const QString pdf = Render(data);
  EXPECT_TRUE(RunTool(QStringLiteral("pdfinfo"), {pdf}).contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
  const std::vector<TWord> words = Words(pdf);
  double lowest = 0;
  int lines = 0;
  for (const TWord& w : words) {
    if (!w.FText.startsWith(QStringLiteral("sor"))) continue;
    ++lines;
    lowest = std::max(lowest, w.FBottom);
  }
  EXPECT_GT(lines, 10);
  EXPECT_LT(lines, 200);
  EXPECT_LE(lowest, MM(21.38 + 27.52 + 222.51) + 0.5);
  EXPECT_TRUE(Find(words, QStringLiteral("sor1")));
  EXPECT_TRUE(Find(words, QStringLiteral("őrű")));
}

TEST_F(RecordReportPdfTest, RecordsOfOneCodeGetAPageEachAndNoRecordStillGivesAPage) {
  struct Case {
    int FRecords;
    const char* FPages;
  };
  for (const Case c : {Case{2, "2"}, Case{0, "1"}}) {
    TQRMemoryDataSet data = Demo({});
    for (int i = 0; i < c.FRecords; ++i) data.AddRow({QStringLiteral("01"), QStringLiteral("Név %1").arg(i), QString()});
    const QString pdf = Render(data);
    const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(QLatin1String(c.FPages)))))
        << info.toStdString();
    const std::vector<TWord> words = Words(pdf);
    EXPECT_TRUE(Find(words, QStringLiteral("Kód:")));
    EXPECT_EQ(Find(words, QStringLiteral("Név")) != nullptr, c.FRecords > 0);
  }
}

TEST_F(RecordReportPdfTest, UnwritablePathIsAnErrorAndNoFile) {
  TQRMemoryDataSet data = Demo({{QStringLiteral("01"), QStringLiteral("Név"), QString()}});
  QString error;
  const QString path = FDir.filePath(QStringLiteral("missing/out.pdf"));
  EXPECT_FALSE(RenderRecordReportPdf(data, path, &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(QFile::exists(path));
}

TEST(RecordReportTest, ModelHoldsTheDesignedBandsAndPage) {
  TQuickReport9 report;
  TQuickRep& model = report.Report();
  EXPECT_EQ(report.objectName(), QStringLiteral("QuickReport9"));
  EXPECT_EQ(model.ReportTitle, QStringLiteral("Nyomtatási kép:"));
  const std::array<TQRReal, 7> values{100, 2970, 100, 2100, 100, 100, 0};
  EXPECT_EQ(model.Page.Values(), values);
  ASSERT_EQ(model.Bands().size(), 3u);
  EXPECT_EQ(model.PageHeaderBand()->Name, QStringLiteral("QRBand1"));
  EXPECT_EQ(model.DetailBand()->Height, 2540.0L);
  EXPECT_TRUE(model.PageFooterBand()->Frame.DrawTop);
  auto* description = dynamic_cast<TQRDBRichText*>(model.FindControl(QStringLiteral("QRDBRichText1")));
  ASSERT_TRUE(description);
  EXPECT_FALSE(description->AutoStretch);
  EXPECT_EQ(description->Height, 2225.1L);
  EXPECT_EQ(model.ExportFilters().size(), 1u);
}


TEST(RecordPrintCommandTest, FilterSelectsTheCodeWithQuotesDoubled) {
  const struct {
    const char* FCode;
    const char* FFilter;
  } cases[] = {{"0101", "KOD = '0101'"}, {"O'B", "KOD = 'O''B'"}, {"", "KOD = ''"}};
  for (const auto& c : cases) EXPECT_EQ(RecordFilter(QString::fromLatin1(c.FCode)), QString::fromLatin1(c.FFilter));
}

// A table that logs the filter calls, optionally failing one of them.
class TLoggingTable final : public IRecordPrintTable {
 public:
  QString CurrentCode() override { return QStringLiteral("58.05.1"); }
  QString Filter() const override { return FFilter; }
  bool Filtered() const override { return FFiltered; }
  void SetFilter(const QString& filter) override {
    FLog << QStringLiteral("Filter=") + filter;
    if (filter == FFailingFilter) throw std::runtime_error("Bad filter");
    FFilter = filter;
  }
  void SetFiltered(bool filtered) override {
    FLog << QStringLiteral("Filtered=%1").arg(filtered);
    FFiltered = filtered;
  }
  IQRDataSet& Records() override { return FRecords; }

  QString FFilter = QStringLiteral("MEGNEV = 'x'");
  bool FFiltered = true;
  QString FFailingFilter;
  QStringList FLog;
  TQRMemoryDataSet FRecords{{QStringLiteral("KOD"), QStringLiteral("MEGNEV"), QStringLiteral("LEIRAS")},
                            {{QStringLiteral("58.05.1"), QStringLiteral("Név"), QString()}}};
};

// Closes the record report's preview as soon as its pages are finished.
class TPreviewCloser {
 public:
  TPreviewCloser() {
    QObject::connect(&FTimer, &QTimer::timeout, [this] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* preview = qobject_cast<TQRStandardPreview*>(widget);
        if (!preview || !preview->isVisible() || !preview->Button(QStringLiteral("nextPage"))->isEnabled())
          continue;
        FStatus = preview->PanelText(1);
        preview->close();
      }
    });
    FTimer.start(10);
  }
  QString FStatus;

 private:
  QTimer FTimer;
};

TEST(RecordPrintCommandTest, PreviousFilterIsRestoredAfterSuccessAndAfterAnError) {
  const QStringList restore = {QStringLiteral("Filtered=0"), QStringLiteral("Filter=MEGNEV = 'x'"),
                               QStringLiteral("Filtered=1")};
  {
    TQuickReport9 report;
    TLoggingTable table;
    TPreviewCloser closer;
    PrintCurrentRecord(table, report);
    EXPECT_EQ(closer.FStatus, QStringLiteral("Page 1 of 1"));
    EXPECT_EQ(table.FLog,
              QStringList({QStringLiteral("Filter=KOD = '58.05.1'"), QStringLiteral("Filtered=1")}) + restore);
  }
  {
    TQuickReport9 report;
    TLoggingTable table;
    table.FFailingFilter = QStringLiteral("KOD = '58.05.1'");
    EXPECT_THROW(PrintCurrentRecord(table, report), std::runtime_error);
    EXPECT_EQ(table.FLog, QStringList({QStringLiteral("Filter=KOD = '58.05.1'")}) + restore);
    EXPECT_EQ(table.FFilter, QStringLiteral("MEGNEV = 'x'"));
    EXPECT_TRUE(table.FFiltered);
  }
}

}  // namespace
}  // namespace vendrik::testing
