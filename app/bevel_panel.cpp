// The bevelled panel (see bevel_panel.h).
#include "app/bevel_panel.h"

#include <QPainter>
#include <qdrawutil.h>

namespace vendrik {
namespace {

constexpr int kBevelWidth = 1;

}  // namespace

TBevelPanel::TBevelPanel(QWidget* parent, const QString& name, const QRect& geometry, int borderWidth)
    : QFrame(parent), FBorderWidth(borderWidth) {
  setObjectName(name);
  setGeometry(geometry);
  setFrameShape(QFrame::NoFrame);
}

void TBevelPanel::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect outer = rect();
  qDrawShadePanel(&painter, outer, palette(), false, kBevelWidth);
  const int inset = kBevelWidth + FBorderWidth;
  qDrawShadePanel(&painter, outer.adjusted(inset, inset, -inset, -inset), palette(), true, kBevelWidth);
}

}  // namespace vendrik
