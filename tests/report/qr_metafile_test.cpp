// Recorded pages: what the recording device keeps (text runs with font and
// position, fills, clipping of text), playback, and damaged page bytes.
#include <cstring>

#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <gtest/gtest.h>

#include "report/qr_emf_format.h"
#include "report/qr_metafile.h"
#include "report/qr_page_recorder.h"
#include "report_fixture.h"

namespace vendrik::testing {
namespace {

void Put32(QByteArray& bytes, qint64 at, quint32 value) {
  const quint32 le = qToLittleEndian(value);
  std::memcpy(bytes.data() + at, &le, 4);
}

TEST(MetafileTest, TextRunsKeepTextFontAndBaseline) {
  TQRPageRecorder recorder(QSize(400, 300), 96);
  {
    QPainter painter(&recorder);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(20);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QPointF(30, 40), QStringLiteral("Tárolt ő ű"));
    painter.setClipRect(QRect(0, 0, 100, 100));
    painter.drawText(QPointF(30, 200), QStringLiteral("clipped away"));
  }
  const TQRMetafile page = recorder.Finish();
  ASSERT_FALSE(page.IsNull());
  EXPECT_EQ(page.PixelSize(), QSize(400, 300));
  const std::vector<TQRTextRun> runs = page.TextRuns();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].FText, QStringLiteral("Tárolt ő ű"));
  EXPECT_EQ(runs[0].FOrigin, QPointF(30, 40));
  EXPECT_EQ(runs[0].FFont.pixelSize(), 20);
  EXPECT_EQ(runs[0].FFont.weight(), QFont::Bold);
  EXPECT_EQ(runs[0].FFont.family(), QStringLiteral("Liberation Sans"));
}

TEST(MetafileTest, PlaybackStretchesThePageOverTheTarget) {
  const TQRMetafile page = HandPage(QStringLiteral("x"));
  QImage image(400, 200, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    page.Play(painter, QRectF(0, 0, 400, 200));
  }
  // The red box 10..60 × 10..30 of the 200 × 100 page, doubled.
  EXPECT_EQ(image.pixelColor(60, 40), QColor(Qt::red));
  EXPECT_EQ(image.pixelColor(130, 40), QColor(Qt::white));
}

TEST(MetafileTest, DamagedPageBytesAreRefused) {
  const QByteArray good = HandPage(QStringLiteral("text")).Bytes();
  const qint64 firstRecord = emf::kHeaderSize;
  const struct {
    const char* FWhat;
    std::function<QByteArray(QByteArray)> FDamage;
  } cases[] = {
      {"too short", [](QByteArray b) { return b.left(60); }},
      {"no signature", [](QByteArray b) { Put32(b, emf::kSignatureOffset, 0); return b; }},
      {"length not the header's", [](QByteArray b) { return b + QByteArray(4, '\0'); }},
      {"record beyond the end", [firstRecord](QByteArray b) { Put32(b, firstRecord + 4, 0x7FFFFFF0); return b; }},
      {"record size not aligned", [firstRecord](QByteArray b) { Put32(b, firstRecord + 4, 13); return b; }},
      {"unknown record", [firstRecord](QByteArray b) { Put32(b, firstRecord, 77); return b; }},
      {"no end record", [](QByteArray b) {
         Put32(b, b.size() - emf::kEofSize, emf::kSetBkMode);
         Put32(b, b.size() - emf::kEofSize + 4, 12);
         return b;
       }},
  };
  for (const auto& c : cases) {
    QString error;
    EXPECT_FALSE(TQRMetafile::Parse(c.FDamage(good), &error)) << c.FWhat;
    EXPECT_FALSE(error.isEmpty()) << c.FWhat;
  }
  // A text run whose characters reach beyond its record.
  QByteArray text = good;
  for (qint64 at = emf::kHeaderSize; at < text.size();) {
    quint32 type, size;
    std::memcpy(&type, text.constData() + at, 4);
    std::memcpy(&size, text.constData() + at + 4, 4);
    if (type == emf::kExtTextOutW) Put32(text, at + 44, 1000);
    at += size;
  }
  EXPECT_FALSE(TQRMetafile::Parse(text, nullptr));
  EXPECT_TRUE(TQRMetafile::Parse(good, nullptr));
}

}  // namespace
}  // namespace vendrik::testing
