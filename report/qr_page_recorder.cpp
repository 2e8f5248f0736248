// The recording paint engine. Objects (font, pen, brush) are created when the
// painter's state asks for a different one than the selected; each gets a new
// handle, and the one it replaces is deleted after the selection. Fills use
// the stock null pen so that a rectangle covers exactly its box.
#include "report/qr_page_recorder.h"

#include <cmath>
#include <cstring>

#include <QPaintEngine>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QtEndian>

#include "report/qr_emf_format.h"

namespace vendrik {
namespace {

uint32_t ColorRef(const QColor& color) {
  return static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8) |
         (static_cast<uint32_t>(color.blue()) << 16);
}

// One record being built: type, a size placeholder, then the body.
class TRecord {
 public:
  explicit TRecord(uint32_t type) { Put(type), Put(0u); }
  TRecord& Put(uint32_t value) {
    const uint32_t le = qToLittleEndian(value);
    FBytes.append(reinterpret_cast<const char*>(&le), 4);
    return *this;
  }
  TRecord& Put(int32_t value) { return Put(static_cast<uint32_t>(value)); }
  TRecord& PutBytes(const QByteArray& bytes) {
    FBytes.append(bytes);
    return *this;
  }
  QByteArray Done() {
    while (FBytes.size() % 4) FBytes.append('\0');
    const uint32_t size = qToLittleEndian(static_cast<uint32_t>(FBytes.size()));
    std::memcpy(FBytes.data() + 4, &size, 4);
    return FBytes;
  }

 private:
  QByteArray FBytes;
};

QByteArray Utf16Bytes(const QString& text, qsizetype chars) {
  QByteArray bytes(chars * 2, '\0');
  for (qsizetype i = 0; i < std::min(chars, text.size()); ++i) {
    const char16_t c = qToLittleEndian(static_cast<char16_t>(text[i].unicode()));
    std::memcpy(bytes.data() + i * 2, &c, 2);
  }
  return bytes;
}

int Round(qreal value) { return static_cast<int>(std::lround(value)); }

// Whether every corner of `polygon` is a corner of its bounding box: the
// polygon is that box.
bool IsBox(const QPolygonF& polygon, const QRectF& box) {
  if (polygon.size() < 4 || polygon.size() > 5) return false;
  for (const QPointF& point : polygon)
    if ((point.x() != box.left() && point.x() != box.right()) ||
        (point.y() != box.top() && point.y() != box.bottom()))
      return false;
  return true;
}

}  // namespace

class TQRRecordEngine final : public QPaintEngine {
 public:
  TQRRecordEngine(QSize pixelSize, qreal dpi)
      : QPaintEngine(QPaintEngine::AllFeatures), FPixelSize(pixelSize), FDpi(dpi) {
    Emit(TRecord(emf::kSetBkMode).Put(emf::kTransparent).Done());
    Emit(TRecord(emf::kSetTextAlign).Put(emf::kTaBaseline).Done());
  }

  bool begin(QPaintDevice*) override { return true; }
  bool end() override { return true; }
  Type type() const override { return static_cast<Type>(QPaintEngine::User + 17); }

  void updateState(const QPaintEngineState& state) override {
    const DirtyFlags flags = state.state();
    if (flags & DirtyPen) FPen = state.pen();
    if (flags & DirtyBrush) FBrush = state.brush();
    if (flags & DirtyTransform) FTransform = state.transform();
    if (flags & (DirtyClipEnabled | DirtyClipRegion | DirtyClipPath)) {
      FClipOn = state.isClipEnabled() && state.clipOperation() != Qt::NoClip;
      if (flags & DirtyClipRegion) FClip = FTransform.mapRect(QRectF(state.clipRegion().boundingRect()));
      if (flags & DirtyClipPath) FClip = FTransform.map(state.clipPath()).boundingRect();
    }
  }

  void drawRects(const QRectF* rects, int count) override {
    for (int i = 0; i < count; ++i) {
      QPainterPath path;
      path.addRect(rects[i]);
      drawPath(path);
    }
  }

  void drawLines(const QLineF* lines, int count) override {
    if (FPen.style() == Qt::NoPen) return;
    SelectPen();
    for (int i = 0; i < count; ++i) {
      const QPointF a = FTransform.map(lines[i].p1()), b = FTransform.map(lines[i].p2());
      Emit(TRecord(emf::kMoveToEx).Put(Round(a.x())).Put(Round(a.y())).Done());
      Emit(TRecord(emf::kLineTo).Put(Round(b.x())).Put(Round(b.y())).Done());
    }
  }

  void drawPath(const QPainterPath& path) override {
    if (FBrush.style() != Qt::NoBrush) FillPath(path, FBrush.color());
    if (FPen.style() != Qt::NoPen) {
      QPainterPathStroker stroker(FPen);
      FillPath(stroker.createStroke(path), FPen.color());
    }
  }

  void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points, points + count)));
    if (mode == PolylineMode) {
      const QBrush brush = FBrush;
      FBrush = Qt::NoBrush;
      drawPath(path);
      FBrush = brush;
      return;
    }
    path.closeSubpath();
    drawPath(path);
  }

  void drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF& sr) override {
    drawImage(r, pixmap.toImage(), sr, Qt::AutoColor);
  }

  void drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                 Qt::ImageConversionFlags) override {
    const QImage part = image.copy(sr.toAlignedRect()).convertToFormat(QImage::Format_ARGB32);
    if (part.isNull()) return;
    const QRect dest = FTransform.mapRect(r).toAlignedRect();
    const uint32_t bmiOffset = emf::kStretchDIBitsFixedSize;
    const uint32_t bitsOffset = bmiOffset + emf::kBitmapInfoHeaderSize;
    QByteArray bits;
    for (int y = 0; y < part.height(); ++y)
      bits.append(reinterpret_cast<const char*>(part.constScanLine(y)), part.width() * 4);
    TRecord record(emf::kStretchDIBits);
    record.Put(dest.left()).Put(dest.top()).Put(dest.right()).Put(dest.bottom());
    record.Put(dest.left()).Put(dest.top()).Put(0).Put(0).Put(part.width()).Put(part.height());
    record.Put(bmiOffset).Put(emf::kBitmapInfoHeaderSize).Put(bitsOffset)
        .Put(static_cast<uint32_t>(bits.size()));
    record.Put(emf::kDibRgbColors).Put(emf::kSrcCopy).Put(dest.width()).Put(dest.height());
    // BITMAPINFOHEADER of a top-down 32-bit bitmap.
    record.Put(emf::kBitmapInfoHeaderSize).Put(part.width()).Put(-part.height())
        .Put(static_cast<uint32_t>(1 | (32 << 16))).Put(emf::kBiRgb)
        .Put(static_cast<uint32_t>(bits.size())).Put(0).Put(0).Put(0).Put(0);
    record.PutBytes(bits);
    Emit(record.Done());
  }

  void drawTextItem(const QPointF& p, const QTextItem& item) override {
    const QString text = item.text();
    if (text.isEmpty()) return;
    const QPointF origin = FTransform.map(p);
    if (FClipOn && !FClip.adjusted(-0.5, -0.5, 0.5, 0.5).contains(origin)) return;
    SelectFont(item.font());
    const uint32_t color = ColorRef(FPen.color());
    if (color != FTextColor) {
      FTextColor = color;
      Emit(TRecord(emf::kSetTextColor).Put(color).Done());
    }
    const int x = Round(origin.x()), y = Round(origin.y());
    TRecord record(emf::kExtTextOutW);
    record.Put(x).Put(y).Put(x).Put(y);  // bounds
    record.Put(emf::kGmCompatible).Put(0u).Put(0u);
    record.Put(x).Put(y).Put(static_cast<uint32_t>(text.size())).Put(emf::kTextOutFixedSize);
    record.Put(0u).Put(0).Put(0).Put(-1).Put(-1).Put(0u);  // options, no clip box, no spacing
    record.PutBytes(Utf16Bytes(text, text.size()));
    Emit(record.Done());
  }

  QByteArray Finish() {
    Emit(TRecord(emf::kEof).Put(0u).Put(16u).Put(20u).Done());
    const uint32_t handles = FNextHandle;
    TRecord header(emf::kHeader);
    header.Put(0).Put(0).Put(FPixelSize.width() - 1).Put(FPixelSize.height() - 1);
    const int frameW = Round(FPixelSize.width() * 2540.0 / FDpi);
    const int frameH = Round(FPixelSize.height() * 2540.0 / FDpi);
    header.Put(0).Put(0).Put(frameW).Put(frameH);
    header.Put(emf::kSignature).Put(emf::kVersion);
    header.Put(static_cast<uint32_t>(emf::kHeaderSize + FBody.size())).Put(FRecords + 1);
    header.Put(handles & 0xFFFF).Put(0u).Put(0u).Put(0u);
    header.Put(FPixelSize.width()).Put(FPixelSize.height()).Put(Round(frameW / 100.0))
        .Put(Round(frameH / 100.0));
    return header.Done() + FBody;
  }

 private:
  void Emit(const QByteArray& record) {
    FBody.append(record);
    ++FRecords;
  }

  // Creates an object under a new handle, selects it and deletes `previous`.
  uint32_t CreateAndSelect(QByteArray createRecord, uint32_t previous) {
    Emit(createRecord);
    const uint32_t handle = FNextHandle - 1;
    Emit(TRecord(emf::kSelectObject).Put(handle).Done());
    if (previous) Emit(TRecord(emf::kDeleteObject).Put(previous).Done());
    return handle;
  }

  void SelectPen() {
    const int width = std::max(1, Round(FPen.widthF() * std::sqrt(std::abs(FTransform.determinant()))));
    const uint32_t color = ColorRef(FPen.color());
    if (FPenHandle && width == FPenWidth && color == FPenColor) return;
    FNullPen = false;
    FPenWidth = width;
    FPenColor = color;
    const uint32_t handle = FNextHandle++;
    FPenHandle = CreateAndSelect(
        TRecord(emf::kCreatePen).Put(handle).Put(emf::kPenSolid).Put(width).Put(0).Put(color).Done(),
        FPenHandle);
  }

  void SelectBrush(const QColor& color) {
    const uint32_t ref = ColorRef(color);
    if (FBrushHandle && ref == FBrushColor) return;
    FBrushColor = ref;
    const uint32_t handle = FNextHandle++;
    FBrushHandle = CreateAndSelect(
        TRecord(emf::kCreateBrushIndirect).Put(handle).Put(emf::kBrushSolid).Put(ref).Put(0u).Done(),
        FBrushHandle);
  }

  void SelectFont(const QFont& font) {
    const qreal scale = std::sqrt(std::abs(FTransform.determinant()));
    const qreal pixels =
        (font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * FDpi / 72.0) * scale;
    QFont wanted(font.family());
    wanted.setPixelSize(std::max(1, Round(pixels)));
    wanted.setWeight(font.weight());
    wanted.setItalic(font.italic());
    wanted.setHintingPreference(QFont::PreferFullHinting);
    if (FFontHandle && wanted == FFont) return;
    FFont = wanted;
    const uint32_t handle = FNextHandle++;
    TRecord record(emf::kExtCreateFontIndirectW);
    record.Put(handle).Put(-wanted.pixelSize()).Put(0).Put(0).Put(0).Put(static_cast<int32_t>(wanted.weight()));
    // italic, underline, strike-out, character set (1 = default); underline and
    // strike-out lines are recorded as lines of their own by the painter.
    record.Put(static_cast<uint32_t>((wanted.italic() ? 1 : 0) | (1 << 24)));
    record.Put(0u);  // precisions, quality, pitch and family
    record.PutBytes(Utf16Bytes(wanted.family().left(emf::kFaceNameChars - 1), emf::kFaceNameChars));
    FFontHandle = CreateAndSelect(record.Done(), FFontHandle);
  }

  void FillPath(const QPainterPath& path, const QColor& color) {
    const QPainterPath mapped = FTransform.map(path);
    const QList<QPolygonF> polygons = mapped.toFillPolygons();
    SelectBrush(color);
    if (!FNullPen) {
      Emit(TRecord(emf::kSelectObject).Put(emf::kNullPen).Done());
      FNullPen = true;
      if (FPenHandle) Emit(TRecord(emf::kDeleteObject).Put(FPenHandle).Done());
      FPenHandle = 0;  // a line selects a pen again
    }
    for (QPolygonF polygon : polygons) {
      if (FClipOn) polygon = polygon.intersected(QPolygonF(FClip));
      if (polygon.size() < 3) continue;
      const QRectF box = polygon.boundingRect();
      if (IsBox(polygon, box)) {
        Emit(TRecord(emf::kRectangle).Put(Round(box.left())).Put(Round(box.top()))
                 .Put(Round(box.right())).Put(Round(box.bottom())).Done());
        continue;
      }
      TRecord record(emf::kPolygon);
      const QRect bounds = box.toAlignedRect();
      record.Put(bounds.left()).Put(bounds.top()).Put(bounds.right()).Put(bounds.bottom());
      record.Put(static_cast<uint32_t>(polygon.size()));
      for (const QPointF& point : polygon) record.Put(Round(point.x())).Put(Round(point.y()));
      Emit(record.Done());
    }
  }

  QSize FPixelSize;
  qreal FDpi;
  QByteArray FBody;
  uint32_t FRecords = 0;
  uint32_t FNextHandle = 1;
  QPen FPen;
  QBrush FBrush;
  QTransform FTransform;
  bool FClipOn = false;
  QRectF FClip;
  QFont FFont;
  uint32_t FFontHandle = 0, FPenHandle = 0, FBrushHandle = 0;
  uint32_t FTextColor = 0, FPenColor = 0, FBrushColor = 0;
  int FPenWidth = 0;
  bool FNullPen = false;
};

TQRPageRecorder::TQRPageRecorder(QSize pixelSize, qreal dotsPerInch)
    : FPixelSize(pixelSize), FDotsPerInch(dotsPerInch),
      FEngine(std::make_unique<TQRRecordEngine>(pixelSize, dotsPerInch)) {}

TQRPageRecorder::~TQRPageRecorder() = default;

QPaintEngine* TQRPageRecorder::paintEngine() const { return FEngine.get(); }

TQRMetafile TQRPageRecorder::Finish() {
  const QByteArray bytes = FEngine->Finish();
  QString error;
  std::optional<TQRMetafile> page = TQRMetafile::Parse(bytes, &error);
  Q_ASSERT_X(page, "TQRPageRecorder::Finish", qPrintable(error));
  return page ? *page : TQRMetafile();
}

int TQRPageRecorder::metric(PaintDeviceMetric metric) const {
  switch (metric) {
    case PdmWidth: return FPixelSize.width();
    case PdmHeight: return FPixelSize.height();
    case PdmWidthMM: return static_cast<int>(std::lround(FPixelSize.width() * 25.4 / FDotsPerInch));
    case PdmHeightMM: return static_cast<int>(std::lround(FPixelSize.height() * 25.4 / FDotsPerInch));
    case PdmNumColors: return INT_MAX;
    case PdmDepth: return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY: return static_cast<int>(std::lround(FDotsPerInch));
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
    default: return 0;
  }
}

}  // namespace vendrik
