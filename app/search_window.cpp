// The search window: construction and handlers.
#include "app/search_window.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>

#include "app/app_windows.h"
#include "app/db_controls.h"
#include "app/error_display.h"
#include "app/filter_window.h"
#include "app/incremental_search.h"
#include "app/main_window.h"
#include "app/window_parts.h"

namespace vendrik {
namespace {

const QString kCaption = QStringLiteral(" Adatok keresése:");
const QString kSearchHint =
    QStringLiteral("Keresendő kifejezés|Jobb egérgomb: Keresés tárgyának és az adatok rendezettségének megváltoztatása !");
const QString kFilterHint = QStringLiteral("Szűrés|Megjelenített adatok szűrése !");
const QString kPrintHint = QStringLiteral("Nyomtatás|Kiválasztott rekord adatainak nyomtatása !");
const QString kCountCaption = QStringLiteral("Tárolt rekordok száma");
const QString kCodeIndex = QStringLiteral("KOD");
constexpr int kCodeLength = 10;

}  // namespace

TForm5::TForm5(TAppWindows& windows)
    : TVendrikForm(QStringLiteral("Form5"), kCaption, QSize(752, 295), TBorderStyle::bsSingleMinimise),
      FWindows(windows) {
  createTopBar();
  createDataPanel();
  setTabOrder(FEdit1, FBitBtn1);
  setTabOrder(FBitBtn1, FDBGrid1);
  setTabOrder(FDBGrid1, FDBMemo1);
  FEdit1->SetNextControl(FDBGrid1);
}

TForm5::~TForm5() = default;

void TForm5::createTopBar() {
  TErrorDisplay& errors = FWindows.Services().FErrors;
  QFrame* panel1 = MakePanel(this, "Panel1", QRect(0, 0, 753, 41), false);

  FEdit1 = new TIncrementalSearch(panel1, FWindows.Form1().Table1(), FWindows.Services().FDialogs, errors);
  FEdit1->setGeometry(8, 10, 337, 21);
  FEdit1->setStyleSheet(QStringLiteral("color: %1;").arg(kBlue));
  ApplyHint(*FEdit1, kSearchHint);

  FSpeedButton1 = MakeSpeedButton(panel1, "SpeedButton1", QRect(355, 8, 25, 25), TButtonPicture::bpFilter, kFilterHint);
  connect(FSpeedButton1, &QToolButton::clicked, this, [this] { FWindows.Services().FErrors.Guard([this] { SpeedButton1Click(); }); });
  FSpeedButton2 = MakeSpeedButton(panel1, "SpeedButton2", QRect(399, 8, 25, 25), TButtonPicture::bpPrint, kPrintHint);
  connect(FSpeedButton2, &QToolButton::clicked, this, [this] { FWindows.Services().FErrors.Guard([this] { SpeedButton2Click(); }); });

  MakeSeparator(panel1, "Panel3", 388);
  MakeSeparator(panel1, "Panel5", 432);
  MakeSeparator(panel1, "Panel4", 634);
  MakeLabel(panel1, "Label1", kCountCaption, QRect(448, 7, 173, 13), kNavy, false, true);
  FLabel2 = MakeLabel(panel1, "Label2", QStringLiteral("0"), QRect(448, 22, 173, 13), kBlue, false, true);
  FLabel2->setAccessibleName(kCountCaption);

  FBitBtn1 = MakeCloseButton(panel1, QRect(645, 8, 100, 25));
  connect(FBitBtn1, &QPushButton::clicked, this, [this] { FWindows.Services().FErrors.Guard([this] { BitBtn1Click(); }); });
}

void TForm5::createDataPanel() {
  TErrorDisplay& errors = FWindows.Services().FErrors;
  QFrame* panel2 = MakePanel(this, "Panel2", QRect(0, 41, 753, 254), true);

  FDBGrid1 = new TDBGrid(panel2, GuardOf(errors));
  FDBGrid1->setObjectName(QStringLiteral("DBGrid1"));
  FDBGrid1->setGeometry(8, 8, 497, 238);
  FDBGrid1->SetReadOnly(true);
  FDBGrid1->setStyleSheet(QStringLiteral("QTableView { color: %1; } QHeaderView::section { color: %2; font-weight: bold; }")
                              .arg(kBlue, kNavy));
  FDBGrid1->SetColumns(GridColumns());
  FDBGrid1->SetDataSource(&FWindows.Form1().DataSource1());

  QLabel* label3 = MakeLabel(panel2, "Label3", QStringLiteral("Leírás:"), QRect(508, 8, 0, 0), kNavy, true, false);
  FDBMemo1 = new TDBMemo(panel2, GuardOf(errors));
  FDBMemo1->setObjectName(QStringLiteral("DBMemo1"));
  FDBMemo1->setGeometry(508, 22, 241, 224);
  FDBMemo1->setReadOnly(true);
  FDBMemo1->setStyleSheet(QStringLiteral("color: %1;").arg(kBlue));
  FDBMemo1->setAccessibleName(QStringLiteral("Leírás"));
  FDBMemo1->SetDataField(QStringLiteral("LEIRAS"));
  FDBMemo1->SetDataSource(&FWindows.Form1().DataSource1());
  label3->setBuddy(FDBMemo1);
}

void TForm5::showEvent(QShowEvent* event) {
  TVendrikForm::showEvent(event);
  if (!event->spontaneous()) FWindows.Services().FErrors.Guard([this] { FormShow(); });
}

void TForm5::FormShow() {
  FEdit1->setText(QString());
  FEdit1->SetMaxLength(kCodeLength);
  ITableComponent& table = FWindows.Form1().Table1();
  table.SetIndexName(kCodeIndex);
  FEdit1->Kd1()->setChecked(true);
  FLabel2->setText(QString::number(table.RecordCount()));
}

void TForm5::SpeedButton1Click() { FWindows.Form6().ShowModal(); }

void TForm5::SpeedButton2Click() {
  if (FPrintCommand) FPrintCommand();
}

void TForm5::BitBtn1Click() {
  FWindows.Form1().Table1().SetIndexName(kCodeIndex);
  close();
}

}  // namespace vendrik
