// The splay-tree code: what is compressed expands to the same bytes, repeated
// bytes get short codes, and coded bytes that end early are an error.
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include "report/qr_splay_code.h"

namespace vendrik::testing {
namespace {

TEST(SplayCodeTest, CompressedBytesExpandToTheOriginal) {
  QRandomGenerator random(17);
  QByteArray noise(5000, '\0');
  for (char& c : noise) c = static_cast<char>(random.bounded(256));
  const QByteArray cases[] = {QByteArray(), QByteArray(1, 'x'), QByteArray(10000, '\0'), noise,
                              QByteArray("EMF page with text runs, text runs and text runs")};
  for (const QByteArray& plain : cases) {
    const QByteArray coded = QRSplayCompress(plain);
    qint64 consumed = -1;
    const std::optional<QByteArray> expanded = QRSplayExpand(coded, plain.size(), consumed);
    ASSERT_TRUE(expanded) << plain.size();
    EXPECT_EQ(*expanded, plain);
    EXPECT_EQ(consumed, coded.size());
  }
  EXPECT_LT(QRSplayCompress(QByteArray(10000, '\0')).size(), 1500);
}

TEST(SplayCodeTest, CodedBytesThatEndEarlyAreAnError) {
  const QByteArray coded = QRSplayCompress(QByteArray("abcdefghijklmnop"));
  qint64 consumed = 0;
  EXPECT_FALSE(QRSplayExpand(coded.left(coded.size() - 2), 16, consumed));
  EXPECT_FALSE(QRSplayExpand(coded, -1, consumed));
}

}  // namespace
}  // namespace vendrik::testing
