// The page stream: writing records, reading pages, saving and loading page
// files with every length and link checked against the file.
#include "report/qr_page_list.h"

#include <cstring>
#include <stdexcept>

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QtEndian>

#include "report/qr_emf_format.h"
#include "report/qr_splay_code.h"

namespace vendrik {
namespace {

constexpr quint16 kVersionMajor = 3;
constexpr quint16 kVersionMinor = 50;
constexpr int kCountOffset = 8;
constexpr int kCreatedOffset = 16;
constexpr int kCompressedOffset = 25;
constexpr int kFillerOffset = 26;
constexpr int kFillerLength = 100;
constexpr char kFillerByte = 72;
constexpr double kDaysTo1970 = 25569.0;  // 30 December 1899 to 1 January 1970
// Where a page's "EMF" signature lies behind the record's two leading fields.
constexpr int kSignatureBehindHeader = 8 + emf::kSignatureOffset + 1;
constexpr int kScanLimit = 1000;
constexpr qint64 kLargestFile = qint64(1) << 30;

QByteArray Le32(qint32 value) {
  const qint32 le = qToLittleEndian(value);
  return QByteArray(reinterpret_cast<const char*>(&le), 4);
}

qint32 I32(const QByteArray& bytes, qint64 at) {
  qint32 value;
  std::memcpy(&value, bytes.constData() + at, 4);
  return qFromLittleEndian(value);
}

bool HasSignatureAt(const QByteArray& file, qint64 at) {
  return at >= 0 && at + 3 <= file.size() && std::memcmp(file.constData() + at, "EMF", 3) == 0;
}

// The header length of a page file, or -1 when no page signature is found.
qint64 HeaderLength(const QByteArray& file) {
  const struct {
    int FSignatureAt;
    int FHeader;
  } known[] = {{173, 124}, {169, 120}, {145, 96}, {177, 128}};
  for (const auto& k : known)
    if (HasSignatureAt(file, k.FSignatureAt)) return k.FHeader;
  const qint64 found = QByteArray::fromRawData(file.constData(), std::min<qint64>(file.size(), kScanLimit))
                           .indexOf("EMF");
  if (found < kSignatureBehindHeader) return -1;
  return found - kSignatureBehindHeader;
}

// Whether the file is a compressed page stream: the compression flag of the
// 128-byte header, with its filler intact (a compressed first page shows no
// signature by which the header could be found).
bool IsCompressed(const QByteArray& file) {
  if (file.size() < kQRHeaderSize || file[kCompressedOffset] != 1) return false;
  return file.mid(kFillerOffset, kFillerLength) == QByteArray(kFillerLength, kFillerByte);
}

// Checks the optional link block between a page's metafile and its start
// field: a count, then per link a rectangle and a text with its length.
bool LinksFit(const QByteArray& file, qint64 at, qint64 end) {
  if (at == end) return true;
  if (end - at < 4) return false;
  const qint32 count = I32(file, at);
  at += 4;
  if (count < 0) return false;
  for (qint32 i = 0; i < count; ++i) {
    if (end - at < 20) return false;
    const qint32 length = I32(file, at + 16);
    at += 20;
    if (length < 0 || length > end - at) return false;
    at += length;
  }
  return at == end;
}

}  // namespace

TQRPageList::TQRPageList(qint64 memoryLimit, bool compressed)
    : FMemoryLimit(memoryLimit), FDevice(std::make_unique<QBuffer>()), FCompressed(compressed),
      FCreated(QDateTime::currentMSecsSinceEpoch() / 86400000.0 + kDaysTo1970) {
  FDevice->open(QIODevice::ReadWrite);
}

TQRPageList::~TQRPageList() = default;

QByteArray TQRPageList::Header(int pageCount) const {
  QByteArray header(kQRHeaderSize, '\0');
  const quint16 major = qToLittleEndian(kVersionMajor), minor = qToLittleEndian(kVersionMinor);
  std::memcpy(header.data(), &major, 2);
  std::memcpy(header.data() + 2, &minor, 2);
  header.replace(kCountOffset, 4, Le32(pageCount));
  const double created = qToLittleEndian(FCreated);
  std::memcpy(header.data() + kCreatedOffset, &created, 8);
  header[kCompressedOffset] = FCompressed ? 1 : 0;
  std::memset(header.data() + kFillerOffset, kFillerByte, kFillerLength);
  return header;
}

void TQRPageList::Write(qint64 position, const QByteArray& bytes) {
  if (!FInFile && position + bytes.size() > FMemoryLimit) {
    auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/QRPXXXXXX"));
    if (!file->open()) throw std::runtime_error("Cannot create a temporary file for the report pages");
    const QByteArray content = static_cast<QBuffer*>(FDevice.get())->data();
    if (file->write(content) != content.size())
      throw std::runtime_error("Cannot write the report pages to a temporary file");
    FDevice = std::move(file);
    FInFile = true;
  }
  if (!FDevice->seek(position) || FDevice->write(bytes) != bytes.size())
    throw std::runtime_error("Cannot write the report pages to a temporary file");
}

QByteArray TQRPageList::Read(qint64 position, qint64 length) const {
  if (!FDevice->seek(position)) return {};
  return FDevice->read(length);
}

void TQRPageList::AddPage(const TQRMetafile& page) {
  QMutexLocker lock(&FLock);
  if (FRecordStarts.empty()) Write(0, Header(0));
  const qint64 start = FDevice->size();
  const QByteArray content = FCompressed
                                 ? Le32(static_cast<qint32>(page.Bytes().size())) + QRSplayCompress(page.Bytes())
                                 : page.Bytes();
  const qint64 end = start + 8 + content.size() + 4;
  QByteArray record = Le32(static_cast<qint32>(FRecordStarts.size() + 1));
  record += Le32(static_cast<qint32>(end));
  record += content;
  record += Le32(static_cast<qint32>(start));
  Write(start, record);
  FRecordStarts.push_back(start);
}

void TQRPageList::Finish() {
  QMutexLocker lock(&FLock);
  if (!FRecordStarts.empty()) Write(0, Header(static_cast<int>(FRecordStarts.size())));
}

int TQRPageList::PageCount() const {
  QMutexLocker lock(&FLock);
  return static_cast<int>(FRecordStarts.size());
}

bool TQRPageList::InFile() const {
  QMutexLocker lock(&FLock);
  return FInFile;
}

TQRMetafile TQRPageList::GetPage(int n) const {
  QMutexLocker lock(&FLock);
  if (n < 1 || n > static_cast<int>(FRecordStarts.size())) return {};
  const qint64 start = FRecordStarts[n - 1];
  const QByteArray lead = Read(start, 8);
  if (lead.size() != 8) return {};
  const qint64 end = I32(lead, 4);
  QByteArray bytes = Read(start + 8, end - start - 12);
  if (FCompressed) {
    qint64 consumed = 0;
    const std::optional<QByteArray> plain =
        bytes.size() >= 4 ? QRSplayExpand(bytes.mid(4), I32(bytes, 0), consumed) : std::nullopt;
    if (!plain) return {};
    bytes = *plain;
  }
  std::optional<TQRMetafile> page = TQRMetafile::Parse(bytes, nullptr);
  return page ? *page : TQRMetafile();
}

bool TQRPageList::SaveToFile(const QString& fileName, QString* error) const {
  QMutexLocker lock(&FLock);
  QSaveFile file(fileName);
  bool written = file.open(QIODevice::WriteOnly);
  const qint64 size = FDevice->size();
  for (qint64 at = 0; written && at < size; at += 65536) {
    const QByteArray chunk = Read(at, std::min<qint64>(65536, size - at));
    written = file.write(chunk) == chunk.size();
  }
  if (written && file.commit()) return true;
  file.cancelWriting();
  if (error) *error = QStringLiteral("Cannot write \"%1\": %2").arg(fileName, file.errorString());
  return false;
}

std::unique_ptr<TQRPageList> TQRPageList::LoadFromFile(const QString& fileName, QString* error) {
  auto fail = [&](const QString& what) -> std::unique_ptr<TQRPageList> {
    if (error) *error = QStringLiteral("\"%1\" is not a readable report file: %2.").arg(fileName, what);
    return nullptr;
  };
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return fail(file.errorString());
  if (file.size() > kLargestFile) return fail(QStringLiteral("the file is too large"));
  const QByteArray bytes = file.readAll();
  if (bytes.size() != file.size()) return fail(QStringLiteral("the file cannot be read"));
  const bool compressed = IsCompressed(bytes);
  const qint64 headerLength = compressed ? kQRHeaderSize : HeaderLength(bytes);
  if (headerLength < 0) return fail(QStringLiteral("no page found"));
  qint64 expected = -1;  // page count; -1 when the header does not say
  if (headerLength == 120) expected = 1;
  if (headerLength == 124 || headerLength == 128) {
    expected = I32(bytes, kCountOffset);
    if (expected < 1) return fail(QStringLiteral("bad page count %1").arg(expected));
  }
  auto list = std::make_unique<TQRPageList>(kQRDefaultMemoryLimit, compressed);
  qint64 at = headerLength;
  while (at < bytes.size() && (expected < 0 || list->PageCount() < expected)) {
    const int number = list->PageCount() + 1;
    const QString where = QStringLiteral("page %1").arg(number);
    if (bytes.size() - at < (compressed ? 16 : 8 + emf::kHeaderSize + emf::kEofSize + 4))
      return fail(where + QStringLiteral(" is cut off"));
    if (I32(bytes, at) != number) return fail(where + QStringLiteral(" has a wrong page number"));
    const qint64 end = I32(bytes, at + 4);
    if (end <= at + 12 || end > bytes.size())
      return fail(where + QStringLiteral(" ends outside the file"));
    if (I32(bytes, end - 4) != at) return fail(where + QStringLiteral(" has a broken link"));
    const qint64 emfAt = at + 8;
    QByteArray pageBytes;
    qint64 contentEnd = emfAt;
    if (compressed) {
      const qint64 length = I32(bytes, emfAt);
      qint64 consumed = 0;
      const std::optional<QByteArray> plain =
          length > 0 && length <= kLargestFile
              ? QRSplayExpand(bytes.mid(emfAt + 4, end - 4 - emfAt - 4), length, consumed)
              : std::nullopt;
      if (!plain) return fail(where + QStringLiteral(" cannot be expanded"));
      pageBytes = *plain;
      contentEnd = emfAt + 4 + consumed;
    } else {
      const qint64 emfSize = I32(bytes, emfAt + emf::kHeaderBytesOffset);
      if (emfSize < emf::kHeaderSize || emfSize > end - 4 - emfAt)
        return fail(where + QStringLiteral(" has a wrong size"));
      pageBytes = bytes.mid(emfAt, emfSize);
      contentEnd = emfAt + emfSize;
    }
    if (!LinksFit(bytes, contentEnd, end - 4)) return fail(where + QStringLiteral(" has damaged links"));
    QString pageError;
    std::optional<TQRMetafile> page = TQRMetafile::Parse(pageBytes, &pageError);
    if (!page) return fail(where + QStringLiteral(": ") + pageError);
    list->AddPage(*page);
    at = end;
  }
  if (list->PageCount() == 0) return fail(QStringLiteral("no page found"));
  if (expected > 0 && list->PageCount() < expected)
    return fail(QStringLiteral("%1 of %2 pages found").arg(list->PageCount()).arg(expected));
  if (at != bytes.size()) return fail(QStringLiteral("data after the last page"));
  list->Finish();
  return list;
}

}  // namespace vendrik
