// TForm2: the browse and maintenance window. A grid of codes and names with
// the description of the current record beside it, a navigator bar, the
// incremental search field with its order switch, the number of stored
// records and a button to the filter builder; all on the main window's
// Table1 through its DataSource1.
//
// Layout (client 761 x 295): the top bar (761 x 41) holds the navigator,
// the filter button, the count labels, the search field and the close
// button; the lowered panel below holds the grid and the memo. Tab order:
// close button, navigator, search field, grid, memo.
//
// Every handler runs under the standard error display's guard.
//
// Closing the window (its close button or the title bar) with a record in
// edit or insert state first writes what is still open in the grid or the
// memo and posts the record, as moving to another record would; a record
// that was entered but not changed is cancelled. When the post fails (a
// duplicate code, a character the field cannot store) the error is shown
// and the window stays open with the typed values, to be corrected or
// abandoned with "Elvetés".
#pragma once

#include "app/vendrik_form.h"

class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

namespace vendrik {

class TAppWindows;
class TDBGrid;
class TDBMemo;
class TDBNavigator;
class TIncrementalSearch;

class TForm2 : public TVendrikForm {
  Q_OBJECT

 public:
  // Builds the window (hidden); `windows` must outlive it.
  explicit TForm2(TAppWindows& windows);
  ~TForm2() override;

  // Shows `count` as the number of stored records.
  void ShowRecordCount(int count);

  QLabel* Label2() const { return FLabel2; }
  TIncrementalSearch* Edit1() const { return FEdit1; }
  TDBGrid* DBGrid1() const { return FDBGrid1; }
  TDBMemo* DBMemo1() const { return FDBMemo1; }
  TDBNavigator* DBNavigator1() const { return FDBNavigator1; }
  QToolButton* SpeedButton1() const { return FSpeedButton1; }
  QPushButton* BitBtn1() const { return FBitBtn1; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void createTopBar();
  void createDataPanel();
  void FormShow();
  void SpeedButton1Click();
  // Other programs change the table too: while the window shows, the count
  // is looked at now and then (never waiting for a program that holds it).
  void FollowRecordCount();

  TAppWindows& FWindows;
  QLabel* FLabel2 = nullptr;
  TIncrementalSearch* FEdit1 = nullptr;
  TDBGrid* FDBGrid1 = nullptr;
  TDBMemo* FDBMemo1 = nullptr;
  TDBNavigator* FDBNavigator1 = nullptr;
  QToolButton* FSpeedButton1 = nullptr;
  QPushButton* FBitBtn1 = nullptr;
  QTimer* FCountTimer = nullptr;
};

}  // namespace vendrik
