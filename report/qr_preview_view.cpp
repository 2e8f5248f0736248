// The preview's page view: page image, zoom and scrolling.
#include "report/qr_preview_view.h"

#include <cmath>

#include <QPainter>
#include <QScrollBar>

#include "report/qr_printer.h"

namespace vendrik {
namespace {
constexpr int kImageMargin = 4;
constexpr int kHorizontalStep = 52;
constexpr int kVerticalStep = 43;
constexpr qreal kFitPercent = 95;
constexpr qreal kWidthPercent = 90;
}  // namespace

TQRPreviewImage::TQRPreviewImage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PreviewImage"));
  setAccessibleName(QStringLiteral("Page"));
}

void TQRPreviewImage::SetPage(TQRMetafile page) {
  FPage = std::move(page);
  update();
}

void TQRPreviewImage::PaintPage(QPainter& painter, const QRect& rect, const TQRMetafile& page) {
  if (page.IsNull()) return;
  const QRect inner(rect.left(), rect.top(), rect.width() - 3, rect.height() - 3);
  painter.fillRect(inner, Qt::white);
  page.Play(painter, inner);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(inner.adjusted(0, 0, -1, -1));
  painter.fillRect(QRect(rect.right() - 1, rect.top() + 2, 2, rect.height() - 2), Qt::black);
  painter.fillRect(QRect(rect.left() + 2, rect.bottom() - 1, rect.width() - 2, 2), Qt::black);
}

void TQRPreviewImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  PaintPage(painter, rect(), FPage);
}

TQRPreview::TQRPreview(QWidget* parent) : QScrollArea(parent), FImage(new TQRPreviewImage) {
  setObjectName(QStringLiteral("QRPreview"));
  setAccessibleName(QStringLiteral("Page view"));
  setAlignment(Qt::AlignCenter);
  setWidget(FImage);
  setWidgetResizable(false);
  horizontalScrollBar()->setSingleStep(kHorizontalStep);
  verticalScrollBar()->setSingleStep(kVerticalStep);
  horizontalScrollBar()->setTracking(true);
  verticalScrollBar()->setTracking(true);
}

QSize TQRPreview::PagePixels() const {
  const qreal dpi = QRScreenDotsPerInch();
  if (FImage && !FImage->Page().IsNull()) {
    const QSize frame = FImage->Page().FrameSize();  // 0.01 mm
    return QSize(static_cast<int>(std::lround(frame.width() * dpi / 2540.0)),
                 static_cast<int>(std::lround(frame.height() * dpi / 2540.0)));
  }
  if (!FSink) return QSize(794, 1123);
  return QSize(static_cast<int>(std::lround(FSink->PaperWidth * dpi / 254)),
               static_cast<int>(std::lround(FSink->PaperLength * dpi / 254)));
}

void TQRPreview::ShowPage(int n) {
  FPageNumber = n;
  RefreshPage();
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
}

void TQRPreview::RefreshPage() {
  FImage->SetPage(FSink ? FSink->GetPage(FPageNumber) : TQRMetafile());
  ApplyZoom(FZoom, FZoomState);
}

bool TQRPreview::SetZoom(int zoom) {
  if (zoom < kLowestZoom || zoom > kHighestZoom) return false;
  ApplyZoom(zoom, TQRZoomState::qrZoomOther);
  return true;
}

void TQRPreview::ZoomToFit() {
  const QSize page = PagePixels();
  const QSize view = viewport()->size();
  const qreal zoom = std::min(static_cast<qreal>(view.width()) / page.width() * kFitPercent,
                              static_cast<qreal>(view.height()) / page.height() * kFitPercent);
  ApplyZoom(static_cast<int>(std::lround(zoom)), TQRZoomState::qrZoomToFit);
}

void TQRPreview::ZoomToWidth() {
  const qreal zoom = static_cast<qreal>(viewport()->width()) / PagePixels().width() * kWidthPercent;
  ApplyZoom(static_cast<int>(std::lround(zoom)), TQRZoomState::qrZoomToWidth);
}

void TQRPreview::Zoom100() { ApplyZoom(100, TQRZoomState::qrZoom100); }

void TQRPreview::ApplyZoom(int zoom, TQRZoomState state) {
  zoom = std::clamp(zoom, kLowestZoom, kHighestZoom);
  const bool changed = zoom != FZoom;
  FZoom = zoom;
  FZoomState = state;
  const QSize page = PagePixels();
  FImage->resize(page.width() * zoom / 100 + kImageMargin, page.height() * zoom / 100 + kImageMargin);
  if (changed) {
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
  }
  emit ZoomChanged(FZoom);
}

void TQRPreview::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  if (FZoomState == TQRZoomState::qrZoomToFit) ZoomToFit();
  if (FZoomState == TQRZoomState::qrZoomToWidth) ZoomToWidth();
}

}  // namespace vendrik
