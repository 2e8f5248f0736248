// TIncrementalSearch: the search field of the browse and search windows.
// Every change of its text moves Table1 to the first record of the current
// order whose key is not less than the text (FindNearest); a database error
// shows "Hiba történt !!!" captioned "Adatok keresése:" and leaves the table
// where it was. Its popup menu switches the search and the table's order
// between the code ("Kód", index KOD, at most 10 characters) and the name
// ("Megnevezés", index INDMN, at most 40 characters) without searching
// again. Enter moves the focus to the control after the field.
//
// The maximum length is enforced on typing only: lowering it never cuts the
// text already there and never fires a search.
#pragma once

#include <QLineEdit>

class QAction;
class QMenu;

namespace vendrik {

class IDialogService;
class ITableComponent;
class TErrorDisplay;

class TIncrementalSearch : public QLineEdit {
  Q_OBJECT

 public:
  TIncrementalSearch(QWidget* parent, ITableComponent& table, IDialogService& dialogs, TErrorDisplay& errors);

  // The longest text that can be typed.
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int length) { FMaxLength = length; }
  // The length of the text as last accepted.
  int AcceptedLength() const { return FAcceptedLength; }
  QMenu* PopupMenu1() const { return FPopupMenu1; }
  QAction* Kd1() const { return FKd1; }
  QAction* Magyar1() const { return FMagyar1; }
  // Where Enter moves the focus.
  void SetNextControl(QWidget* control) { FNext = control; }

  // The handlers.
  void Edit1Change();
  void Kd1Click();
  void Magyar1Click();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  ITableComponent& FTable;
  IDialogService& FDialogs;
  TErrorDisplay& FErrors;
  int FMaxLength = 10;
  int FAcceptedLength = 0;
  QMenu* FPopupMenu1;
  QAction* FKd1;
  QAction* FMagyar1;
  QWidget* FNext = nullptr;
};

}  // namespace vendrik
