// The browse and maintenance window: construction and handlers.
#include "app/browse_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>

#include "access/dataset.h"
#include "app/app_windows.h"
#include "app/dialog_service.h"
#include "app/db_controls.h"
#include "app/error_display.h"
#include "app/filter_window.h"
#include "app/incremental_search.h"
#include "app/main_window.h"
#include "app/window_parts.h"

namespace vendrik {
namespace {

const QString kCaption = QStringLiteral(" Adatok Karbantartása:");
const QString kFilterHint = QStringLiteral("Szűrés|Megjelenített adatok körének szűrése !");
const QString kSearchHint =
    QStringLiteral("Keresendő kifejezés|Jobb egérgomb: Keresés tárgyának és az adatok rendezettségének megváltoztatása !");
const QString kCountCaption = QStringLiteral("Tárolt rekordok száma");
const std::vector<QString> kNavigatorHints = {
    QStringLiteral("Első rekord|Első rekord !"),         QStringLiteral("Előző rekord|Előző rekord !"),
    QStringLiteral("Következő rekord|Következő rekord !"), QStringLiteral("Utolsó rekord|Utolsó rekord !"),
    QStringLiteral("Új rekord|Új rekord !"),             QStringLiteral("Rekord törlése|Rekord törlése !"),
    QStringLiteral("Rekord szerkesztése|Rekord szerkesztése !"), QStringLiteral("Rekord tárolása|Rekord tárolása !"),
    QStringLiteral("Elvetés|Elvetés !"),                 QStringLiteral("Frissítés|Frissítés !")};
const QString kCodeIndex = QStringLiteral("KOD");
// How often the record count is looked at while the window shows.
constexpr int kCountFollowMs = 1000;
// The caption of the grid's own deletion question.
const QString kConfirmCaption = QStringLiteral("Confirm");

}  // namespace

TForm2::TForm2(TAppWindows& windows)
    : TVendrikForm(QStringLiteral("Form2"), kCaption, QSize(761, 295), TBorderStyle::bsSingleMinimise),
      FWindows(windows) {
  createTopBar();
  createDataPanel();
  setTabOrder(FBitBtn1, FDBNavigator1);
  setTabOrder(FDBNavigator1, FEdit1);
  setTabOrder(FEdit1, FDBGrid1);
  setTabOrder(FDBGrid1, FDBMemo1);
  FEdit1->SetNextControl(FDBGrid1);
  FCountTimer = new QTimer(this);
  FCountTimer->setInterval(kCountFollowMs);
  connect(FCountTimer, &QTimer::timeout, this, [this] { FollowRecordCount(); });
}

TForm2::~TForm2() = default;

void TForm2::createTopBar() {
  TErrorDisplay& errors = FWindows.Services().FErrors;
  QFrame* panel1 = MakePanel(this, "Panel1", QRect(0, 0, 761, 41), false);

  FDBNavigator1 = new TDBNavigator(panel1, GuardOf(errors));
  FDBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
  FDBNavigator1->setGeometry(8, 8, 240, 25);
  FDBNavigator1->SetHints(kNavigatorHints);
  FDBNavigator1->SetDataSource(&FWindows.Form1().DataSource1());

  FSpeedButton1 = MakeSpeedButton(panel1, "SpeedButton1", QRect(256, 8, 25, 25), TButtonPicture::bpFilter, kFilterHint);
  connect(FSpeedButton1, &QToolButton::clicked, this, [this] { FWindows.Services().FErrors.Guard([this] { SpeedButton1Click(); }); });

  MakeSeparator(panel1, "Panel4", 290);
  MakeSeparator(panel1, "Panel3", 424);
  MakeSeparator(panel1, "Panel5", 644);
  MakeLabel(panel1, "Label1", kCountCaption, QRect(302, 7, 115, 13), kNavy, false, true);
  FLabel2 = MakeLabel(panel1, "Label2", QStringLiteral("0"), QRect(302, 22, 115, 13), kBlue, false, true);
  FLabel2->setAccessibleName(kCountCaption);

  FEdit1 = new TIncrementalSearch(panel1, FWindows.Form1().Table1(), FWindows.Services().FDialogs, errors);
  FEdit1->setGeometry(437, 10, 196, 21);
  FEdit1->setStyleSheet(QStringLiteral("color: %1;").arg(kTeal));
  ApplyHint(*FEdit1, kSearchHint);

  FBitBtn1 = MakeCloseButton(panel1, QRect(653, 8, 100, 25));
  connect(FBitBtn1, &QPushButton::clicked, this, [this] { close(); });
}

void TForm2::createDataPanel() {
  TErrorDisplay& errors = FWindows.Services().FErrors;
  QFrame* panel2 = MakePanel(this, "Panel2", QRect(0, 41, 761, 254), true);

  FDBGrid1 = new TDBGrid(panel2, GuardOf(errors));
  FDBGrid1->setObjectName(QStringLiteral("DBGrid1"));
  FDBGrid1->setGeometry(8, 8, 497, 238);
  FDBGrid1->setStyleSheet(QStringLiteral("QTableView, QTableView QLineEdit { color: %1; } QHeaderView::section { color: %2; font-weight: bold; }")
                              .arg(kBlue, kNavy));
  FDBGrid1->SetColumns(GridColumns());
  FDBGrid1->SetConfirmDelete([this](const QString& text) {
    return FWindows.Services().FDialogs.AskYesNo(kConfirmCaption, text);
  });
  FDBGrid1->SetDataSource(&FWindows.Form1().DataSource1());

  QLabel* label3 = MakeLabel(panel2, "Label3", QStringLiteral("Leírás:"), QRect(508, 8, 0, 0), kNavy, true, false);
  FDBMemo1 = new TDBMemo(panel2, GuardOf(errors));
  FDBMemo1->setObjectName(QStringLiteral("DBMemo1"));
  FDBMemo1->setGeometry(508, 22, 241, 224);
  FDBMemo1->setStyleSheet(QStringLiteral("color: %1;").arg(kBlue));
  FDBMemo1->setAccessibleName(QStringLiteral("Leírás"));
  FDBMemo1->SetDataField(QStringLiteral("LEIRAS"));
  FDBMemo1->SetDataSource(&FWindows.Form1().DataSource1());
  label3->setBuddy(FDBMemo1);
}

void TForm2::ShowRecordCount(int count) { FLabel2->setText(QString::number(count)); }

void TForm2::showEvent(QShowEvent* event) {
  TVendrikForm::showEvent(event);
  if (!event->spontaneous()) FWindows.Services().FErrors.Guard([this] { FormShow(); });
}

void TForm2::hideEvent(QHideEvent* event) {
  FCountTimer->stop();
  TVendrikForm::hideEvent(event);
}

void TForm2::FollowRecordCount() {
  // A failure here is not the user's doing: the next look tries again, and
  // the user meets the error at the next thing they do with the table.
  try {
    const int count = FWindows.Form1().Table1().RecordCountNow();
    if (count >= 0 && FLabel2->text() != QString::number(count)) ShowRecordCount(count);
  } catch (const std::exception&) {
  }
}

void TForm2::closeEvent(QCloseEvent* event) {
  const bool posted = FWindows.Services().FErrors.Guard([this] {
    kestrel::access::TDataSet* data = FWindows.Form1().Table1().DataSet();
    if (data != nullptr && data->Active()) data->CheckBrowseMode();
  });
  if (!posted) {
    event->ignore();
    return;
  }
  TVendrikForm::closeEvent(event);
}

void TForm2::FormShow() {
  ITableComponent& table = FWindows.Form1().Table1();
  table.SetIndexName(kCodeIndex);
  ShowRecordCount(table.RecordCount());
  FEdit1->setText(QString());
  FCountTimer->start();
}

void TForm2::SpeedButton1Click() { FWindows.Form6().ShowModal(); }

}  // namespace vendrik
