// The browse and maintenance window.
#include "app/browse_window.h"

#include <QLabel>

namespace vendrik {

TForm2::TForm2()
    : TVendrikForm(QStringLiteral("Form2"), QStringLiteral(" Adatok Karbantartása:"), QSize(761, 295),
                   TBorderStyle::bsSingleMinimise),
      FLabel2(new QLabel(QStringLiteral("0"), this)) {
  FLabel2->setObjectName(QStringLiteral("Label2"));
  FLabel2->setGeometry(302, 22, 115, 13);
  FLabel2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  FLabel2->setStyleSheet(QStringLiteral("color: #0000FF;"));
}

}  // namespace vendrik
