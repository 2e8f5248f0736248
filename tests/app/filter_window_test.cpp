// The filter builder driven offscreen on the demo table: the composition of
// the condition text with its exact blanks (focus-driven, typed memo text
// replaced or applied), Enter in the row controls, applying on, off and on,
// an empty and a rejected condition, the state and count labels of the
// windows, a value with a quote, "Alaphelyzet", and the layout, tab order
// and accessible names.
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include "access/dataset.h"
#include "app/browse_window.h"
#include "app/filter_window.h"
#include "app/main_window.h"
#include "app/search_window.h"
#include "fake_services.h"

namespace vendrik::testing {
namespace {

constexpr int kDemoRecords = 498;

void Settle() {
  for (int round = 0; round < 5; ++round) QCoreApplication::processEvents();
}

void Focus(QWidget* widget, QEvent::Type type, Qt::FocusReason reason = Qt::TabFocusReason) {
  QFocusEvent event(type, reason);
  QApplication::sendEvent(widget, &event);
}

// Entering and leaving a control, as the focus passing through it does.
void PassThrough(QWidget* widget) {
  Focus(widget, QEvent::FocusIn);
  Focus(widget, QEvent::FocusOut);
}

void Key(QWidget* widget, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &release);
}

// The demo table opened by the shown main window, and the filter builder.
struct TFilterApp {
  TFilterApp() {
    scratch.MakeDemo();
    app = std::make_unique<TAppFixture>();
    app->FWindows->Form1().show();
    Settle();
    if (!Table().Active()) throw std::runtime_error("the demo table did not open");
    Form().show();
    Settle();
  }
  TForm6& Form() { return app->FWindows->Form6(); }
  ITableComponent& Table() { return app->FWindows->Form1().Table1(); }
  QString BrowseCount() { return app->FWindows->Form2().Label2()->text(); }
  QString SearchCount() { return app->FWindows->Form5().Label2()->text(); }
  void SetRows(const TConditionRow& row1, const TConditionRow& row2 = {}) {
    TForm6& f = Form();
    f.ComboBox1()->setEditText(row1.Field);
    f.ComboBox2()->setEditText(row1.Operator);
    f.Edit1()->setText(row1.Value);
    f.ComboBox3()->setEditText(row1.Joining);
    f.ComboBox4()->setEditText(row2.Field);
    f.ComboBox5()->setEditText(row2.Operator);
    f.Edit2()->setText(row2.Value);
    f.ComboBox6()->setEditText(row2.Joining);
  }
  // Applies the memo's text with filtering on or off.
  void Apply(bool on) {
    (on ? Form().RadioButton1() : Form().RadioButton2())->setChecked(true);
    Form().BitBtn2()->click();
  }
  QString CurrentName() { return QString::fromStdString(Table().DataSet()->FieldByName("MEGNEV").AsString()); }

  TScratchDirectory scratch;
  std::unique_ptr<TAppFixture> app;
};

TEST(FilterWindowTest, ComposesTheRowsIntoTheConditionText) {
  struct Case {
    const char* Name;
    TConditionRow Row1, Row2;
    QString Text;
  };
  const std::vector<Case> cases = {
      {"code equals", {"Kód", "=", "01", ""}, {}, "KOD = '01' "},
      {"empty value", {"Megnevezés", ">=", "", ""}, {}, "MEGNEV >= '' "},
      {"two rows", {"Kód", "<", "5", "And"}, {"Megnevezés", "=", "Javítás", ""}, "KOD < '5' And\nMEGNEV = 'Javítás' "},
      {"all empty", {}, {}, ""},
      {"second row only", {}, {"Kód", ">", "9", "Or"}, "KOD > '9' Or"},
      {"typed field", {"Ár", "=", "1", ""}, {}, "'Ár' = '1' "},
      {"typed joining word", {"Kód", "=", "1", "and"}, {}, "KOD = '1' 'and'"},
      {"blanks around", {"  Kód ", " = ", " 01 ", " And "}, {}, "KOD = '01' And"},
      {"quote doubled", {"Megnevezés", "=", "O'Neil", ""}, {}, "MEGNEV = 'O''Neil' "},
      {"value without operator", {"Kód", "", "", ""}, {}, "KOD   "},
  };
  TFilterApp demo;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    demo.SetRows(c.Row1, c.Row2);
    demo.Form().Memo1()->setPlainText(QStringLiteral("left over"));
    PassThrough(demo.Form().Edit1());
    EXPECT_EQ(demo.Form().Memo1()->toPlainText(), c.Text);
  }
}

TEST(FilterWindowTest, EveryRowControlRecomposesButNotADropDownList) {
  TFilterApp demo;
  TForm6& f = demo.Form();
  demo.SetRows({"Kód", "=", "01", ""});
  for (QWidget* control : std::initializer_list<QWidget*>{f.ComboBox1(), f.ComboBox2(), f.Edit1(), f.ComboBox3(),
                                                          f.ComboBox4(), f.ComboBox5(), f.Edit2(), f.ComboBox6()}) {
    SCOPED_TRACE(control->objectName().toStdString());
    f.Memo1()->setPlainText(QStringLiteral("typed"));
    Focus(control, QEvent::FocusOut, Qt::PopupFocusReason);
    Focus(control, QEvent::FocusIn, Qt::PopupFocusReason);
    EXPECT_EQ(f.Memo1()->toPlainText(), QStringLiteral("typed")) << "opening the list changes nothing";
    Focus(control, QEvent::FocusIn, Qt::MouseFocusReason);
    EXPECT_EQ(f.Memo1()->toPlainText(), QStringLiteral("KOD = '01' "));
  }
}

TEST(FilterWindowTest, EnterMovesOnAndAddsNothingToTheList) {
  TFilterApp demo;
  TForm6& f = demo.Form();
  f.ComboBox1()->setFocus();
  f.ComboBox1()->setEditText(QStringLiteral("Ár"));
  Key(f.ComboBox1(), Qt::Key_Return);
  EXPECT_EQ(f.focusWidget(), f.ComboBox2());
  EXPECT_EQ(f.ComboBox1()->count(), 2);
  EXPECT_EQ(f.ComboBox1()->currentText(), QStringLiteral("Ár"));
  f.Edit2()->setFocus();
  Key(f.Edit2(), Qt::Key_Enter);
  EXPECT_EQ(f.focusWidget(), f.ComboBox6());
  for (QComboBox* combo : {f.ComboBox1(), f.ComboBox2(), f.ComboBox3(), f.ComboBox4(), f.ComboBox5(), f.ComboBox6()}) {
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->completer(), nullptr);
    EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert);
  }
}

TEST(FilterWindowTest, AppliesOnOffOnWithTheLabelsOfAllWindows) {
  TFilterApp demo;
  TForm6& f = demo.Form();
  demo.SetRows({"Kód", "=", "01", ""});
  PassThrough(f.ComboBox1());
  demo.Apply(true);
  EXPECT_TRUE(demo.Table().Filtered());
  EXPECT_EQ(demo.Table().Filter(), QStringLiteral("KOD = '01'"));
  EXPECT_EQ(f.Label2()->text(), QStringLiteral("Bekapcsolva"));
  EXPECT_EQ(demo.BrowseCount(), QStringLiteral("1"));
  EXPECT_EQ(demo.SearchCount(), QStringLiteral("1"));

  demo.Apply(false);
  EXPECT_FALSE(demo.Table().Filtered());
  EXPECT_EQ(demo.Table().Filter(), QStringLiteral("KOD = '01'")) << "the text is kept for later";
  EXPECT_EQ(f.Label2()->text(), QStringLiteral("Kikapcsolva"));
  EXPECT_EQ(demo.BrowseCount(), QString::number(kDemoRecords));
  EXPECT_EQ(demo.SearchCount(), QString::number(kDemoRecords));

  demo.Apply(true);
  EXPECT_EQ(demo.BrowseCount(), QStringLiteral("1"));
  EXPECT_EQ(demo.CurrentName(), QStringLiteral("Mezőgazdasági szolgáltatások"));
  EXPECT_TRUE(demo.app->FDialogs.FBoxes.empty());

  // Shown again, the window reads the table's state.
  f.hide();
  demo.Table().SetFiltered(false);
  f.show();
  Settle();
  EXPECT_EQ(f.Label2()->text(), QStringLiteral("Kikapcsolva"));
  EXPECT_TRUE(f.RadioButton2()->isChecked());
  demo.Table().SetFiltered(true);
  f.hide();
  f.show();
  Settle();
  EXPECT_EQ(f.Label2()->text(), QStringLiteral("Bekapcsolva"));
  EXPECT_TRUE(f.RadioButton1()->isChecked());
}

TEST(FilterWindowTest, TwoRowsJoinIntoOneCondition) {
  TFilterApp demo;
  demo.SetRows({"Kód", ">=", "50", "And"}, {"Kód", "<", "51", ""});
  PassThrough(demo.Form().Edit2());
  demo.Apply(true);
  EXPECT_EQ(demo.Table().Filter(), QStringLiteral("KOD >= '50' And KOD < '51'"));
  const int count = demo.BrowseCount().toInt();
  EXPECT_GT(count, 0);
  EXPECT_LT(count, kDemoRecords);
}

TEST(FilterWindowTest, TypedMemoTextIsAppliedOrDiscarded) {
  TFilterApp demo;
  TForm6& f = demo.Form();
  demo.SetRows({"Kód", "=", "01", ""});
  f.Memo1()->setPlainText(QStringLiteral("  KOD >= '90'  \n  And KOD < '91' "));
  demo.Apply(true);
  EXPECT_EQ(demo.Table().Filter(), QStringLiteral("KOD >= '90' And KOD < '91'"));
  EXPECT_GT(demo.BrowseCount().toInt(), 1);
  PassThrough(f.ComboBox2());
  EXPECT_EQ(f.Memo1()->toPlainText(), QStringLiteral("KOD = '01' "));
}

TEST(FilterWindowTest, EmptyConditionOnShowsEveryRecord) {
  TFilterApp demo;
  demo.Apply(true);
  EXPECT_TRUE(demo.Table().Filtered());
  EXPECT_EQ(demo.Form().Label2()->text(), QStringLiteral("Bekapcsolva"));
  EXPECT_EQ(demo.BrowseCount(), QString::number(kDemoRecords));
  EXPECT_EQ(demo.SearchCount(), QString::number(kDemoRecords));
}

TEST(FilterWindowTest, RejectedConditionLeavesFilteringOff) {
  TFilterApp demo;
  TForm6& f = demo.Form();
  demo.SetRows({"Kód", "=", "01", ""});
  PassThrough(f.Edit1());
  demo.Apply(true);
  ASSERT_EQ(demo.BrowseCount(), QStringLiteral("1"));

  f.Memo1()->setPlainText(QStringLiteral("KOD = "));
  demo.Apply(false);
  EXPECT_TRUE(demo.app->FDialogs.FBoxes.empty()) << "stored without complaint while off";
  demo.Apply(true);
  ASSERT_EQ(demo.app->FDialogs.FBoxes.size(), 1u);
  EXPECT_EQ(demo.app->FDialogs.FBoxes[0].FKind, TBoxKind::bkMessage);
  EXPECT_EQ(demo.app->FDialogs.FBoxes[0].FCaption, QStringLiteral("Szűrő beállítása:"));
  EXPECT_EQ(demo.app->FDialogs.FBoxes[0].FText, QStringLiteral("Hibás a szűrési feltétel !!!"));
  EXPECT_FALSE(demo.Table().Filtered());
  EXPECT_EQ(f.Label2()->text(), QStringLiteral("Kikapcsolva"));
  EXPECT_EQ(demo.BrowseCount(), QString::number(kDemoRecords));
  EXPECT_EQ(demo.SearchCount(), QString::number(kDemoRecords));
}

TEST(FilterWindowTest, ValueWithAQuoteSelectsItsRecord) {
  const QString name = QStringLiteral("Ácsmunka – 'kiemelt' szolgáltatás");
  TFilterApp demo;
  demo.SetRows({"Megnevezés", "=", name, ""});
  PassThrough(demo.Form().Edit1());
  demo.Apply(true);
  EXPECT_TRUE(demo.app->FDialogs.FBoxes.empty());
  EXPECT_EQ(demo.Table().Filter(), QStringLiteral("MEGNEV = 'Ácsmunka – ''kiemelt'' szolgáltatás'"));
  EXPECT_EQ(demo.BrowseCount(), QStringLiteral("1"));
  EXPECT_EQ(demo.CurrentName(), name);
}

TEST(FilterWindowTest, ResetEmptiesTheControlsOnly) {
  TFilterApp demo;
  TForm6& f = demo.Form();
  demo.SetRows({"Kód", "=", "01", "Or"}, {"Megnevezés", "<", "B", "Or"});
  f.ComboBox6()->setEditText(QString());
  PassThrough(f.Edit1());
  demo.Apply(true);
  ASSERT_TRUE(demo.Table().Filtered());
  f.ComboBox6()->setEditText(QStringLiteral("Or"));
  f.BitBtn3()->click();
  for (QComboBox* combo : {f.ComboBox1(), f.ComboBox2(), f.ComboBox3(), f.ComboBox4(), f.ComboBox5(), f.ComboBox6()})
    EXPECT_TRUE(combo->currentText().isEmpty()) << combo->objectName().toStdString();
  EXPECT_TRUE(f.Edit1()->text().isEmpty());
  EXPECT_TRUE(f.Edit2()->text().isEmpty());
  EXPECT_TRUE(f.Memo1()->toPlainText().isEmpty());
  EXPECT_TRUE(f.RadioButton2()->isChecked());
  EXPECT_TRUE(demo.Table().Filtered());
  EXPECT_EQ(f.Label2()->text(), QStringLiteral("Bekapcsolva"));
  f.BitBtn1()->click();
  EXPECT_FALSE(f.isVisible());
}

TEST(FilterWindowTest, LayoutTabOrderAndNames) {
  TFilterApp demo;
  TForm6& f = demo.Form();
  EXPECT_EQ(f.windowTitle(), QStringLiteral(" Megjelenítendő adatok szűrése:"));
  EXPECT_EQ(f.size(), QSize(541, 225));
  EXPECT_EQ(f.focusWidget(), f.BitBtn1());
  struct Control {
    QWidget* Widget;
    QRect Geometry;
    QString Name;
  };
  const std::vector<Control> controls = {
      {f.BitBtn2(), QRect(8, 8, 100, 25), "Beállít"},
      {f.BitBtn3(), QRect(120, 8, 100, 25), "Alaphelyzet"},
      {f.BitBtn1(), QRect(432, 8, 100, 25), "Befejezés"},
      {f.Label2(), QRect(224, 22, 201, 13), "Szűrés"},
      {f.ComboBox1(), QRect(32, 16, 169, 21), "Mező 1"},
      {f.ComboBox2(), QRect(208, 16, 65, 21), "Reláció 1"},
      {f.Edit1(), QRect(280, 16, 173, 21), "Érték 1"},
      {f.ComboBox3(), QRect(460, 16, 65, 21), "Kapcsolat 1"},
      {f.ComboBox4(), QRect(32, 48, 169, 21), "Mező 2"},
      {f.ComboBox5(), QRect(208, 48, 65, 21), "Reláció 2"},
      {f.Edit2(), QRect(280, 48, 173, 21), "Érték 2"},
      {f.ComboBox6(), QRect(460, 48, 65, 21), "Kapcsolat 2"},
      {f.Memo1(), QRect(11, 21, 371, 60), "Szűrési feltétel"},
      {f.RadioButton1(), QRect(), "Bekapcsolva"},
      {f.RadioButton2(), QRect(), "Kikapcsolva"},
  };
  for (const Control& c : controls) {
    SCOPED_TRACE(c.Name.toStdString());
    if (!c.Geometry.isNull()) {
      EXPECT_EQ(c.Widget->geometry(), c.Geometry);
    }
    EXPECT_EQ(c.Widget->accessibleName(), c.Name);
  }
  EXPECT_EQ(f.RadioButton1()->pos(), QPoint(8, 10));
  EXPECT_EQ(f.RadioButton2()->pos(), QPoint(8, 34));
  EXPECT_EQ(f.BitBtn2()->toolTip(), QStringLiteral("Megadott szűrési feltétel beállítása !"));
  EXPECT_EQ(f.BitBtn3()->toolTip(), QStringLiteral("Értékek alaphelyzetbe állítása !"));
  EXPECT_EQ(f.findChild<QGroupBox*>(QStringLiteral("GroupBox1"))->title(), QStringLiteral(" Szűrési feltétel "));
  EXPECT_EQ(f.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Szűrés"));

  const std::vector<QWidget*> order = {f.BitBtn1(),   f.BitBtn2(),   f.BitBtn3(), f.ComboBox1(), f.ComboBox2(),
                                       f.Edit1(),     f.ComboBox3(), f.ComboBox4(), f.ComboBox5(), f.Edit2(),
                                       f.ComboBox6(), f.Memo1(),     f.RadioButton1()};
  for (std::size_t i = 1; i < order.size(); ++i) {
    QWidget* next = order[i - 1]->nextInFocusChain();
    while (next != order[i] && (!(next->focusPolicy() & Qt::TabFocus) || order[i - 1]->isAncestorOf(next))) next = next->nextInFocusChain();
    EXPECT_EQ(next, order[i]) << "after " << order[i - 1]->objectName().toStdString();
  }
}

}  // namespace
}  // namespace vendrik::testing
