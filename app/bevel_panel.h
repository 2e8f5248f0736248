// TBevelPanel: the classic panel of the about and picture windows, a raised
// outer bevel at its edge and a lowered inner bevel `borderWidth` pixels
// inside it, both one pixel wide, on the window's face colour. Child controls
// are placed by their coordinates relative to the panel.
#pragma once

#include <QFrame>

namespace vendrik {

class TBevelPanel : public QFrame {
  Q_OBJECT

 public:
  // `name` is the object name ("Panel1"), `geometry` its place in `parent`.
  TBevelPanel(QWidget* parent, const QString& name, const QRect& geometry, int borderWidth = 0);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int FBorderWidth;
};

}  // namespace vendrik
