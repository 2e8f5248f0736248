// The search window.
#include "app/search_window.h"

namespace vendrik {

TForm5::TForm5()
    : TVendrikForm(QStringLiteral("Form5"), QStringLiteral(" Adatok keresése:"), QSize(752, 295),
                   TBorderStyle::bsSingleMinimise) {}

}  // namespace vendrik
