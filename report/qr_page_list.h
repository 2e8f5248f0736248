// TQRPageList: the pages of one generation run, kept as a page stream in the
// page-file format, so that saving is a copy of the stream.
//
// Stream layout (little-endian): a 128-byte header (version 3.50 at 0 and 2,
// page count at 8, creation time as days since 30 December 1899 at 16, the
// compression flag at 25, 100 bytes of 72 at 26), then one record per page:
// page number, the stream position where the record ends, the page's
// metafile bytes, and the stream position where the record starts. The end
// and start positions make the records a chain that can be walked both ways.
// In a compressed stream the metafile bytes are replaced by their length and
// their splay-tree code (qr_splay_code.h).
//
// The stream stays in memory up to a limit and then moves to a temporary file
// ("QRP" prefix) that is deleted with the list. All members are thread-safe:
// generation may append while a viewer reads.
#pragma once

#include <memory>
#include <vector>

#include <QByteArray>
#include <QMutex>
#include <QString>

#include "report/qr_metafile.h"

class QIODevice;

namespace vendrik {

constexpr qint64 kQRDefaultMemoryLimit = 250000;
constexpr int kQRHeaderSize = 128;

class TQRPageList {
 public:
  explicit TQRPageList(qint64 memoryLimit = kQRDefaultMemoryLimit, bool compressed = false);
  ~TQRPageList();
  TQRPageList(const TQRPageList&) = delete;
  TQRPageList& operator=(const TQRPageList&) = delete;

  // Appends a page; the header is written with the first page. Throws
  // std::runtime_error when the temporary file cannot be written.
  void AddPage(const TQRMetafile& page);
  // Rewrites the header with the final page count.
  void Finish();

  int PageCount() const;
  // Page n (1-based); a null page when n is out of range.
  TQRMetafile GetPage(int n) const;
  // Whether the stream has moved to a temporary file.
  bool InFile() const;

  // Writes the stream to `fileName` (replacing it only when all was written).
  // Returns false with `error` set when the file cannot be written.
  bool SaveToFile(const QString& fileName, QString* error) const;

  bool Compressed() const { return FCompressed; }

  // Reads a page file: finds its header length (96, 120, 124 or 128 bytes,
  // by where the first page's signature lies; a compressed file has the
  // 128-byte header), walks the record chain and
  // checks every position, size and page against the file. Returns the pages
  // in a new list, or nothing with `error` saying what is wrong.
  static std::unique_ptr<TQRPageList> LoadFromFile(const QString& fileName, QString* error);

 private:
  void Write(qint64 position, const QByteArray& bytes);
  QByteArray Read(qint64 position, qint64 length) const;
  QByteArray Header(int pageCount) const;

  qint64 FMemoryLimit;
  mutable QMutex FLock;
  std::unique_ptr<QIODevice> FDevice;
  bool FInFile = false;
  bool FCompressed;
  std::vector<qint64> FRecordStarts;  // start of each page's record, in page order
  double FCreated;
};

}  // namespace vendrik
