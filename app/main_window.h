// TForm1: the main window. It carries the main menu through which every other
// window and command is reached, a status line that shows the hint of the menu
// entry under the pointer, and the program's data components: the database
// component TdbDatabase1 and the table component Table1 on which every window
// works. It also holds the program-wide reactions to changes of the table:
// confirming a deletion and refreshing the browse window's record count.
//
// Layout: a fixed window whose client area (below the menu bar) is 537 x 333
// pixels: the background picture (537 x 313) at the top left, four rows of
// binary digits over it, the status line (19 pixels) along the bottom.
//
// Every handler Qt calls runs under the standard error display's guard; the
// table event handlers do not, since their exceptions must unwind through the
// table component (EAbort from Table1BeforeDelete abandons the deletion).
#pragma once

#include <QMainWindow>

#include "access/data_link.h"
#include "app/data_components.h"

class QAction;
class QMenu;

namespace vendrik {

class TAppWindows;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the window (hidden) and runs FormCreate. `windows` must outlive it.
  explicit TForm1(TAppWindows& windows);
  ~TForm1() override;

  IDatabaseComponent& TdbDatabase1() const { return *FComponents.FDatabase; }
  ITableComponent& Table1() const { return *FComponents.FTable; }
  // The data source through which every data-aware control shows Table1.
  kestrel::access::TDataSource& DataSource1() { return FDataSource1; }

  // Table1's AfterPost and AfterDelete: the browse window's record count label
  // shows Table1's RecordCount.
  void Table1AfterPost();
  void Table1AfterDelete();
  // Table1's BeforeDelete: asks whether the record may be deleted; throws
  // EAbort when the answer is No.
  void Table1BeforeDelete();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void createComponents();
  void createBackground();
  void createActions();
  void createMenus();
  void createStatusBar();
  // Connects `action` to `handler`, run under the error display's guard.
  void bindCommand(QAction* action, void (TForm1::*handler)());

  void FormCreate();
  void FormShow();
  void Adatkarbantarts1Click();
  void Keress1Click();
  void Szrs1Click();
  void Lers1Click();
  void Keress3Click();
  void Nvjegy1Click();
  void Befejezs1Click();
  void FormClose(QCloseEvent* event);
  // Ends an edit still pending on Table1 before the program ends: what the
  // controls still hold is written and a changed record posted (an
  // unchanged one cancelled). A failed post throws, and the program goes on.
  void PostPendingChanges();

  TAppWindows& FWindows;
  TDataComponents FComponents;
  // Declared after the components: it goes first.
  kestrel::access::TDataSource FDataSource1;
  // Set once the exit command has told the application to end: the close
  // events that ending sends must not ask the exit question again.
  bool FTerminating = false;

  QAction* FAdatkarbantarts1 = nullptr;
  QAction* FKeress1 = nullptr;
  QAction* FSzrs1 = nullptr;
  QAction* FLers1 = nullptr;
  QAction* FKeress3 = nullptr;
  QAction* FNvjegy1 = nullptr;
  QAction* FBefejezs1 = nullptr;
};

}  // namespace vendrik
