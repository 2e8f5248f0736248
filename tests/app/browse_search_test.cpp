// The browse and search windows driven offscreen on the demo table: the
// incremental search ("0", "01", "011", back to empty; a text above every
// code; name order with 40 characters), Enter, the order switch and the
// maximum length, the count label, reopening after name order, the close
// buttons, read-only controls in the search window and the accessible names.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>

#include <gtest/gtest.h>

#include "access/dataset.h"
#include "app/browse_window.h"
#include "app/db_controls.h"
#include "app/incremental_search.h"
#include "app/main_window.h"
#include "app/search_window.h"
#include "fake_services.h"

namespace vendrik::testing {
namespace {

constexpr int kDemoRecords = 498;

void Settle() {
  for (int round = 0; round < 5; ++round) QCoreApplication::processEvents();
}

void Key(QWidget* widget, int key, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &release);
}

void Type(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    const int key = c.unicode() < 128 ? static_cast<int>(c.toUpper().unicode()) : static_cast<int>(Qt::Key_unknown);
    Key(widget, key, QString(c));
  }
}

// The demo table opened by the shown main window.
struct TDemoApp {
  TDemoApp() {
    scratch.MakeDemo();
    app = std::make_unique<TAppFixture>();
    Form1().show();
    Settle();
    if (!Form1().Table1().Active()) throw std::runtime_error("the demo table did not open");
  }
  TForm1& Form1() { return app->FWindows->Form1(); }
  TForm2& Form2() { return app->FWindows->Form2(); }
  TForm5& Form5() { return app->FWindows->Form5(); }
  kestrel::access::TDataSet& Data() { return *Form1().Table1().DataSet(); }
  QString Field(const char* name) {
    return QString::fromStdString(Data().FieldByName(name).AsString());
  }

  TScratchDirectory scratch;
  std::unique_ptr<TAppFixture> app;
};

TEST(BrowseWindowTest, IncrementalSearchByCode) {
  TDemoApp demo;
  TForm2& form = demo.Form2();
  form.show();
  Settle();
  TIncrementalSearch* edit = form.Edit1();
  struct Step {
    int Key;
    QString Text;
    QString Code;
  };
  const Step steps[] = {
      {Qt::Key_0, QStringLiteral("0"), QStringLiteral("01")},
      {Qt::Key_1, QStringLiteral("1"), QStringLiteral("01")},
      {Qt::Key_1, QStringLiteral("1"), QStringLiteral("02")},
      {Qt::Key_Backspace, QString(), QStringLiteral("01")},
      {Qt::Key_Backspace, QString(), QStringLiteral("01")},
      {Qt::Key_Backspace, QString(), QStringLiteral("01")},
  };
  demo.Data().Last();
  for (const Step& step : steps) {
    Key(edit, step.Key, step.Text);
    EXPECT_EQ(demo.Field("KOD"), step.Code) << edit->text().toStdString();
  }
  EXPECT_TRUE(edit->text().isEmpty());
  EXPECT_EQ(demo.Data().RecNo(), 1) << "an empty field moves to the first record";

  Type(edit, QStringLiteral("ZZZ"));
  EXPECT_EQ(demo.Field("KOD"), QStringLiteral("96.06.1")) << "above every code: the last record";
  EXPECT_TRUE(demo.app->FDialogs.FBoxes.empty());
  form.close();
}

TEST(BrowseWindowTest, NameOrderTakesFortyCharactersAndEnterMovesToTheGrid) {
  TDemoApp demo;
  TForm2& form = demo.Form2();
  form.show();
  Settle();
  TIncrementalSearch* edit = form.Edit1();
  edit->Magyar1()->trigger();
  EXPECT_EQ(demo.Form1().Table1().IndexName(), QStringLiteral("INDMN"));
  EXPECT_TRUE(edit->Magyar1()->isChecked());
  EXPECT_FALSE(edit->Kd1()->isChecked());
  Type(edit, QStringLiteral("ablak"));
  EXPECT_TRUE(demo.Field("MEGNEV").startsWith(QStringLiteral("Ablaktisztítás"))) << demo.Field("MEGNEV").toStdString();
  const QString forty = QStringLiteral("Ablaktisztításxxxxxxxxxxxxxxxxxxxxxxxxxx");
  ASSERT_EQ(forty.size(), 40);
  edit->clear();
  Type(edit, forty + QStringLiteral("yy"));
  EXPECT_EQ(edit->text(), forty) << "at most 40 characters";

  // Back to the code order: the text stays whole and no search is made.
  const QString current = demo.Field("KOD");
  edit->Kd1()->trigger();
  EXPECT_EQ(edit->text(), forty);
  EXPECT_EQ(edit->MaxLength(), 10);
  EXPECT_EQ(demo.Field("KOD"), current);
  Key(edit, Qt::Key_A, QStringLiteral("a"));
  EXPECT_EQ(edit->text(), forty) << "no typing beyond the lower limit";
  Key(edit, Qt::Key_Backspace);
  EXPECT_EQ(edit->text().size(), 39) << "but deleting works";

  form.activateWindow();
  edit->setFocus();
  Key(edit, Qt::Key_Return);
  Settle();
  EXPECT_TRUE(form.isVisible()) << "Enter closes nothing";
  EXPECT_TRUE(form.DBGrid1()->View()->hasFocus() || QApplication::focusWidget() == form.DBGrid1()->View());
  form.close();
}

TEST(BrowseWindowTest, ReopeningAfterNameOrder) {
  TDemoApp demo;
  TForm2& form = demo.Form2();
  form.show();
  Settle();
  form.Edit1()->Magyar1()->trigger();
  Type(form.Edit1(), QStringLiteral("b"));
  form.close();
  form.show();
  Settle();
  EXPECT_EQ(demo.Form1().Table1().IndexName(), QStringLiteral("KOD"));
  EXPECT_TRUE(form.Edit1()->Magyar1()->isChecked()) << "the menu's mark is not reset";
  EXPECT_EQ(form.Edit1()->MaxLength(), 40);
  EXPECT_TRUE(form.Edit1()->text().isEmpty());
  EXPECT_EQ(demo.Field("KOD"), QStringLiteral("01")) << "emptying the field moved to the first record";
  form.close();
}

TEST(BrowseWindowTest, CountLabelFollowsShowPostAndDelete) {
  TDemoApp demo;
  TForm2& form = demo.Form2();
  EXPECT_EQ(form.Label2()->text(), QStringLiteral("0"));
  form.show();
  Settle();
  EXPECT_EQ(form.Label2()->text(), QString::number(kDemoRecords));
  kestrel::access::TDataSet& data = demo.Data();
  form.DBNavigator1()->BtnClick(TDBNavigator::nbInsert);
  data.FieldByName("KOD").SetAsString("00.00.1");
  data.FieldByName("MEGNEV").SetAsString("Próba");
  form.DBNavigator1()->BtnClick(TDBNavigator::nbPost);
  EXPECT_EQ(form.Label2()->text(), QString::number(kDemoRecords + 1));
  demo.app->FDialogs.FAnswers = {false};
  form.DBNavigator1()->BtnClick(TDBNavigator::nbDelete);
  EXPECT_EQ(form.Label2()->text(), QString::number(kDemoRecords + 1)) << "a refused deletion";
  EXPECT_EQ(demo.Field("KOD"), QStringLiteral("00.00.1"));
  demo.app->FDialogs.FAnswers = {true};
  form.DBNavigator1()->BtnClick(TDBNavigator::nbDelete);
  EXPECT_EQ(form.Label2()->text(), QString::number(kDemoRecords));
  ASSERT_EQ(demo.app->FDialogs.FBoxes.size(), 2u);
  EXPECT_EQ(demo.app->FDialogs.FBoxes[0].FText, QStringLiteral("Biztosan törölhető ?"));
  form.close();
}

TEST(BrowseWindowTest, NavigatorButtonsFollowTheState) {
  TDemoApp demo;
  TForm2& form = demo.Form2();
  form.show();
  Settle();
  TDBNavigator* navigator = form.DBNavigator1();
  auto enabled = [&](TDBNavigator::TNavigateBtn button) { return navigator->Button(button)->isEnabled(); };
  EXPECT_FALSE(enabled(TDBNavigator::nbFirst));
  EXPECT_FALSE(enabled(TDBNavigator::nbPrior));
  EXPECT_TRUE(enabled(TDBNavigator::nbNext));
  EXPECT_FALSE(enabled(TDBNavigator::nbPost));
  navigator->BtnClick(TDBNavigator::nbLast);
  EXPECT_EQ(demo.Field("KOD"), QStringLiteral("96.06.1"));
  EXPECT_FALSE(enabled(TDBNavigator::nbNext));
  EXPECT_TRUE(enabled(TDBNavigator::nbPrior));
  navigator->BtnClick(TDBNavigator::nbEdit);
  EXPECT_TRUE(enabled(TDBNavigator::nbPost));
  EXPECT_TRUE(enabled(TDBNavigator::nbCancel));
  EXPECT_FALSE(enabled(TDBNavigator::nbNext));
  navigator->BtnClick(TDBNavigator::nbCancel);
  EXPECT_EQ(demo.Data().State(), kestrel::access::TDataSetState::dsBrowse);
  form.close();
}

TEST(BrowseWindowTest, GridShowsTheRowsAroundTheCurrentRecord) {
  TDemoApp demo;
  TForm2& form = demo.Form2();
  form.show();
  Settle();
  QTableView* view = form.DBGrid1()->View();
  const int rows = view->model()->rowCount();
  EXPECT_GE(rows, 10);
  EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Kód"));
  EXPECT_EQ(view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Megnevezés"));
  EXPECT_EQ(view->columnWidth(0), 58);
  EXPECT_EQ(view->columnWidth(1), 404);
  EXPECT_EQ(view->model()->index(0, 0).data().toString(), QStringLiteral("01"));
  EXPECT_TRUE(view->selectionModel()->isRowSelected(0, QModelIndex()));
  // Moving past the window scrolls it; the cursor is not moved by painting.
  for (int i = 0; i < rows; ++i) demo.Data().Next();
  EXPECT_EQ(view->model()->index(rows - 1, 0).data().toString(), demo.Field("KOD"));
  EXPECT_TRUE(view->selectionModel()->isRowSelected(rows - 1, QModelIndex()));
  view->viewport()->repaint();
  EXPECT_EQ(demo.Data().RecNo(), rows + 1);
  EXPECT_EQ(form.DBGrid1()->ScrollBar()->maximum(), kDemoRecords);
  EXPECT_EQ(form.DBGrid1()->ScrollBar()->value(), rows + 1);
  form.DBGrid1()->ScrollBar()->setValue(kDemoRecords / 2);
  EXPECT_EQ(demo.Data().RecNo(), kDemoRecords / 2) << "dragging the scroll bar moves there";
  form.close();
}

TEST(SearchWindowTest, ReopeningAfterNameOrderFollowsTheStepsOfFormShow) {
  TDemoApp demo;
  TForm5& form = demo.Form5();
  form.show();
  Settle();
  form.Edit1()->Magyar1()->trigger();
  Type(form.Edit1(), QStringLiteral("b"));
  form.close();  // the title bar: the order stays
  EXPECT_EQ(demo.Form1().Table1().IndexName(), QStringLiteral("INDMN"));
  form.show();
  Settle();
  // The field was emptied in name order (first record by name), then the
  // order went back to the code.
  EXPECT_EQ(demo.Form1().Table1().IndexName(), QStringLiteral("KOD"));
  EXPECT_TRUE(demo.Field("MEGNEV").startsWith(QStringLiteral("Ablaktisztítás")));
  EXPECT_TRUE(form.Edit1()->Kd1()->isChecked());
  EXPECT_EQ(form.Edit1()->MaxLength(), 10);
  EXPECT_EQ(form.Label2()->text(), QString::number(kDemoRecords));

  form.Edit1()->Magyar1()->trigger();
  form.BitBtn1()->click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(demo.Form1().Table1().IndexName(), QStringLiteral("KOD")) << "Befejezés returns to the code order";
}

// A grid shown for the first time after another window has moved the shared
// table fills all its rows around the current record, which it shows as
// current.
TEST(SearchWindowTest, GridOpenedAfterBrowsingShowsTheCurrentRecordAmongItsRows) {
  TDemoApp demo;
  TForm2& browse = demo.Form2();
  browse.show();
  Settle();
  Type(browse.Edit1(), QStringLiteral("58.0"));
  Settle();
  const QString code = demo.Field("KOD");
  ASSERT_TRUE(code.startsWith(QStringLiteral("58.0"))) << code.toStdString();
  browse.close();

  TForm5& search = demo.Form5();
  search.show();
  Settle();
  QTableView* view = search.DBGrid1()->View();
  EXPECT_GE(view->model()->rowCount(), 10);
  const int current = view->currentIndex().row();
  EXPECT_EQ(view->model()->index(current, 0).data().toString(), code);
  EXPECT_TRUE(view->selectionModel()->isRowSelected(current, QModelIndex()));
  search.close();
}

TEST(SearchWindowTest, GridAndMemoRefuseEditing) {
  TDemoApp demo;
  TForm5& form = demo.Form5();
  form.show();
  Settle();
  EXPECT_TRUE(form.DBGrid1()->ReadOnly());
  EXPECT_TRUE(form.DBMemo1()->isReadOnly());
  const QString before = form.DBMemo1()->toPlainText();
  EXPECT_FALSE(before.isEmpty());
  Type(form.DBMemo1(), QStringLiteral("x"));
  EXPECT_EQ(form.DBMemo1()->toPlainText(), before);
  EXPECT_EQ(demo.Data().State(), kestrel::access::TDataSetState::dsBrowse);
  form.close();
}

TEST(WindowAccessibilityTest, EveryControlHasItsName) {
  TDemoApp demo;
  struct Case {
    QWidget* Widget;
    QString Name;
  };
  TForm2& browse = demo.Form2();
  TForm5& search = demo.Form5();
  const Case cases[] = {
      {browse.DBNavigator1()->Button(TDBNavigator::nbFirst), QStringLiteral("Első rekord")},
      {browse.DBNavigator1()->Button(TDBNavigator::nbPrior), QStringLiteral("Előző rekord")},
      {browse.DBNavigator1()->Button(TDBNavigator::nbNext), QStringLiteral("Következő rekord")},
      {browse.DBNavigator1()->Button(TDBNavigator::nbLast), QStringLiteral("Utolsó rekord")},
      {browse.DBNavigator1()->Button(TDBNavigator::nbInsert), QStringLiteral("Új rekord")},
      {browse.DBNavigator1()->Button(TDBNavigator::nbDelete), QStringLiteral("Rekord törlése")},
      {browse.DBNavigator1()->Button(TDBNavigator::nbEdit), QStringLiteral("Rekord szerkesztése")},
      {browse.DBNavigator1()->Button(TDBNavigator::nbPost), QStringLiteral("Rekord tárolása")},
      {browse.DBNavigator1()->Button(TDBNavigator::nbCancel), QStringLiteral("Elvetés")},
      {browse.DBNavigator1()->Button(TDBNavigator::nbRefresh), QStringLiteral("Frissítés")},
      {browse.Edit1(), QStringLiteral("Keresendő kifejezés")},
      {browse.SpeedButton1(), QStringLiteral("Szűrés")},
      {browse.BitBtn1(), QStringLiteral("Befejezés")},
      {browse.DBMemo1(), QStringLiteral("Leírás")},
      {browse.Label2(), QStringLiteral("Tárolt rekordok száma")},
      {search.Edit1(), QStringLiteral("Keresendő kifejezés")},
      {search.SpeedButton1(), QStringLiteral("Szűrés")},
      {search.SpeedButton2(), QStringLiteral("Nyomtatás")},
      {search.BitBtn1(), QStringLiteral("Befejezés")},
      {search.DBMemo1(), QStringLiteral("Leírás")},
      {search.Label2(), QStringLiteral("Tárolt rekordok száma")},
  };
  for (const Case& c : cases) EXPECT_EQ(c.Widget->accessibleName(), c.Name) << c.Widget->objectName().toStdString();
  EXPECT_EQ(browse.Edit1()->statusTip(),
            QStringLiteral("Jobb egérgomb: Keresés tárgyának és az adatok rendezettségének megváltoztatása !"));
  EXPECT_EQ(browse.DBNavigator1()->Button(TDBNavigator::nbFirst)->toolTip(), QStringLiteral("Első rekord"));
  EXPECT_FALSE(browse.BitBtn1()->autoDefault());
  EXPECT_FALSE(search.BitBtn1()->autoDefault());
}

}  // namespace
}  // namespace vendrik::testing
