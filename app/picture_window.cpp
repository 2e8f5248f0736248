// The picture window, a small borderless window.
#include "app/picture_window.h"

namespace vendrik {

TForm8::TForm8()
    : TVendrikForm(QStringLiteral("Form8"), QString(), QSize(145, 153),
                   TBorderStyle::bsNone) {}

}  // namespace vendrik
