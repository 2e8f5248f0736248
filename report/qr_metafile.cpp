// Checking and playing back recorded pages. Parse checks every record once;
// Walk trusts the checked layout of each record and still bounds every read
// by the record's size.
#include "report/qr_metafile.h"

#include <cstring>
#include <map>

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include "report/qr_emf_format.h"

namespace vendrik {
namespace {

uint32_t U32(const QByteArray& bytes, qsizetype at) {
  uint32_t value;
  std::memcpy(&value, bytes.constData() + at, 4);
  return qFromLittleEndian(value);
}

int32_t I32(const QByteArray& bytes, qsizetype at) { return static_cast<int32_t>(U32(bytes, at)); }

// UTF-16 text of `chars` characters at `at`, copied out since it may be unaligned.
QString Utf16At(const QByteArray& bytes, qsizetype at, qsizetype chars) {
  std::u16string text(static_cast<size_t>(chars), u'\0');
  std::memcpy(text.data(), bytes.constData() + at, static_cast<size_t>(chars) * 2);
  return QString::fromStdU16String(text);
}

QColor ColorRef(uint32_t value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

constexpr int64_t kLargestFontHeight = 65535;

// The smallest size of each record type that this engine writes and reads.
std::optional<uint32_t> MinimumSize(uint32_t type) {
  switch (type) {
    case emf::kPolygon: return 28;
    case emf::kEof: return emf::kEofSize;
    case emf::kSetBkMode:
    case emf::kSetTextAlign:
    case emf::kSetTextColor:
    case emf::kSelectObject:
    case emf::kDeleteObject: return 12;
    case emf::kMoveToEx:
    case emf::kLineTo: return 16;
    case emf::kCreatePen: return 28;
    case emf::kCreateBrushIndirect: return 24;
    case emf::kRectangle: return 24;
    case emf::kStretchDIBits: return emf::kStretchDIBitsFixedSize;
    case emf::kExtCreateFontIndirectW: return emf::kFontRecordSize;
    case emf::kExtTextOutW: return emf::kTextOutFixedSize;
    default: return std::nullopt;
  }
}

// Checks the variable parts of a record against its size.
bool VariablePartFits(const QByteArray& b, qsizetype at, uint32_t type, uint32_t size) {
  switch (type) {
    case emf::kPolygon: {
      const uint64_t count = U32(b, at + 24);
      return 28 + count * 8 <= size;
    }
    case emf::kExtTextOutW: {
      const uint64_t chars = U32(b, at + 44);
      const uint64_t offset = U32(b, at + 48);
      return offset >= emf::kTextOutFixedSize && offset + chars * 2 <= size;
    }
    case emf::kStretchDIBits: {
      const uint64_t offBmi = U32(b, at + 48), cbBmi = U32(b, at + 52);
      const uint64_t offBits = U32(b, at + 56), cbBits = U32(b, at + 60);
      if (cbBmi < emf::kBitmapInfoHeaderSize || offBmi + cbBmi > size || offBits + cbBits > size)
        return false;
      const int64_t width = I32(b, at + offBmi + 4), height = I32(b, at + offBmi + 8);
      const uint32_t bits = U32(b, at + offBmi + 12) >> 16;
      if (width <= 0 || height == 0 || bits != 32 || width > 65535 || std::abs(height) > 65535)
        return false;
      return static_cast<uint64_t>(width) * std::abs(height) * 4 <= cbBits;
    }
    default: return true;
  }
}

struct TObject {
  enum { Font, Pen, Brush } FKind;
  QFont FFont;
  QColor FColor;
  int FWidth = 0;
};

}  // namespace

std::optional<TQRMetafile> TQRMetafile::Parse(QByteArray bytes, QString* error) {
  auto fail = [&](const QString& what) -> std::optional<TQRMetafile> {
    if (error) *error = what;
    return std::nullopt;
  };
  if (bytes.size() < emf::kHeaderSize + emf::kEofSize) return fail(QStringLiteral("page too short"));
  if (U32(bytes, 0) != emf::kHeader || U32(bytes, emf::kSignatureOffset) != emf::kSignature)
    return fail(QStringLiteral("no page header"));
  const uint32_t headerSize = U32(bytes, 4);
  if (headerSize < emf::kHeaderSize || headerSize % 4 != 0 || headerSize > bytes.size())
    return fail(QStringLiteral("bad page header size"));
  if (U32(bytes, emf::kHeaderBytesOffset) != static_cast<uint32_t>(bytes.size()))
    return fail(QStringLiteral("page length does not match its header"));
  const QSize pixels(I32(bytes, emf::kHeaderDeviceOffset), I32(bytes, emf::kHeaderDeviceOffset + 4));
  const QSize frame(I32(bytes, emf::kHeaderFrameOffset + 8), I32(bytes, emf::kHeaderFrameOffset + 12));
  if (pixels.width() <= 0 || pixels.height() <= 0 || frame.width() <= 0 || frame.height() <= 0 ||
      pixels.width() > 100000 || pixels.height() > 100000)
    return fail(QStringLiteral("bad page size"));
  qsizetype at = headerSize;
  uint32_t records = 1;
  for (;;) {
    if (bytes.size() - at < 8) return fail(QStringLiteral("page ends inside a record"));
    const uint32_t type = U32(bytes, at), size = U32(bytes, at + 4);
    const std::optional<uint32_t> minimum = MinimumSize(type);
    if (!minimum) return fail(QStringLiteral("unknown record type %1").arg(type));
    if (size < *minimum || size % 4 != 0 || size > bytes.size() - at)
      return fail(QStringLiteral("bad size of a record of type %1").arg(type));
    if (!VariablePartFits(bytes, at, type, size))
      return fail(QStringLiteral("record of type %1 does not fit its size").arg(type));
    ++records;
    at += size;
    if (type == emf::kEof) break;
  }
  if (at != bytes.size()) return fail(QStringLiteral("data after the end of the page"));
  if (U32(bytes, emf::kHeaderRecordsOffset) != records)
    return fail(QStringLiteral("record count does not match the header"));
  return TQRMetafile(std::move(bytes), pixels, frame);
}

void TQRMetafile::Play(QPainter& painter, const QRectF& target) const {
  if (IsNull()) return;
  painter.save();
  painter.translate(target.topLeft());
  painter.scale(target.width() / FPixelSize.width(), target.height() / FPixelSize.height());
  painter.setRenderHint(QPainter::TextAntialiasing);
  Walk(&painter, nullptr);
  painter.restore();
}

std::vector<TQRTextRun> TQRMetafile::TextRuns() const {
  std::vector<TQRTextRun> runs;
  if (!IsNull()) Walk(nullptr, &runs);
  return runs;
}

void TQRMetafile::Walk(QPainter* painter, std::vector<TQRTextRun>* runs) const {
  const QByteArray& b = FBytes;
  std::map<uint32_t, TObject> objects;
  QFont font;
  QColor textColor = Qt::black, penColor = Qt::black, brushColor = Qt::white;
  int penWidth = 1;
  bool nullPen = false;
  QPointF current;
  qsizetype at = U32(b, 4);
  while (at < b.size()) {
    const uint32_t type = U32(b, at), size = U32(b, at + 4);
    switch (type) {
      case emf::kExtCreateFontIndirectW: {
        TObject object{TObject::Font, {}, {}, 0};
        const qsizetype lf = at + 12;
        // Heights beyond any sheet are cut, so a damaged page cannot ask for a giant font.
        const int height = static_cast<int>(
            std::min<int64_t>(std::abs(static_cast<int64_t>(I32(b, lf))), kLargestFontHeight));
        const int weight = I32(b, lf + 16);
        QString face = Utf16At(b, lf + 28, emf::kFaceNameChars);
        face.truncate(face.indexOf(QChar(0)) < 0 ? face.size() : face.indexOf(QChar(0)));
        object.FFont = QFont(face);
        object.FFont.setPixelSize(std::max(1, height));
        object.FFont.setWeight(static_cast<QFont::Weight>(std::clamp(weight == 0 ? 400 : weight, 100, 900)));
        object.FFont.setItalic(b[lf + 20] != 0);
        object.FFont.setHintingPreference(QFont::PreferFullHinting);
        objects[U32(b, at + 8)] = object;
        break;
      }
      case emf::kCreatePen:
        objects[U32(b, at + 8)] = TObject{TObject::Pen, {}, ColorRef(U32(b, at + 24)), I32(b, at + 16)};
        break;
      case emf::kCreateBrushIndirect:
        objects[U32(b, at + 8)] = TObject{TObject::Brush, {}, ColorRef(U32(b, at + 16)), 0};
        break;
      case emf::kSelectObject: {
        const uint32_t handle = U32(b, at + 8);
        if (handle == emf::kNullPen) {
          nullPen = true;
          break;
        }
        auto found = objects.find(handle);
        if (found == objects.end()) break;
        if (found->second.FKind == TObject::Font) font = found->second.FFont;
        if (found->second.FKind == TObject::Pen) {
          penColor = found->second.FColor;
          penWidth = std::max(1, found->second.FWidth);
          nullPen = false;
        }
        if (found->second.FKind == TObject::Brush) brushColor = found->second.FColor;
        break;
      }
      case emf::kDeleteObject: objects.erase(U32(b, at + 8)); break;
      case emf::kSetTextColor: textColor = ColorRef(U32(b, at + 8)); break;
      case emf::kMoveToEx: current = QPointF(I32(b, at + 8), I32(b, at + 12)); break;
      case emf::kLineTo: {
        const QPointF to(I32(b, at + 8), I32(b, at + 12));
        if (painter && !nullPen) {
          painter->setPen(QPen(penColor, penWidth, Qt::SolidLine, Qt::FlatCap));
          painter->drawLine(current, to);
        }
        current = to;
        break;
      }
      case emf::kRectangle:
        if (painter) {
          const QRectF box(QPointF(I32(b, at + 8), I32(b, at + 12)),
                           QPointF(I32(b, at + 16), I32(b, at + 20)));
          painter->fillRect(box, brushColor);
        }
        break;
      case emf::kPolygon:
        if (painter) {
          QPolygonF polygon;
          const uint32_t count = U32(b, at + 24);
          for (uint32_t i = 0; i < count; ++i)
            polygon << QPointF(I32(b, at + 28 + i * 8), I32(b, at + 32 + i * 8));
          QPainterPath path;
          path.addPolygon(polygon);
          painter->fillPath(path, brushColor);
        }
        break;
      case emf::kStretchDIBits:
        if (painter) {
          const qsizetype bmi = at + U32(b, at + 48);
          const int width = I32(b, bmi + 4), height = I32(b, bmi + 8);
          const QImage image(reinterpret_cast<const uchar*>(b.constData() + at + U32(b, at + 56)),
                             width, std::abs(height), width * 4, QImage::Format_ARGB32);
          const QRectF dest(I32(b, at + 24), I32(b, at + 28), I32(b, at + 72), I32(b, at + 76));
          painter->drawImage(dest, height < 0 ? image : image.mirrored());
        }
        break;
      case emf::kExtTextOutW: {
        const QPointF origin(I32(b, at + 36), I32(b, at + 40));
        const QString text = Utf16At(b, at + U32(b, at + 48), U32(b, at + 44));
        if (runs) runs->push_back(TQRTextRun{text, font, origin});
        if (painter) {
          painter->setFont(font);
          painter->setPen(textColor);
          painter->drawText(origin, text);
        }
        break;
      }
      default: break;
    }
    at += size;
  }
}

}  // namespace vendrik
