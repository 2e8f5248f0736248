// TForm6: the filter builder. For now only its window frame
// (caption and client size); it is shown modally from the main window's menu.
#pragma once

#include "app/vendrik_form.h"

namespace vendrik {

class TForm6 : public TVendrikForm {
  Q_OBJECT

 public:
  TForm6();
};

}  // namespace vendrik
