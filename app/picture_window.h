// TForm8: the picture window, a small borderless window without a caption,
// shown modally from the about window: a bevelled panel holding a picture.
// A left click anywhere on it, on the picture or on its frame, closes it.
#pragma once

#include "app/vendrik_form.h"

class QLabel;

namespace vendrik {

class TBevelPanel;

class TForm8 : public TVendrikForm {
  Q_OBJECT

 public:
  TForm8();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Image1Click();
  void Panel1Click();

  TBevelPanel* FPanel1 = nullptr;
  QLabel* FImage1 = nullptr;
};

}  // namespace vendrik
