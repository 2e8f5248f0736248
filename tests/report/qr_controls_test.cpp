// Labels' line formatting and the rich text reader.
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

#include "report/qr_controls.h"
#include "report/qr_richtext.h"

namespace vendrik::testing {
namespace {

TEST(LabelLinesTest, CaptionsSplitIntoParagraphsAndWrappedLines) {
  struct Case {
    const char* FWhat;
    QString FCaption;
    bool FAutoSize, FWordWrap;
    TQRReal FWidth;
    QStringList FLines;
  };
  const Case cases[] = {
      {"auto size: one line per paragraph", QStringLiteral("first part\r\nsecond"), true, true, 10,
       {QStringLiteral("first part"), QStringLiteral("second")}},
      {"wrapped at spaces, the space stays", QStringLiteral("aaa bbb ccc"), false, true, 80,
       {QStringLiteral("aaa "), QStringLiteral("bbb "), QStringLiteral("ccc")}},
      {"hyphens end words", QStringLiteral("aaaa-bbbb"), false, true, 110,
       {QStringLiteral("aaaa-"), QStringLiteral("bbbb")}},
      {"without word wrap only the first line", QStringLiteral("aaa bbb ccc\rddd eee"), false, false, 80,
       {QStringLiteral("aaa "), QStringLiteral("ddd ")}},
      {"a word wider than the label is broken", QStringLiteral("abcdefghijklmnop"), false, true, 60, {}},
      {"a label of no width drops the word", QStringLiteral("abc"), false, true, 0, {QString()}},
  };
  const Case anywhere = {"break anywhere", QStringLiteral("aaa bbb"), false, true, 60, {}};
  for (const Case& c : cases) {
    TQRLabel label(QStringLiteral("L"));
    label.Font = QFont(QStringLiteral("Liberation Sans"), 10);
    label.AutoSize = c.FAutoSize;
    label.WordWrap = c.FWordWrap;
    label.Width = c.FWidth;
    label.FormatLines(c.FCaption);
    if (c.FLines.isEmpty()) {
      EXPECT_GT(label.Lines().size(), 1) << c.FWhat;
      EXPECT_EQ(label.Lines().join(QString()), c.FCaption) << c.FWhat;
    } else {
      EXPECT_EQ(label.Lines(), c.FLines) << c.FWhat;
    }
  }
  TQRLabel label(QStringLiteral("L"));
  label.Font = QFont(QStringLiteral("Liberation Sans"), 10);
  label.AutoSize = false;
  label.WrapStyle = TQRWrapStyle::BreakAnywhere;
  label.Width = anywhere.FWidth;
  label.FormatLines(anywhere.FCaption);
  EXPECT_GT(label.Lines().size(), 1);
  EXPECT_EQ(label.Lines().join(QString()), anywhere.FCaption);
}

TEST(LabelLinesTest, SystemDataShowsItsKindAtDesignTime) {
  TQRSysData data(QStringLiteral("S"));
  data.Data = TQRSysDataType::qrsPageNumber;
  data.Text = QStringLiteral("Oldal: ");
  EXPECT_EQ(data.DesignCaption(), QStringLiteral("Oldal: (Page#)"));
  data.Data = TQRSysDataType::qrsDateTime;
  data.Text.clear();
  EXPECT_EQ(data.DesignCaption(), QStringLiteral("(Date/Time)"));
}

TEST(LabelLinesTest, AutoSizeKeepsTheAnchorOfTheAlignment) {
  const struct {
    TQRAlignment FAlignment;
    double FAnchor;  // right edge for right, middle for centre
  } cases[] = {{TQRAlignment::Right, 1000}, {TQRAlignment::Center, 600}};
  for (const auto& c : cases) {
    TQRLabel label(QStringLiteral("L"));
    label.Font = QFont(QStringLiteral("Liberation Sans"), 10);
    label.Alignment = c.FAlignment;
    label.Left = 200;
    label.Width = 800;
    label.FormatLines(QStringLiteral("short"));
    EXPECT_LT(label.Width, 200);
    const double anchor = static_cast<double>(c.FAlignment == TQRAlignment::Right ? label.Left + label.Width
                                                                                 : label.Left + label.Width / 2);
    EXPECT_NEAR(anchor, c.FAnchor, 1e-6);
  }
}

TEST(RichTextTest, TheSubsetOfRichTextIsRead) {
  struct Case {
    const char* FWhat;
    QString FValue;
    QString FPlain;
  };
  const Case cases[] = {
      {"plain text stays as it is", QStringLiteral("{not rich} \\b x"), QStringLiteral("{not rich} \\b x")},
      {"paragraphs, tables skipped", QStringLiteral("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0;}a\\par b}"),
       QStringLiteral("a\nb")},
      {"code page escapes in 1250", QStringLiteral("{\\rtf1\\ansi\\ansicpg1250 \\'f5 \\'fb \\'e1}"),
       QStringLiteral("ő ű á")},
      {"code page 1252 by default", QStringLiteral("{\\rtf1\\ansi \\'e9}"), QStringLiteral("é")},
      {"unicode escapes skip their stand-in", QStringLiteral("{\\rtf1 \\u337?x\\uc2\\u369 ab}"),
       QStringLiteral("őxű")},
      {"escaped braces and ignorable groups", QStringLiteral("{\\rtf1 \\{a\\}{\\*\\generator W;}\\tab b}"),
       QStringLiteral("{a}\tb")},
      {"unbalanced groups end with the text", QStringLiteral("{\\rtf1 {\\b open"), QStringLiteral("open")},
  };
  for (const Case& c : cases) EXPECT_EQ(QRRichTextPlain(c.FValue), c.FPlain) << c.FWhat;
}

TEST(RichTextTest, FormattingReachesTheDocument) {
  QTextDocument document;
  const QFont font(QStringLiteral("Liberation Sans"), 10);
  QRLoadRichText(document, QStringLiteral("{\\rtf1 n\\b b\\b0\\i i\\i0\\ul u\\ulnone\\fs40 big\\plain p}"), font);
  EXPECT_EQ(document.toPlainText(), QStringLiteral("nbiubigp"));
  auto formatAt = [&](int position) {
    QTextCursor cursor(&document);
    cursor.setPosition(position + 1);
    return cursor.charFormat().font();
  };
  EXPECT_FALSE(formatAt(0).bold());
  EXPECT_TRUE(formatAt(1).bold());
  EXPECT_TRUE(formatAt(2).italic());
  EXPECT_TRUE(formatAt(3).underline());
  EXPECT_EQ(formatAt(4).pointSizeF(), 20.0);
  EXPECT_EQ(formatAt(7).pointSizeF(), 10.0);
}

}  // namespace
}  // namespace vendrik::testing
