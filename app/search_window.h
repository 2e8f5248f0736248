// TForm5: the search window. For now only its window frame
// (caption and client size); it is shown modally from the main window's menu.
#pragma once

#include "app/vendrik_form.h"

namespace vendrik {

class TForm5 : public TVendrikForm {
  Q_OBJECT

 public:
  TForm5();
};

}  // namespace vendrik
