// TQRPageRecorder: the paint device on which a page is drawn during report
// generation. It records what is painted as enhanced-metafile records
// (qr_emf_format.h): text runs with their fonts, filled rectangles, lines,
// polygons and bitmaps, in device pixels of the given resolution. Finish()
// hands out the page. QPainter, QTextDocument and the report's controls draw
// on it like on any other device; a rectangular clip is honoured for fills,
// and text runs whose start lies outside the clip are dropped.
#pragma once

#include <memory>

#include <QPaintDevice>

#include "report/qr_metafile.h"

namespace vendrik {

class TQRRecordEngine;

class TQRPageRecorder final : public QPaintDevice {
 public:
  // A page of `pixelSize` device pixels at `dotsPerInch`.
  TQRPageRecorder(QSize pixelSize, qreal dotsPerInch);
  ~TQRPageRecorder() override;

  QPaintEngine* paintEngine() const override;

  // Ends the recording and returns the page. Only when no painter is active.
  TQRMetafile Finish();

  qreal DotsPerInch() const { return FDotsPerInch; }

 protected:
  int metric(PaintDeviceMetric metric) const override;

 private:
  QSize FPixelSize;
  qreal FDotsPerInch;
  std::unique_ptr<TQRRecordEngine> FEngine;
};

}  // namespace vendrik
