// TForm6: the filter builder. The user fills in up to two condition rows
// (field, operator, value, joining word); whenever one of the eight row
// controls gains or loses the focus the window writes the rows' condition
// lines into the condition box (Memo1), replacing what it held. The user may
// edit that text by hand. "Beállít" hands the text to the main window's
// Table1 as its filter and switches filtering on or off by the radio
// buttons; "Alaphelyzet" empties the controls; "Befejezés" closes. The
// controls keep their contents between showings.
//
// Layout (client 541 x 225): the top bar (541 x 41) with the three buttons
// and the state labels; the lowered panel below with the two rows and the
// group box " Szűrési feltétel " (the memo and the on/off radio buttons).
// Tab order: Befejezés, Beállít, Alaphelyzet, row 1, row 2, memo, radios;
// Befejezés has the focus when the window opens. Enter in a row control
// moves the focus on.
//
// A condition the engine rejects shows "Hibás a szűrési feltétel !!!"; the
// filter then stays off and the state label says so. Every handler runs
// under the standard error display's guard.
#pragma once

#include "app/filter_composition.h"
#include "app/vendrik_form.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace vendrik {

class TAppWindows;

class TForm6 : public TVendrikForm {
  Q_OBJECT

 public:
  // Builds the window (hidden); `windows` must outlive it and its browse and
  // search windows exist already.
  explicit TForm6(TAppWindows& windows);
  ~TForm6() override;

  QPushButton* BitBtn1() const { return FBitBtn1; }
  QPushButton* BitBtn2() const { return FBitBtn2; }
  QPushButton* BitBtn3() const { return FBitBtn3; }
  QLabel* Label2() const { return FLabel2; }
  QComboBox* ComboBox1() const { return FComboBox1; }
  QComboBox* ComboBox2() const { return FComboBox2; }
  QLineEdit* Edit1() const { return FEdit1; }
  QComboBox* ComboBox3() const { return FComboBox3; }
  QComboBox* ComboBox4() const { return FComboBox4; }
  QComboBox* ComboBox5() const { return FComboBox5; }
  QLineEdit* Edit2() const { return FEdit2; }
  QComboBox* ComboBox6() const { return FComboBox6; }
  QPlainTextEdit* Memo1() const { return FMemo1; }
  QRadioButton* RadioButton1() const { return FRadioButton1; }
  QRadioButton* RadioButton2() const { return FRadioButton2; }

 protected:
  void showEvent(QShowEvent* event) override;
  // Focus changes and Enter of the eight row controls.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createTopBar();
  void createRows();
  void createConditionBox();
  void setTabOrders();
  QComboBox* MakeRowCombo(QWidget* parent, const char* name, const QRect& geometry, const QStringList& items,
                          const QString& accessibleName);
  QLineEdit* MakeRowEdit(QWidget* parent, const char* name, const QRect& geometry, const QString& accessibleName);
  bool IsRowControl(QObject* object) const;
  TConditionRow Row1() const;
  TConditionRow Row2() const;

  void FormShow();
  // Writes the lines of the two rows into the memo.
  void ComboBox1Enter();
  void BitBtn2Click();
  void BitBtn3Click();
  void BitBtn1Click();

  TAppWindows& FWindows;
  QPushButton* FBitBtn1 = nullptr;
  QPushButton* FBitBtn2 = nullptr;
  QPushButton* FBitBtn3 = nullptr;
  QLabel* FLabel2 = nullptr;
  QComboBox* FComboBox1 = nullptr;
  QComboBox* FComboBox2 = nullptr;
  QLineEdit* FEdit1 = nullptr;
  QComboBox* FComboBox3 = nullptr;
  QComboBox* FComboBox4 = nullptr;
  QComboBox* FComboBox5 = nullptr;
  QLineEdit* FEdit2 = nullptr;
  QComboBox* FComboBox6 = nullptr;
  QPlainTextEdit* FMemo1 = nullptr;
  QRadioButton* FRadioButton1 = nullptr;
  QRadioButton* FRadioButton2 = nullptr;
};

}  // namespace vendrik
