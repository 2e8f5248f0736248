// TQRMetafile: one recorded page, the bytes of its enhanced-metafile records
// (qr_emf_format.h). A page is made by TQRPageRecorder and played back onto
// any QPainter (screen, thumbnail, clipboard picture, PDF) stretched into a
// rectangle; its text runs can be read back for the preview's search.
// Bytes from a file are checked by Parse before anything reads them, so a
// damaged page is an error, never a wild read.
#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

class QPainter;

namespace vendrik {

// A text run of a page: its text, the font it is drawn in (family, pixel
// height, weight, italic) and the baseline point where it starts, in page
// pixels.
struct TQRTextRun {
  QString FText;
  QFont FFont;
  QPointF FOrigin;
};

class TQRMetafile {
 public:
  TQRMetafile() = default;

  // Checks `bytes` as a page: header, signature, sizes of every record within
  // the page, known record types with their lengths, the end record last.
  // Returns the page, or nothing with `error` set to what is wrong.
  static std::optional<TQRMetafile> Parse(QByteArray bytes, QString* error);

  bool IsNull() const { return FBytes.isEmpty(); }
  const QByteArray& Bytes() const { return FBytes; }

  // The page in device pixels, and its size in 0.01 mm.
  QSize PixelSize() const { return FPixelSize; }
  QSize FrameSize() const { return FFrameSize; }

  // Draws the page stretched over `target` (painter coordinates).
  void Play(QPainter& painter, const QRectF& target) const;

  // The text runs in drawing order.
  std::vector<TQRTextRun> TextRuns() const;

 private:
  friend class TQRPageRecorder;
  TQRMetafile(QByteArray bytes, QSize pixelSize, QSize frameSize)
      : FBytes(std::move(bytes)), FPixelSize(pixelSize), FFrameSize(frameSize) {}

  // Walks the records after the header; `painter` may be null (text only).
  void Walk(QPainter* painter, std::vector<TQRTextRun>* runs) const;

  QByteArray FBytes;
  QSize FPixelSize;
  QSize FFrameSize;
};

}  // namespace vendrik
