// TForm7: the about window. For now only its window frame
// (caption and client size); it is shown modally from the main window's menu.
#pragma once

#include "app/vendrik_form.h"

namespace vendrik {

class TForm7 : public TVendrikForm {
  Q_OBJECT

 public:
  TForm7();
};

}  // namespace vendrik
