// The common frame of the secondary windows.
#include "app/vendrik_form.h"

#include <QKeyEvent>
#include <QScreen>

namespace vendrik {
namespace {

constexpr int kFormFontPixels = 11;  // 8 point at 96 pixels per inch

Qt::WindowFlags FlagsFor(TBorderStyle border) {
  switch (border) {
    case TBorderStyle::bsSingleMinimise:
      return Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
             Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
    case TBorderStyle::bsSingle:
      return Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
             Qt::WindowCloseButtonHint;
    case TBorderStyle::bsNone:
      return Qt::Window | Qt::FramelessWindowHint;
  }
  return Qt::Window;
}

}  // namespace

QFont FormFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(kFormFontPixels);
  return font;
}

void CentreOnScreen(QWidget& window) {
  const QScreen* screen = window.screen();
  if (screen == nullptr) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->geometry().center());
  window.move(frame.topLeft());
}

TVendrikForm::TVendrikForm(const QString& objectName, const QString& caption, QSize clientSize,
                           TBorderStyle border)
    : QDialog(nullptr, FlagsFor(border)) {
  setObjectName(objectName);
  setWindowTitle(caption);
  setFont(FormFont());
  setFixedSize(clientSize);
  setModal(true);
}

void TVendrikForm::ShowModal() { exec(); }

void TVendrikForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnScreen(*this);
}

void TVendrikForm::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

}  // namespace vendrik
