// Building blocks of the browse and search windows.
#include "app/window_parts.h"

#include <QFrame>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include "app/error_display.h"

namespace vendrik {
namespace {

constexpr int kLoweredBorder = 4;
constexpr int kSeparatorWidth = 3;
constexpr int kTopBarHeight = 41;
constexpr int kPictureSize = 16;

// A funnel for the filter, a printer for printing.
QIcon PaintPicture(TButtonPicture picture) {
  QPixmap pixmap(kPictureSize, kPictureSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(kNavy), 1));
  if (picture == TButtonPicture::bpFilter) {
    const QPointF funnel[] = {{1, 2}, {15, 2}, {9.5, 8}, {9.5, 14}, {6.5, 12}, {6.5, 8}};
    painter.setBrush(QColor(QStringLiteral("#FFD700")));
    painter.drawPolygon(funnel, 6);
  } else {
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(4.5, 1.5, 7, 5));
    painter.setBrush(QColor(QStringLiteral("#A0A0A0")));
    painter.drawRect(QRectF(1.5, 6.5, 13, 6));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(4.5, 10.5, 7, 4));
  }
  return QIcon(pixmap);
}

}  // namespace

QFrame* MakePanel(QWidget* parent, const char* name, const QRect& geometry, bool lowered) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QString::fromLatin1(name));
  panel->setGeometry(geometry);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(lowered ? QFrame::Sunken : QFrame::Raised);
  panel->setLineWidth(1);
  if (lowered) panel->setContentsMargins(kLoweredBorder, kLoweredBorder, kLoweredBorder, kLoweredBorder);
  return panel;
}

QFrame* MakeSeparator(QWidget* parent, const char* name, int x) {
  auto* separator = new QFrame(parent);
  separator->setObjectName(QString::fromLatin1(name));
  separator->setGeometry(x, 0, kSeparatorWidth, kTopBarHeight);
  separator->setFrameShape(QFrame::VLine);
  separator->setFrameShadow(QFrame::Sunken);
  return separator;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                  const QString& colour, bool bold, bool centred) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  if (geometry.width() > 0)
    label->setGeometry(geometry);
  else {
    label->move(geometry.topLeft());
    label->adjustSize();
  }
  label->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
  label->setStyleSheet(QStringLiteral("color: %1;%2").arg(colour, bold ? QStringLiteral(" font-weight: bold;") : QString()));
  return label;
}

QToolButton* MakeSpeedButton(QWidget* parent, const char* name, const QRect& geometry, TButtonPicture picture,
                             const QString& hint) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  button->setIcon(PaintPicture(picture));
  button->setIconSize(QSize(kPictureSize, kPictureSize));
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  ApplyHint(*button, hint);
  return button;
}

QPushButton* MakeCloseButton(QWidget* parent, const QRect& geometry) {
  auto* button = new QPushButton(QStringLiteral("Befejezés"), parent);
  button->setObjectName(QStringLiteral("BitBtn1"));
  button->setGeometry(geometry);
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setToolTip(QStringLiteral("Befejezés !"));
  button->setStatusTip(QStringLiteral("Befejezés !"));
  button->setAccessibleName(QStringLiteral("Befejezés"));
  return button;
}

std::vector<TGridColumn> GridColumns() {
  return {{QStringLiteral("KOD"), QStringLiteral("Kód"), Qt::AlignHCenter, 58},
          {QStringLiteral("MEGNEV"), QStringLiteral("Megnevezés"), Qt::AlignLeft, 404}};
}

TGuardFn GuardOf(TErrorDisplay& errors) {
  return [&errors](const std::function<void()>& action) { return errors.Guard(action); };
}

}  // namespace vendrik
