// Page files: a save and load round trip, the older header lengths, damaged
// files (each refused with the shown pages kept), compressed pages, and the
// page stream moving to a temporary file beyond its memory limit.
#include <cstring>
#include <functional>

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include "report/qr_page_list.h"
#include "report/qr_printer.h"
#include "report_fixture.h"

namespace vendrik::testing {
namespace {

qint32 Get32(const QByteArray& bytes, qint64 at) {
  qint32 value;
  std::memcpy(&value, bytes.constData() + at, 4);
  return qFromLittleEndian(value);
}

void Put32(QByteArray& bytes, qint64 at, qint32 value) {
  const qint32 le = qToLittleEndian(value);
  std::memcpy(bytes.data() + at, &le, 4);
}

// The start of each page record of a file with a 128-byte header.
std::vector<qint64> RecordStarts(const QByteArray& file) {
  std::vector<qint64> starts;
  for (qint64 at = kQRHeaderSize; at < file.size(); at = Get32(file, at + 4)) starts.push_back(at);
  return starts;
}

// The file with its header cut to `length` bytes and every link moved along.
QByteArray WithHeaderLength(QByteArray file, int length) {
  const int shift = kQRHeaderSize - length;
  for (qint64 start : RecordStarts(file)) {
    const qint64 end = Get32(file, start + 4);
    Put32(file, start + 4, static_cast<qint32>(end - shift));
    Put32(file, end - 4, static_cast<qint32>(start - shift));
  }
  file.remove(length, shift);
  return file;
}

class PageListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto report = SmallReport(2000);
    TQRMemoryDataSet data = Records({{QStringLiteral("A1"), QStringLiteral("first")},
                                     {QStringLiteral("B2"), QStringLiteral("second")},
                                     {QStringLiteral("C3"), QStringLiteral("third")}});
    report->DataSet = &data;
    FPages = report->Prepare(96);
    ASSERT_EQ(FPages->StoredPages(), 3);
    QString error;
    ASSERT_TRUE(FPages->Save(Path(QStringLiteral("pages.qrp")), &error)) << error.toStdString();
    QFile file(Path(QStringLiteral("pages.qrp")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    FSaved = file.readAll();
  }

  QString Path(const QString& name) const { return FDir.filePath(name); }

  QString Write(const QString& name, const QByteArray& bytes) const {
    QFile file(Path(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return Path(name);
  }

  QTemporaryDir FDir;
  std::unique_ptr<TQRPrinter> FPages;
  QByteArray FSaved;
};

TEST_F(PageListTest, SavedPagesLoadBackUnchanged) {
  EXPECT_EQ(Get32(FSaved, 8), 3);
  EXPECT_EQ(FSaved.mid(26, 100), QByteArray(100, 72));
  TQRPrinter loaded(96);
  QString error;
  ASSERT_TRUE(loaded.Load(Path(QStringLiteral("pages.qrp")), &error)) << error.toStdString();
  EXPECT_TRUE(loaded.LoadedFromFile());
  EXPECT_EQ(loaded.Status(), TQRPrinterStatus::mpFinished);
  ASSERT_EQ(loaded.StoredPages(), 3);
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(loaded.GetPage(n).Bytes(), FPages->GetPage(n).Bytes());
  EXPECT_TRUE(RunsOf(loaded.GetPage(2)).contains(QStringLiteral("second")));
  EXPECT_TRUE(loaded.GetPage(4).IsNull());
  EXPECT_TRUE(loaded.GetPage(0).IsNull());
}

TEST_F(PageListTest, OlderHeaderLengthsAreRecognised) {
  const struct {
    int FHeader;
    int FPages;
  } cases[] = {{124, 3}, {96, 3}};
  for (const auto& c : cases) {
    TQRPrinter loaded(96);
    QString error;
    const QString path = Write(QStringLiteral("h%1.qrp").arg(c.FHeader), WithHeaderLength(FSaved, c.FHeader));
    ASSERT_TRUE(loaded.Load(path, &error)) << c.FHeader << ": " << error.toStdString();
    EXPECT_EQ(loaded.StoredPages(), c.FPages);
    EXPECT_EQ(loaded.GetPage(3).Bytes(), FPages->GetPage(3).Bytes());
  }
  // A 120-byte header holds one page.
  const std::vector<qint64> starts = RecordStarts(FSaved);
  TQRPrinter single(96);
  QString error;
  const QString path = Write(QStringLiteral("h120.qrp"), WithHeaderLength(FSaved.left(starts[1]), 120));
  ASSERT_TRUE(single.Load(path, &error)) << error.toStdString();
  EXPECT_EQ(single.StoredPages(), 1);
}

TEST_F(PageListTest, DamagedFilesAreRefusedAndTheShownPagesStay) {
  const std::vector<qint64> starts = RecordStarts(FSaved);
  const qint64 second = starts[1];
  const struct {
    const char* FWhat;
    std::function<QByteArray(QByteArray)> FDamage;
  } cases[] = {
      {"empty", [](QByteArray) { return QByteArray(); }},
      {"not a page file", [](QByteArray) { return QByteArray(4000, 'x'); }},
      {"cut inside the last page", [](QByteArray f) { return f.left(f.size() - 30); }},
      {"cut after the header", [](QByteArray f) { return f.left(200); }},
      {"page count too high", [](QByteArray f) { Put32(f, 8, 4); return f; }},
      {"page count zero", [](QByteArray f) { Put32(f, 8, 0); return f; }},
      {"data after the last page", [](QByteArray f) { return f + QByteArray(12, '\0'); }},
      {"wrong page number", [second](QByteArray f) { Put32(f, second, 7); return f; }},
      {"end link outside the file", [second](QByteArray f) { Put32(f, second + 4, 0x7FFFFFF0); return f; }},
      {"end link backwards", [second](QByteArray f) { Put32(f, second + 4, 10); return f; }},
      {"broken start link", [second](QByteArray f) {
         Put32(f, Get32(f, second + 4) - 4, 5);
         return f;
       }},
      {"page size larger than its record", [second](QByteArray f) {
         Put32(f, second + 8 + 48, Get32(f, second + 8 + 48) + 64);
         return f;
       }},
      {"record size inside a page", [second](QByteArray f) {
         Put32(f, second + 8 + 88 + 4, 0x10000);
         return f;
       }},
      {"unknown record type", [second](QByteArray f) {
         Put32(f, second + 8 + 88, 999);
         return f;
       }},
  };
  for (const auto& c : cases) {
    TQRPrinter shown(96);
    QString error;
    ASSERT_TRUE(shown.Load(Path(QStringLiteral("pages.qrp")), &error));
    const QString path = Write(QStringLiteral("damaged.qrp"), c.FDamage(FSaved));
    EXPECT_FALSE(shown.Load(path, &error)) << c.FWhat;
    EXPECT_FALSE(error.isEmpty()) << c.FWhat;
    EXPECT_EQ(shown.StoredPages(), 3) << c.FWhat;
    EXPECT_EQ(shown.GetPage(2).Bytes(), FPages->GetPage(2).Bytes()) << c.FWhat;
  }
}

TEST_F(PageListTest, SavingNeedsFinishedPagesAndAWritablePlace) {
  TQRPrinter unfinished(96);
  QString error;
  EXPECT_FALSE(unfinished.Save(Path(QStringLiteral("none.qrp")), &error));
  EXPECT_FALSE(QFile::exists(Path(QStringLiteral("none.qrp"))));
  EXPECT_FALSE(FPages->Save(Path(QStringLiteral("missing/dir.qrp")), &error));
  EXPECT_FALSE(error.isEmpty());
}

TEST_F(PageListTest, CompressedPagesAreSmallerAndLoadBack) {
  auto report = SmallReport(2000);
  report->Options.Compression = true;
  TQRMemoryDataSet data = Records({{QStringLiteral("A1"), QStringLiteral("first")},
                                   {QStringLiteral("B2"), QStringLiteral("second")}});
  report->DataSet = &data;
  const std::unique_ptr<TQRPrinter> pages = report->Prepare(96);
  ASSERT_EQ(pages->StoredPages(), 2);
  EXPECT_EQ(RunsOf(pages->GetPage(2)), QStringLiteral("Title|B2|second|Page 2"));
  QString error;
  ASSERT_TRUE(pages->Save(Path(QStringLiteral("packed.qrp")), &error));
  QFile file(Path(QStringLiteral("packed.qrp")));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray packed = file.readAll();
  EXPECT_EQ(packed[25], 1);
  EXPECT_LT(packed.size() / 2, FSaved.size() / 3 * 2 / 3);  // per page, a third smaller at least
  TQRPrinter loaded(96);
  ASSERT_TRUE(loaded.Load(file.fileName(), &error)) << error.toStdString();
  ASSERT_EQ(loaded.StoredPages(), 2);
  EXPECT_EQ(loaded.GetPage(1).Bytes(), pages->GetPage(1).Bytes());
  QByteArray damaged = packed;
  damaged[kQRHeaderSize + 20] = static_cast<char>(damaged[kQRHeaderSize + 20] ^ 0x5A);
  EXPECT_FALSE(loaded.Load(Write(QStringLiteral("packed-damaged.qrp"), damaged), &error));
  EXPECT_EQ(loaded.StoredPages(), 2);
}

TEST(PageStreamTest, PagesMoveToATemporaryFileBeyondTheMemoryLimit) {
  TQRPageList list(1000);
  for (int n = 1; n <= 5; ++n) list.AddPage(HandPage(QStringLiteral("page %1").arg(n)));
  list.Finish();
  EXPECT_TRUE(list.InFile());
  ASSERT_EQ(list.PageCount(), 5);
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(RunsOf(list.GetPage(n)), QStringLiteral("page %1").arg(n));
}

}  // namespace
}  // namespace vendrik::testing
