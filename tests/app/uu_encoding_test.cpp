// The update request's line encoding: known vectors, the character mapping,
// the 63-byte groups, and agreement with Python's uuencoder (binascii, with
// the grave accent for zero) on every byte value.
#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include "app/uu_encoding.h"
#include "python_runner.h"

namespace vendrik::testing {
namespace {

TEST(UUEncodingTest, KnownVectors) {
  struct Case {
    const char* FName;
    QString FText;
    QByteArray FEncoded;
  };
  const Case cases[] = {
      {"empty", QString(), QByteArray()},
      {"one byte", QStringLiteral("a"), QByteArray("!80``")},
      {"two bytes", QStringLiteral("ab"), QByteArray("\"86(`")},
      {"three bytes", QStringLiteral("abc"), QByteArray("#86)C")},
      {"zero bytes use the grave accent", QString(QChar(0)).repeated(3), QByteArray("#````")},
      {"Latin-1 passes unchanged", QStringLiteral("é"), QByteArray("!Z0``")},
      {"beyond Latin-1 becomes ?", QStringLiteral("Ő"), QByteArray("!/P``")},
      {"a character beyond 16 bits is one ?", QString::fromUcs4(U"\U0001F600"), QByteArray("!/P``")},
      {"a label line", QStringLiteral("PROXY USING     : 0"),
       QByteArray("34%)/6%D@55-)3D<@(\"`@(#H@,```")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.FName);
    EXPECT_EQ(UUEncodeString(c.FText), c.FEncoded);
  }
}

TEST(UUEncodingTest, GroupsHoldAtMost63Bytes) {
  const QString full(kUUEncodeGroupBytes, QLatin1Char('x'));
  const QByteArray one = UUEncodeString(full);
  EXPECT_EQ(one.front(), '_') << "63 is the alphabet's last character";
  EXPECT_EQ(one.size(), 1 + 4 * 21);
  EXPECT_FALSE(one.contains('\r'));

  const QByteArray two = UUEncodeString(full + QStringLiteral("y"));
  const QList<QByteArray> lines = two.split('\n');
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[0], one + '\r');
  EXPECT_EQ(lines[1], UUEncodeString(QStringLiteral("y")));
}

// Python's b2a_uu cuts at 45 bytes, so the comparison stays below that; each
// length from 1 to 45 is tried, and together the texts hold every byte value.
TEST(UUEncodingTest, AgreesWithPythonsUUEncoderOnEveryByteValue) {
  QStringList texts;
  int next = 0;
  for (int length = 1; length <= 45; ++length) {
    QString text;
    for (int i = 0; i < length; ++i) text.append(QChar((next++ * 7) % 256));
    texts << text;
  }
  for (int start = 0; start < 256; start += 45) {
    QString text;
    for (int value = start; value < std::min(256, start + 45); ++value) text.append(QChar(value));
    texts << text;
  }
  QByteArray input;
  QByteArray expected;
  for (const QString& text : texts) {
    input += text.toLatin1().toHex() + '\n';
    expected += UUEncodeString(text) + '\n';
  }
  const TPythonResult result = RunPython(
      "import binascii, sys\n"
      "for line in sys.stdin.read().split():\n"
      "    sys.stdout.buffer.write(binascii.b2a_uu(bytes.fromhex(line), backtick=True))\n",
      {}, input);
  if (result.FMissing) GTEST_SKIP() << "python3 is not installed";
  ASSERT_TRUE(result.FOk) << result.FError.toStdString();
  EXPECT_EQ(result.FOutput, expected);
}

}  // namespace
}  // namespace vendrik::testing
