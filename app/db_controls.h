// The data-aware controls: a grid, a memo and a navigator, each bound to a
// data source through a data link of its own. They read the dataset's
// buffers and never move the shared cursor to paint; moving is asked of the
// dataset (MoveBy, First, ...), whose notifications then repaint them.
// Every action that reaches the dataset runs under the standard error
// display's guard, so no exception crosses Qt's event loop.
//
// TDBGrid: a model/view table of configured columns over the link's window
// of records (as many as the view has room for). Its own scroll bar shows
// where the current record lies in the whole order (RecNo of RecordCount)
// and moves there when dragged. The current row is the selected row.
// Editing (unless read-only): typing a character, F2 or Enter opens a line
// editor over the current cell and puts the dataset into edit state; Enter
// writes the cell into its field, Esc first undoes the cell and then cancels
// the record, Ins inserts a record, Ctrl+Del asks "Delete record?" and then
// deletes. A cell still open is written into its field before every post
// and before moving (the dataset's UpdateData); when the field refuses the
// text, the post or move fails and the editor keeps what was typed.
//
// TDBMemo: the text of one memo field of the current record, read only when
// the record changes. Typing puts the dataset into edit state; the text goes
// into the field before a post (a refusal fails the post and the typed text
// stays). Posting without typing writes no memo.
//
// TDBNavigator: ten buttons (first, prior, next, last, insert, delete,
// edit, post, cancel, refresh), enabled by the dataset's state: moving
// backward needs a record before, forward one after; insert, delete and
// edit need a modifiable dataset; post and cancel an editing state.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QAbstractTableModel>
#include <QPlainTextEdit>
#include <QWidget>

#include "access/data_link.h"

class QLineEdit;
class QScrollBar;
class QTableView;
class QToolButton;

namespace vendrik {

class TErrorDisplay;

// Runs a dataset action under the error display's guard; true when it
// finished normally (false: its error was shown, or it was silently aborted).
using TGuardFn = std::function<bool(const std::function<void()>&)>;
// Asks the user a yes/no question; true for yes.
using TConfirmFn = std::function<bool(const QString& text)>;

struct TGridColumn {
  QString FFieldName;
  QString FTitle;
  Qt::Alignment FTitleAlignment;
  int FWidth;
};

class TGridModel;
class TGridLink;

class TDBGrid : public QWidget {
  Q_OBJECT

 public:
  TDBGrid(QWidget* parent, TGuardFn guard);
  ~TDBGrid() override;

  void SetDataSource(kestrel::access::TDataSource* source);
  void SetColumns(std::vector<TGridColumn> columns);
  // Refuses editing (the grid only shows and moves).
  void SetReadOnly(bool value) { FReadOnly = value; }
  bool ReadOnly() const { return FReadOnly; }
  // The question asked before Ctrl+Del deletes; without one nothing is
  // deleted from the keyboard.
  void SetConfirmDelete(TConfirmFn confirm) { FConfirmDelete = std::move(confirm); }
  QTableView* View() const { return FView; }
  QScrollBar* ScrollBar() const { return FScrollBar; }
  // The cell editor (hidden when no cell is being edited).
  QLineEdit* Editor() const { return FEditor; }
  bool EditorShown() const;

  // Called by the link.
  void Reload();
  // Writes the open cell's text into its field; throws the field's error
  // (the editor then keeps the text).
  void UpdateData();
  // The dataset left its editing state or moved: the cell editor closes.
  void CloseEditor();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  void UpdateRowCount();
  void UpdateScrollBar();
  void MoveBy(int distance);
  // Down: the next record, or a new one appended after the last when the
  // grid may edit.
  void Down();
  // Up: the record before, or back from an untouched appended row.
  void Up();
  void ScrollBarMoved(int value);
  // Handles the editing keys of the view; true when the key was used.
  bool ViewKey(QKeyEvent* key);
  // Handles the keys of the open cell editor; true when the key was used.
  bool EditorKey(QKeyEvent* key);
  // Opens the editor over the current cell, entering edit state first;
  // `typed` (when not empty) replaces the cell's text.
  void OpenEditor(const QString& typed);
  // The field of the current column, or null.
  kestrel::access::TField* CurrentField() const;
  kestrel::access::TField* FieldOfColumn(int column) const;
  // Whether cells may be edited now (not read-only, the dataset modifiable).
  bool CanEdit() const;

  TGuardFn FGuard;
  TConfirmFn FConfirmDelete;
  QLineEdit* FEditor = nullptr;
  int FEditColumn = 0;  // the column the open editor belongs to
  std::unique_ptr<TGridLink> FLink;
  TGridModel* FModel;
  QTableView* FView;
  QScrollBar* FScrollBar;
  bool FReadOnly = false;
  bool FUpdatingScrollBar = false;
};

class TMemoLink;

class TDBMemo : public QPlainTextEdit {
  Q_OBJECT

 public:
  TDBMemo(QWidget* parent, TGuardFn guard);
  ~TDBMemo() override;

  void SetDataSource(kestrel::access::TDataSource* source);
  void SetDataField(const QString& fieldName) { FFieldName = fieldName; }

  // Called by the link.
  void LoadFromRecord();
  void SaveToField();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  TGuardFn FGuard;
  std::unique_ptr<TMemoLink> FLink;
  QString FFieldName;
  bool FLoading = false;
  bool FModified = false;
};

class TNavigatorLink;

class TDBNavigator : public QWidget {
  Q_OBJECT

 public:
  enum TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };
  static constexpr int kButtonCount = 10;

  TDBNavigator(QWidget* parent, TGuardFn guard);
  ~TDBNavigator() override;

  void SetDataSource(kestrel::access::TDataSource* source);
  // Hints "short|long", one per button in order.
  void SetHints(const std::vector<QString>& hints);
  QToolButton* Button(TNavigateBtn button) const { return FButtons[button]; }
  // Presses a button as a click would.
  void BtnClick(TNavigateBtn button);

  // Called by the link.
  void UpdateButtons();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  TGuardFn FGuard;
  std::unique_ptr<TNavigatorLink> FLink;
  QToolButton* FButtons[kButtonCount];
};

// Splits a hint "short|long" into the tooltip (short part), the status tip
// (long part) and the accessible name (short part) of `widget`.
void ApplyHint(QWidget& widget, const QString& hint);

}  // namespace vendrik
