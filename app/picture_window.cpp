// The picture window. The picture (128 x 164) is shown at its natural size
// from the top left of a 129 x 137 area, so its lower part is cut off, as the
// window's design has it.
#include "app/picture_window.h"

#include <QLabel>
#include <QMouseEvent>

#include "app/bevel_panel.h"

namespace vendrik {
namespace {

const QString kPictureResource = QStringLiteral(":/images/picture.png");
constexpr int kPanelBorderWidth = 4;

}  // namespace

TForm8::TForm8()
    : TVendrikForm(QStringLiteral("Form8"), QString(), QSize(145, 153), TBorderStyle::bsNone) {
  FPanel1 = new TBevelPanel(this, QStringLiteral("Panel1"), QRect(0, 0, 145, 153), kPanelBorderWidth);
  FPanel1->setAccessibleName(QStringLiteral("Kép kerete"));
  FPanel1->installEventFilter(this);

  FImage1 = new QLabel(FPanel1);
  FImage1->setObjectName(QStringLiteral("Image1"));
  FImage1->setGeometry(8, 8, 129, 137);
  FImage1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  FImage1->setPixmap(QPixmap(kPictureResource));
  FImage1->setAccessibleName(QStringLiteral("Kép"));
  FImage1->setAccessibleDescription(QStringLiteral("Kattintásra bezárul."));
  FImage1->installEventFilter(this);
}

bool TForm8::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == FImage1) {
      Image1Click();
      return true;
    }
    if (watched == FPanel1) {
      Panel1Click();
      return true;
    }
  }
  return TVendrikForm::eventFilter(watched, event);
}

void TForm8::Image1Click() { close(); }

void TForm8::Panel1Click() { close(); }

}  // namespace vendrik
