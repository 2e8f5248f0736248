// TVendrikForm: the common frame of the program's secondary windows. Each is
// created hidden at start-up, shown modally on demand (ShowModal) and hidden
// again when closed. The frame gives a window its caption, a fixed client size,
// its border icons, the form font ("MS Sans Serif" 8 point) and centres it on
// the screen whenever it is shown.
//
// Keys: Esc and Enter that reach the window itself do nothing (QDialog would
// close the window on Esc and press its default button on Enter, wherever the
// focus is). A focused button still takes Enter and Space as a press, and a
// control that wants Enter (say, to move the focus on) handles it itself.
#pragma once

#include <QDialog>
#include <QSize>

namespace vendrik {

enum class TBorderStyle {
  bsSingleMinimise,  // fixed border, system menu and minimise button
  bsSingle,          // fixed border, system menu only
  bsNone,            // no border and no caption
};

class TVendrikForm : public QDialog {
  Q_OBJECT

 public:
  // `objectName` is the instance name ("Form2"), `caption` the window title,
  // `clientSize` the fixed size of the client area in pixels.
  TVendrikForm(const QString& objectName, const QString& caption, QSize clientSize,
               TBorderStyle border);

  // Shows the window modally; returns when it is closed (it is then hidden).
  void ShowModal();

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

// The font of the forms: "MS Sans Serif", 8 point at 96 pixels per inch
// (11 pixels high).
QFont FormFont();

// Moves `window` so that its frame is centred on its screen.
void CentreOnScreen(QWidget& window);

}  // namespace vendrik
