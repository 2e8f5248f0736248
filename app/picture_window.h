// TForm8: the picture window, a small borderless window without a caption,
// shown modally from the about window. For now only its window frame.
#pragma once

#include "app/vendrik_form.h"

namespace vendrik {

class TForm8 : public TVendrikForm {
  Q_OBJECT

 public:
  TForm8();
};

}  // namespace vendrik
