// TQuickReport9: the report of the selected record, printed from the search
// window through a print preview. For now the report object itself, created
// hidden at start-up with its title; it is never shown as a window.
#pragma once

#include <QWidget>

namespace vendrik {

class TQuickReport9 : public QWidget {
  Q_OBJECT

 public:
  TQuickReport9();

  // The report's title, the caption of its preview window.
  QString ReportTitle() const { return windowTitle(); }
};

}  // namespace vendrik
