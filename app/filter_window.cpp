// The filter builder.
#include "app/filter_window.h"

namespace vendrik {

TForm6::TForm6()
    : TVendrikForm(QStringLiteral("Form6"), QStringLiteral(" Megjelenítendő adatok szűrése:"), QSize(541, 225),
                   TBorderStyle::bsSingleMinimise) {}

}  // namespace vendrik
