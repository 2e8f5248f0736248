// The report of the selected record.
#include "app/record_report.h"

namespace vendrik {

TQuickReport9::TQuickReport9() : QWidget(nullptr) {
  setObjectName(QStringLiteral("QuickReport9"));
  setWindowTitle(QStringLiteral("Nyomtatási kép:"));
}

}  // namespace vendrik
