// TQRPreview: the page view of the preview window, a scroll area holding one
// page image (TQRPreviewImage). The image is the page stretched to
// page size × zoom / 100 plus 4 pixels each way (outline and shadow), centred
// when smaller than the view. Zoom is accepted in 2..2000 percent; the fit and
// width zooms follow the view's size.
#pragma once

#include <QScrollArea>
#include <QWidget>

#include "report/qr_metafile.h"
#include "report/qr_report.h"

namespace vendrik {

class TQRPrinter;

class TQRPreviewImage final : public QWidget {
  Q_OBJECT

 public:
  explicit TQRPreviewImage(QWidget* parent = nullptr);
  void SetPage(TQRMetafile page);
  const TQRMetafile& Page() const { return FPage; }

  // Draws a page with its outline and shadow into `rect` (also for thumbnails).
  static void PaintPage(QPainter& painter, const QRect& rect, const TQRMetafile& page);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TQRMetafile FPage;
};

class TQRPreview final : public QScrollArea {
  Q_OBJECT

 public:
  static constexpr int kLowestZoom = 2;
  static constexpr int kHighestZoom = 2000;

  explicit TQRPreview(QWidget* parent = nullptr);

  void SetPrinter(TQRPrinter* sink) { FSink = sink; }
  TQRPrinter* Printer() const { return FSink; }

  int PageNumber() const { return FPageNumber; }
  // Shows page n (no range check; the window checks) and scrolls to the top.
  void ShowPage(int n);
  // Reloads the shown page from the sink (after it became available).
  void RefreshPage();

  int Zoom() const { return FZoom; }
  TQRZoomState ZoomState() const { return FZoomState; }
  // Sets the zoom; refused (false) outside 2..2000. State qrZoomOther.
  bool SetZoom(int zoom);
  void ZoomToFit();
  void ZoomToWidth();
  void Zoom100();

  // The page's size in screen pixels at 100%.
  QSize PagePixels() const;
  TQRPreviewImage* Image() const { return FImage; }

 signals:
  void ZoomChanged(int zoom);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ApplyZoom(int zoom, TQRZoomState state);

  TQRPrinter* FSink = nullptr;
  TQRPreviewImage* FImage;
  int FPageNumber = 1;
  int FZoom = 100;
  TQRZoomState FZoomState = TQRZoomState::qrZoom100;
};

}  // namespace vendrik
