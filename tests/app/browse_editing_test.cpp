// Editing in the browse window, driven offscreen on the demo table: typing
// into grid cells and the memo, the navigator's post and cancel, Ctrl+Del
// with its two questions, the count label, a duplicate code, text the code
// page cannot store, closing the window with a pending change, and a
// read-only table. What the program wrote is read back with the kestrel
// tool at once.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

#include <gtest/gtest.h>

#include "access/dataset.h"
#include "app/browse_window.h"
#include "app/db_controls.h"
#include "app/main_window.h"
#include "app/tdb_components.h"
#include "fake_services.h"

namespace vendrik::testing {
namespace {

using kestrel::access::TDataSetState;

constexpr int kDemoRecords = 498;
constexpr int kCodeColumn = 0;
constexpr int kNameColumn = 1;

void Settle() {
  for (int round = 0; round < 5; ++round) QCoreApplication::processEvents();
}

void Key(QWidget* widget, int key, const QString& text = QString(), Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(widget, &release);
}

// Types `text` into the focused part of the grid: the first character goes to
// the view (opening the cell editor), the rest to the editor.
void TypeIntoGrid(TDBGrid* grid, const QString& text) {
  for (QChar c : text) {
    QWidget* target = grid->EditorShown() ? static_cast<QWidget*>(grid->Editor()) : grid->View();
    Key(target, Qt::Key_unknown, QString(c));
  }
}

void TypeIntoMemo(QWidget* memo, const QString& text) {
  for (QChar c : text) Key(memo, Qt::Key_unknown, QString(c));
}

std::string RunTool(const QString& command, const QString& directory) {
  const std::string line = std::string(VENDRIK_BINARY_DIR) + "/bin/kestrel " + command.toStdString() + " '" +
                           directory.toStdString() + "/Vnd03' 2>&1";
  std::string out;
  if (FILE* pipe = popen(line.c_str(), "r")) {
    char chunk[4096];
    std::size_t read = 0;
    while ((read = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, read);
    pclose(pipe);
  }
  return out;
}

// The demo table opened by the shown main window, with the browse window up.
struct TEditingApp {
  explicit TEditingApp(bool readOnly = false) {
    scratch.MakeDemo();
    app = std::make_unique<TAppFixture>();
    if (readOnly) static_cast<TTdbTableComponent&>(Form1().Table1()).Table().SetReadOnly(true);
    Form1().show();
    Settle();
    if (!Form1().Table1().Active()) throw std::runtime_error("the demo table did not open");
    Form2().show();
    Settle();
  }
  ~TEditingApp() {
    if (Data().State() != TDataSetState::dsBrowse) Data().Cancel();
    Form2().hide();
  }
  TForm1& Form1() { return app->FWindows->Form1(); }
  TForm2& Form2() { return app->FWindows->Form2(); }
  TDBGrid* Grid() { return Form2().DBGrid1(); }
  kestrel::access::TDataSet& Data() { return *Form1().Table1().DataSet(); }
  QString Field(const char* name) { return QString::fromStdString(Data().FieldByName(name).AsString()); }
  void SelectColumn(int column) {
    QTableView* view = Grid()->View();
    view->setCurrentIndex(view->model()->index(view->currentIndex().row(), column));
  }
  void Press(TDBNavigator::TNavigateBtn button) { Form2().DBNavigator1()->Button(button)->click(); }
  std::string Export() { return RunTool(QStringLiteral("export"), scratch.Path()); }
  std::string Check() { return RunTool(QStringLiteral("check"), scratch.Path()); }
  std::vector<TBox>& Boxes() { return app->FDialogs.FBoxes; }

  TScratchDirectory scratch;
  std::unique_ptr<TAppFixture> app;
};

TEST(BrowseEditingTest, TypedCellIsWrittenBeforeRekordTarolasaAndSeenByTheTool) {
  TEditingApp demo;
  demo.SelectColumn(kNameColumn);
  TypeIntoGrid(demo.Grid(), QStringLiteral("Őszi lombseprés"));
  EXPECT_TRUE(demo.Grid()->EditorShown());
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsEdit) << "typing into a cell enters edit state";
  EXPECT_EQ(demo.Grid()->Editor()->text(), QStringLiteral("Őszi lombseprés"));
  EXPECT_EQ(demo.Grid()->Editor()->palette().color(QPalette::Text), QColor(Qt::blue)) << "the cell editor writes in the grid's blue";
  demo.Press(TDBNavigator::nbPost);
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsBrowse);
  EXPECT_FALSE(demo.Grid()->EditorShown());
  EXPECT_EQ(demo.Field("MEGNEV"), QStringLiteral("Őszi lombseprés"));
  EXPECT_EQ(demo.Grid()->View()->model()->index(0, kNameColumn).data().toString(), QStringLiteral("Őszi lombseprés"));
  EXPECT_NE(demo.Export().find("\r\n01,Őszi lombseprés,"), std::string::npos) << "the change reached the files at once";
  EXPECT_TRUE(demo.Boxes().empty());
  EXPECT_NE(demo.Check().find("all agree"), std::string::npos);
}

TEST(BrowseEditingTest, EnterWritesTheCellAndMovingPostsTheMemo) {
  TEditingApp demo;
  demo.SelectColumn(kNameColumn);
  Key(demo.Grid()->View(), Qt::Key_F2);
  ASSERT_TRUE(demo.Grid()->EditorShown());
  EXPECT_EQ(demo.Grid()->Editor()->text(), demo.Field("MEGNEV")) << "F2 opens the cell with its text";
  TypeIntoGrid(demo.Grid(), QStringLiteral(" (új)"));
  Key(demo.Grid()->Editor(), Qt::Key_Return);
  EXPECT_FALSE(demo.Grid()->EditorShown());
  EXPECT_TRUE(demo.Field("MEGNEV").endsWith(QStringLiteral(" (új)")));
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsEdit) << "Enter writes the field, not the record";

  TDBMemo* memo = demo.Form2().DBMemo1();
  memo->moveCursor(QTextCursor::End);
  TypeIntoMemo(memo, QStringLiteral(" Kiegészítés."));
  Key(demo.Grid()->View(), Qt::Key_Down);
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsBrowse) << "moving posts the change";
  EXPECT_EQ(demo.Field("KOD"), QStringLiteral("01.01.1"));
  const std::string exported = demo.Export();
  EXPECT_NE(exported.find(" (új),"), std::string::npos);
  EXPECT_NE(exported.find(" Kiegészítés."), std::string::npos);
  EXPECT_TRUE(demo.Boxes().empty());
}

TEST(BrowseEditingTest, EscUndoesTheCellThenCancelsTheRecord) {
  TEditingApp demo;
  demo.SelectColumn(kNameColumn);
  const QString name = demo.Field("MEGNEV");
  TypeIntoGrid(demo.Grid(), QStringLiteral("Eldobandó"));
  Key(demo.Grid()->Editor(), Qt::Key_Escape);
  EXPECT_EQ(demo.Grid()->Editor()->text(), name);
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsEdit);
  Key(demo.Grid()->Editor(), Qt::Key_Escape);
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsBrowse);
  EXPECT_EQ(demo.Field("MEGNEV"), name);
}

TEST(BrowseEditingTest, CancelledInsertReturnsToTheRecordBefore) {
  TEditingApp demo;
  for (int i = 0; i < 3; ++i) Key(demo.Grid()->View(), Qt::Key_Down);
  const QString code = demo.Field("KOD");
  Key(demo.Grid()->View(), Qt::Key_Insert);
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsInsert);
  demo.SelectColumn(kCodeColumn);
  TypeIntoGrid(demo.Grid(), QStringLiteral("00.00.7"));
  demo.Press(TDBNavigator::nbCancel);
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsBrowse);
  EXPECT_FALSE(demo.Grid()->EditorShown());
  EXPECT_EQ(demo.Field("KOD"), code);
  EXPECT_EQ(demo.Form1().Table1().RecordCount(), kDemoRecords);
  EXPECT_EQ(demo.Export().find("00.00.7"), std::string::npos);
  EXPECT_TRUE(demo.Boxes().empty());
}

TEST(BrowseEditingTest, DownOnTheLastRowAppendsAndUpLeavesAnUntouchedRow) {
  TEditingApp demo;
  QTableView* view = demo.Grid()->View();
  Key(view, Qt::Key_End, QString(), Qt::ControlModifier);
  const QString last = demo.Field("KOD");
  Key(view, Qt::Key_Down);
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsInsert);
  EXPECT_TRUE(demo.Field("KOD").isEmpty());
  EXPECT_EQ(view->currentIndex().row(), demo.Grid()->View()->model()->rowCount() - 1) << "the new row is the bottom row";
  EXPECT_EQ(view->model()->index(view->currentIndex().row() - 1, kCodeColumn).data().toString(), last);
  Key(view, Qt::Key_Down);
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsInsert) << "an untouched new row is not followed by another";
  Key(view, Qt::Key_Up);
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsBrowse);
  EXPECT_EQ(demo.Field("KOD"), last);
  EXPECT_EQ(demo.Form1().Table1().RecordCount(), kDemoRecords);

  Key(view, Qt::Key_Down);
  demo.SelectColumn(kCodeColumn);
  TypeIntoGrid(demo.Grid(), QStringLiteral("99.99.9"));
  Key(demo.Grid()->Editor(), Qt::Key_Tab);
  TypeIntoGrid(demo.Grid(), QStringLiteral("Utolsó"));
  Key(demo.Grid()->Editor(), Qt::Key_Down);
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsInsert) << "Down posts the typed row and appends the next";
  EXPECT_EQ(demo.Form1().Table1().RecordCount(), kDemoRecords + 1);
  Key(view, Qt::Key_Escape);
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsBrowse);
  EXPECT_EQ(demo.Field("KOD"), QStringLiteral("99.99.9"));
  EXPECT_NE(demo.Export().find("\r\n99.99.9,Utolsó,"), std::string::npos);
  EXPECT_TRUE(demo.Boxes().empty());
  EXPECT_NE(demo.Check().find("all agree"), std::string::npos);
}

TEST(BrowseEditingTest, InsertPostAndCtrlDeleteWithBothQuestions) {
  TEditingApp demo;
  QLabel* count = demo.Form2().Label2();
  demo.Press(TDBNavigator::nbInsert);
  demo.SelectColumn(kCodeColumn);
  TypeIntoGrid(demo.Grid(), QStringLiteral("00.00.1"));
  Key(demo.Grid()->Editor(), Qt::Key_Tab);
  TypeIntoGrid(demo.Grid(), QStringLiteral("Próba"));
  demo.Press(TDBNavigator::nbPost);
  EXPECT_EQ(count->text(), QString::number(kDemoRecords + 1));
  EXPECT_EQ(demo.Field("KOD"), QStringLiteral("00.00.1"));
  EXPECT_NE(demo.Export().find("\r\n00.00.1,Próba,"), std::string::npos);

  struct Case {
    std::deque<bool> Answers;
    std::vector<QString> Questions;
    int Count;
  };
  const QString grid = QStringLiteral("Delete record?");
  const QString table = QStringLiteral("Biztosan törölhető ?");
  const Case cases[] = {
      {{false}, {grid}, kDemoRecords + 1},
      {{true, false}, {grid, table}, kDemoRecords + 1},
      {{true, true}, {grid, table}, kDemoRecords},
  };
  for (const Case& c : cases) {
    demo.Boxes().clear();
    demo.app->FDialogs.FAnswers = c.Answers;
    Key(demo.Grid()->View(), Qt::Key_Delete, QString(), Qt::ControlModifier);
    ASSERT_EQ(demo.Boxes().size(), c.Questions.size());
    for (std::size_t i = 0; i < c.Questions.size(); ++i) EXPECT_EQ(demo.Boxes()[i].FText, c.Questions[i]);
    EXPECT_EQ(count->text(), QString::number(c.Count)) << "the count label follows only a deletion";
    EXPECT_EQ(demo.Form1().Table1().RecordCount(), c.Count);
  }
  EXPECT_EQ(demo.Boxes()[1].FCaption, QStringLiteral("Törlés jóváhagyás:"));
  EXPECT_EQ(demo.Export().find("00.00.1"), std::string::npos);
  EXPECT_NE(demo.Check().find("all agree"), std::string::npos);
}

TEST(BrowseEditingTest, DuplicateCodeKeepsTheTypedValuesUntilChanged) {
  TEditingApp demo;
  demo.Press(TDBNavigator::nbInsert);
  demo.SelectColumn(kCodeColumn);
  TypeIntoGrid(demo.Grid(), QStringLiteral("01"));
  Key(demo.Grid()->Editor(), Qt::Key_Tab);
  TypeIntoGrid(demo.Grid(), QStringLiteral("Ikerkód"));
  for (int attempt = 1; attempt <= 2; ++attempt) {
    demo.Press(TDBNavigator::nbPost);
    ASSERT_EQ(demo.Boxes().size(), static_cast<std::size_t>(attempt));
    EXPECT_EQ(demo.Boxes().back().FKind, TBoxKind::bkError);
    EXPECT_TRUE(demo.Boxes().back().FText.startsWith(QStringLiteral("Table1: Appending record to dataset Table1")) ||
                demo.Boxes().back().FText.startsWith(QStringLiteral("Appending record to dataset Table1")))
        << demo.Boxes().back().FText.toStdString();
    EXPECT_EQ(demo.Data().State(), TDataSetState::dsInsert);
    EXPECT_EQ(demo.Field("KOD"), QStringLiteral("01"));
    EXPECT_EQ(demo.Field("MEGNEV"), QStringLiteral("Ikerkód"));
  }
  EXPECT_EQ(demo.Form2().Label2()->text(), QString::number(kDemoRecords));
  demo.SelectColumn(kCodeColumn);
  Key(demo.Grid()->View(), Qt::Key_F2);
  Key(demo.Grid()->Editor(), Qt::Key_unknown, QStringLiteral("9"));
  demo.Press(TDBNavigator::nbPost);
  EXPECT_EQ(demo.Boxes().size(), 2u);
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsBrowse);
  EXPECT_EQ(demo.Field("KOD"), QStringLiteral("019")) << "the posted record is current";
  EXPECT_EQ(demo.Form2().Label2()->text(), QString::number(kDemoRecords + 1));
  EXPECT_NE(demo.Export().find("\r\n019,Ikerkód,"), std::string::npos);
  EXPECT_NE(demo.Check().find("all agree"), std::string::npos);
}

TEST(BrowseEditingTest, CharacterOutsideTheCodePageIsRefusedAndTheTextStays) {
  TEditingApp demo;
  const std::string before = demo.Export();
  demo.SelectColumn(kNameColumn);
  TypeIntoGrid(demo.Grid(), QStringLiteral("Señor"));
  demo.Press(TDBNavigator::nbPost);
  ASSERT_EQ(demo.Boxes().size(), 1u);
  EXPECT_EQ(demo.Boxes()[0].FText,
            QStringLiteral("Field 'MEGNEV' cannot store the character \"ñ\": it is not in the Windows-1250 code page."));
  EXPECT_EQ(demo.Grid()->Editor()->text(), QStringLiteral("Señor")) << "the typed text stays for correcting";
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsEdit);
  EXPECT_EQ(demo.Export(), before) << "nothing was written";

  // The memo the same way, on closing the window.
  demo.Grid()->Editor()->setText(QStringLiteral("Senor"));
  TDBMemo* memo = demo.Form2().DBMemo1();
  TypeIntoMemo(memo, QStringLiteral("✓"));
  demo.Form2().close();
  EXPECT_TRUE(demo.Form2().isVisible()) << "a refused post keeps the window open";
  ASSERT_EQ(demo.Boxes().size(), 2u);
  EXPECT_TRUE(demo.Boxes()[1].FText.startsWith(QStringLiteral("Field 'LEIRAS' cannot store the character \"✓\"")));
  EXPECT_TRUE(memo->toPlainText().startsWith(QStringLiteral("✓")));
  EXPECT_EQ(demo.Export(), before);
}

TEST(BrowseEditingTest, ClosingTheWindowPostsThePendingChange) {
  TEditingApp demo;
  TDBMemo* memo = demo.Form2().DBMemo1();
  memo->moveCursor(QTextCursor::End);
  TypeIntoMemo(memo, QStringLiteral(" Zárás előtt."));
  demo.Form2().BitBtn1()->click();
  EXPECT_FALSE(demo.Form2().isVisible());
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsBrowse);
  EXPECT_NE(demo.Export().find(" Zárás előtt."), std::string::npos);
  EXPECT_EQ(demo.Form2().Label2()->text(), QString::number(kDemoRecords));
  EXPECT_TRUE(demo.Boxes().empty());
}

TEST(BrowseEditingTest, ReadOnlyTableTakesNoTyping) {
  TEditingApp demo(true);
  TDBNavigator* navigator = demo.Form2().DBNavigator1();
  for (auto button : {TDBNavigator::nbInsert, TDBNavigator::nbDelete, TDBNavigator::nbEdit})
    EXPECT_FALSE(navigator->Button(button)->isEnabled()) << button;
  demo.SelectColumn(kNameColumn);
  TypeIntoGrid(demo.Grid(), QStringLiteral("x"));
  EXPECT_FALSE(demo.Grid()->EditorShown());
  const QString memoText = demo.Form2().DBMemo1()->toPlainText();
  TypeIntoMemo(demo.Form2().DBMemo1(), QStringLiteral("x"));
  EXPECT_EQ(demo.Form2().DBMemo1()->toPlainText(), memoText);
  Key(demo.Grid()->View(), Qt::Key_Delete, QString(), Qt::ControlModifier);
  EXPECT_EQ(demo.Data().State(), TDataSetState::dsBrowse);
  EXPECT_TRUE(demo.Boxes().empty());
  EXPECT_EQ(demo.Form1().Table1().RecordCount(), kDemoRecords);
}

}  // namespace
}  // namespace vendrik::testing
