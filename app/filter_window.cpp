// The filter builder: construction, composition of the condition text and
// the three buttons.
#include "app/filter_window.h"

#include <exception>

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QToolTip>

#include "app/app_windows.h"
#include "app/browse_window.h"
#include "app/dialog_service.h"
#include "app/error_display.h"
#include "app/main_window.h"
#include "app/search_window.h"
#include "app/window_parts.h"

namespace vendrik {
namespace {

const QString kCaption = QStringLiteral(" Megjelenítendő adatok szűrése:");
const QString kStateCaption = QStringLiteral("Szűrés");
const QString kOn = QStringLiteral("Bekapcsolva");
const QString kOff = QStringLiteral("Kikapcsolva");
const QString kBadFilterCaption = QStringLiteral("Szűrő beállítása:");
const QString kBadFilterText = QStringLiteral("Hibás a szűrési feltétel !!!");
const QString kPurple = QStringLiteral("#800080");
constexpr int kComboHeight = 21;

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                        const QRect& geometry) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setToolTip(hint);
  button->setStatusTip(hint);
  button->setAccessibleName(caption);
  return button;
}

QRadioButton* MakeRadio(QWidget* parent, const char* name, const QString& caption, QPoint position) {
  auto* radio = new QRadioButton(caption, parent);
  radio->setObjectName(QString::fromLatin1(name));
  radio->move(position);
  radio->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;").arg(kPurple));
  radio->adjustSize();
  radio->setAccessibleName(caption);
  return radio;
}

}  // namespace

TForm6::TForm6(TAppWindows& windows)
    : TVendrikForm(QStringLiteral("Form6"), kCaption, QSize(541, 225), TBorderStyle::bsSingleMinimise),
      FWindows(windows) {
  createTopBar();
  createRows();
  createConditionBox();
  setTabOrders();
}

TForm6::~TForm6() = default;

void TForm6::createTopBar() {
  TErrorDisplay& errors = FWindows.Services().FErrors;
  QFrame* panel1 = MakePanel(this, "Panel1", QRect(0, 0, 541, 41), false);
  FBitBtn2 = MakeButton(panel1, "BitBtn2", QStringLiteral("Beállít"),
                        QStringLiteral("Megadott szűrési feltétel beállítása !"), QRect(8, 8, 100, 25));
  connect(FBitBtn2, &QPushButton::clicked, this, [this, &errors] { errors.Guard([this] { BitBtn2Click(); }); });
  FBitBtn3 = MakeButton(panel1, "BitBtn3", QStringLiteral("Alaphelyzet"),
                        QStringLiteral("Értékek alaphelyzetbe állítása !"), QRect(120, 8, 100, 25));
  connect(FBitBtn3, &QPushButton::clicked, this, [this, &errors] { errors.Guard([this] { BitBtn3Click(); }); });
  MakeLabel(panel1, "Label1", kStateCaption, QRect(224, 7, 201, 13), kNavy, false, true);
  FLabel2 = MakeLabel(panel1, "Label2", kOff, QRect(224, 22, 201, 13), kBlue, false, true);
  FLabel2->setAccessibleName(kStateCaption);
  FBitBtn1 = MakeCloseButton(panel1, QRect(432, 8, 100, 25));
  connect(FBitBtn1, &QPushButton::clicked, this, [this, &errors] { errors.Guard([this] { BitBtn1Click(); }); });
}

QComboBox* TForm6::MakeRowCombo(QWidget* parent, const char* name, const QRect& geometry, const QStringList& items,
                                const QString& accessibleName) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QString::fromLatin1(name));
  combo->setEditable(true);
  combo->addItems(items);
  combo->setCurrentIndex(-1);
  combo->setInsertPolicy(QComboBox::NoInsert);  // Enter adds nothing to the list
  combo->setCompleter(nullptr);
  combo->setGeometry(geometry);
  combo->setAccessibleName(accessibleName);
  combo->installEventFilter(this);
  combo->lineEdit()->installEventFilter(this);
  return combo;
}

QLineEdit* TForm6::MakeRowEdit(QWidget* parent, const char* name, const QRect& geometry,
                               const QString& accessibleName) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setGeometry(geometry);
  edit->setAccessibleName(accessibleName);
  edit->installEventFilter(this);
  return edit;
}

void TForm6::createRows() {
  QFrame* panel2 = MakePanel(this, "Panel2", QRect(0, 41, 541, 184), true);
  MakeLabel(panel2, "Label3", QStringLiteral("1."), QRect(16, 24, 0, 0), kPurple, true, false);
  MakeLabel(panel2, "Label4", QStringLiteral("2."), QRect(16, 56, 0, 0), kPurple, true, false);
  const QStringList fields{QStringLiteral("Kód"), QStringLiteral("Megnevezés")};
  const QStringList operators{QStringLiteral("<"), QStringLiteral(">"), QStringLiteral("="),
                              QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("<>")};
  const QStringList joinings{QStringLiteral("And"), QStringLiteral("Or")};
  const QString blueFont = QStringLiteral("QComboBox { color: %1; }").arg(kBlue);

  FComboBox1 = MakeRowCombo(panel2, "ComboBox1", QRect(32, 16, 169, kComboHeight), fields, QStringLiteral("Mező 1"));
  FComboBox2 = MakeRowCombo(panel2, "ComboBox2", QRect(208, 16, 65, kComboHeight), operators, QStringLiteral("Reláció 1"));
  FEdit1 = MakeRowEdit(panel2, "Edit1", QRect(280, 16, 173, kComboHeight), QStringLiteral("Érték 1"));
  FComboBox3 = MakeRowCombo(panel2, "ComboBox3", QRect(460, 16, 65, kComboHeight), joinings, QStringLiteral("Kapcsolat 1"));
  FComboBox4 = MakeRowCombo(panel2, "ComboBox4", QRect(32, 48, 169, kComboHeight), fields, QStringLiteral("Mező 2"));
  FComboBox5 = MakeRowCombo(panel2, "ComboBox5", QRect(208, 48, 65, kComboHeight), operators, QStringLiteral("Reláció 2"));
  FEdit2 = MakeRowEdit(panel2, "Edit2", QRect(280, 48, 173, kComboHeight), QStringLiteral("Érték 2"));
  FComboBox6 = MakeRowCombo(panel2, "ComboBox6", QRect(460, 48, 65, kComboHeight), joinings, QStringLiteral("Kapcsolat 2"));
  FComboBox1->setStyleSheet(blueFont);
  FComboBox4->setStyleSheet(blueFont);
}

void TForm6::createConditionBox() {
  auto* groupBox1 = new QGroupBox(QStringLiteral(" Szűrési feltétel "), findChild<QFrame*>(QStringLiteral("Panel2")));
  groupBox1->setObjectName(QStringLiteral("GroupBox1"));
  groupBox1->setGeometry(16, 80, 510, 93);
  groupBox1->setStyleSheet(QStringLiteral("QGroupBox { color: %1; font-weight: bold; }").arg(kNavy));

  FMemo1 = new QPlainTextEdit(groupBox1);
  FMemo1->setObjectName(QStringLiteral("Memo1"));
  FMemo1->setGeometry(11, 21, 371, 60);
  FMemo1->setFrameShape(QFrame::NoFrame);
  FMemo1->setTabChangesFocus(true);
  FMemo1->setStyleSheet(QStringLiteral("QPlainTextEdit { background-color: %1; color: %2; font-weight: bold; }")
                            .arg(QToolTip::palette().color(QPalette::ToolTipBase).name(), kBlue));
  FMemo1->setAccessibleName(QStringLiteral("Szűrési feltétel"));

  auto* panel3 = new QFrame(groupBox1);
  panel3->setObjectName(QStringLiteral("Panel3"));
  panel3->setGeometry(390, 21, 108, 60);
  panel3->setFrameShape(QFrame::Panel);
  panel3->setFrameShadow(QFrame::Sunken);
  FRadioButton1 = MakeRadio(panel3, "RadioButton1", kOn, QPoint(8, 10));
  FRadioButton2 = MakeRadio(panel3, "RadioButton2", kOff, QPoint(8, 34));
  FRadioButton2->setChecked(true);
}

void TForm6::setTabOrders() {
  QWidget* order[] = {FBitBtn1, FBitBtn2, FBitBtn3,  FComboBox1, FComboBox2,    FEdit1,        FComboBox3,
                      FComboBox4, FComboBox5, FEdit2, FComboBox6, FMemo1, FRadioButton1, FRadioButton2};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

bool TForm6::IsRowControl(QObject* object) const {
  for (QComboBox* combo : {FComboBox1, FComboBox2, FComboBox3, FComboBox4, FComboBox5, FComboBox6})
    if (object == combo || object == combo->lineEdit()) return true;
  return object == FEdit1 || object == FEdit2;
}

bool TForm6::eventFilter(QObject* watched, QEvent* event) {
  if (!IsRowControl(watched)) return TVendrikForm::eventFilter(watched, event);
  if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
    // Opening a drop-down list moves the focus to the list and back; that is
    // no move between controls.
    if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
      FWindows.Services().FErrors.Guard([this] { ComboBox1Enter(); });
  } else if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      focusNextPrevChild(true);
      return true;
    }
  }
  return TVendrikForm::eventFilter(watched, event);
}

TConditionRow TForm6::Row1() const {
  return {FComboBox1->currentText(), FComboBox2->currentText(), FEdit1->text(), FComboBox3->currentText()};
}

TConditionRow TForm6::Row2() const {
  return {FComboBox4->currentText(), FComboBox5->currentText(), FEdit2->text(), FComboBox6->currentText()};
}

void TForm6::showEvent(QShowEvent* event) {
  TVendrikForm::showEvent(event);
  if (!event->spontaneous()) {
    FWindows.Services().FErrors.Guard([this] { FormShow(); });
    FBitBtn1->setFocus(Qt::OtherFocusReason);
  }
}

void TForm6::FormShow() {
  const bool filtered = FWindows.Form1().Table1().Filtered();
  FLabel2->setText(filtered ? kOn : kOff);
  (filtered ? FRadioButton1 : FRadioButton2)->setChecked(true);
}

void TForm6::ComboBox1Enter() {
  QStringList lines;
  for (const TConditionRow& row : {Row1(), Row2()})
    if (RowHasLine(row)) lines << ComposeConditionLine(row);
  FMemo1->setPlainText(lines.join(QLatin1Char('\n')));
}

void TForm6::BitBtn2Click() {
  ITableComponent& table = FWindows.Form1().Table1();
  table.SetFiltered(false);
  const QString text = FilterTextOfLines(FMemo1->toPlainText().split(QLatin1Char('\n')));
  try {
    table.SetFilter(text);
    if (FRadioButton1->isChecked()) {
      table.SetFiltered(true);
      FLabel2->setText(kOn);
    } else {
      table.SetFiltered(false);
      FLabel2->setText(kOff);
    }
  } catch (const std::exception&) {
    // Filtering stays off after a rejected condition, and the label says so.
    FLabel2->setText(kOff);
    FWindows.Services().FDialogs.ShowMessage(kBadFilterCaption, kBadFilterText);
  }
  const QString count = QString::number(table.RecordCount());
  FWindows.Form2().Label2()->setText(count);
  FWindows.Form5().Label2()->setText(count);
}

void TForm6::BitBtn3Click() {
  for (QComboBox* combo : {FComboBox1, FComboBox2, FComboBox3, FComboBox4, FComboBox5, FComboBox6}) {
    combo->setCurrentIndex(-1);
    combo->clearEditText();
  }
  FEdit1->clear();
  FEdit2->clear();
  FMemo1->clear();
  FRadioButton2->setChecked(true);
}

void TForm6::BitBtn1Click() { close(); }

}  // namespace vendrik
