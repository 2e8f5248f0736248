// TForm2: the browse and maintenance window. For now the window frame and the
// record count label that the main window's change handlers rewrite.
#pragma once

#include "app/vendrik_form.h"

class QLabel;

namespace vendrik {

class TForm2 : public TVendrikForm {
  Q_OBJECT

 public:
  TForm2();

  // The record count label ("0" until the first count is shown).
  QLabel* Label2() const { return FLabel2; }

 private:
  QLabel* FLabel2;
};

}  // namespace vendrik
