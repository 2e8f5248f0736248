// TForm5: the search window, the read-only counterpart of the browse
// window: the same grid, description and incremental search with its order
// switch, the record count and the filter button, no navigator and no
// editing; and the print button for the current record. All on the main
// window's Table1 through its DataSource1.
//
// Layout (client 752 x 295): the top bar (753 x 41) holds the search field,
// the filter and print buttons, the count labels and the close button; the
// lowered panel below holds the grid and the memo.
//
// Every handler runs under the standard error display's guard.
#pragma once

#include <functional>

#include "app/vendrik_form.h"

class QLabel;
class QPushButton;
class QToolButton;

namespace vendrik {

class TAppWindows;
class TDBGrid;
class TDBMemo;
class TIncrementalSearch;

class TForm5 : public TVendrikForm {
  Q_OBJECT

 public:
  // Builds the window (hidden); `windows` must outlive it.
  explicit TForm5(TAppWindows& windows);
  ~TForm5() override;

  // The print command run by SpeedButton2 (TAppWindows installs the record
  // report's); the button does nothing until one is set.
  void SetPrintCommand(std::function<void()> command) { FPrintCommand = std::move(command); }

  QLabel* Label2() const { return FLabel2; }
  TIncrementalSearch* Edit1() const { return FEdit1; }
  TDBGrid* DBGrid1() const { return FDBGrid1; }
  TDBMemo* DBMemo1() const { return FDBMemo1; }
  QToolButton* SpeedButton1() const { return FSpeedButton1; }
  QToolButton* SpeedButton2() const { return FSpeedButton2; }
  QPushButton* BitBtn1() const { return FBitBtn1; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void createTopBar();
  void createDataPanel();
  void FormShow();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void BitBtn1Click();

  TAppWindows& FWindows;
  std::function<void()> FPrintCommand;
  QLabel* FLabel2 = nullptr;
  TIncrementalSearch* FEdit1 = nullptr;
  TDBGrid* FDBGrid1 = nullptr;
  TDBMemo* FDBMemo1 = nullptr;
  QToolButton* FSpeedButton1 = nullptr;
  QToolButton* FSpeedButton2 = nullptr;
  QPushButton* FBitBtn1 = nullptr;
};

}  // namespace vendrik
