// The about window.
#include "app/about_window.h"

namespace vendrik {

TForm7::TForm7()
    : TVendrikForm(QStringLiteral("Form7"), QStringLiteral(" Névjegy:"), QSize(298, 429),
                   TBorderStyle::bsSingle) {}

}  // namespace vendrik
