// The data-aware controls: grid, memo and navigator.
#include "app/db_controls.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>
#include <QWheelEvent>

#include "access/dataset.h"

namespace vendrik {

using kestrel::access::TDataEvent;
using kestrel::access::TDataLink;
using kestrel::access::TDataSet;
using kestrel::access::TDataSetState;
using kestrel::access::TDataSource;
using kestrel::access::TField;

namespace {

constexpr int kWheelRows = 3;
constexpr int kDefaultRowHeight = 17;
const QString kDeleteRecordQuestion = QStringLiteral("Delete record?");

QString FieldText(TDataSet& dataSet, const QString& fieldName) {
  TField* field = dataSet.FindField(fieldName.toStdString());
  return field == nullptr ? QString() : QString::fromStdString(field->AsString());
}

bool IsEditing(const TDataSet& dataSet) {
  return dataSet.State() == TDataSetState::dsEdit || dataSet.State() == TDataSetState::dsInsert;
}

}  // namespace

void ApplyHint(QWidget& widget, const QString& hint) {
  const int bar = hint.indexOf(QLatin1Char('|'));
  const QString shortPart = bar < 0 ? hint : hint.left(bar);
  const QString longPart = bar < 0 ? hint : hint.mid(bar + 1);
  widget.setToolTip(shortPart);
  widget.setStatusTip(longPart);
  widget.setAccessibleName(shortPart);
}

// ---- Grid ---------------------------------------------------------------------

// The rows of the grid: the link's window of records; reading a cell makes its
// row the active record for the time of reading only.
class TGridModel : public QAbstractTableModel {
 public:
  explicit TGridModel(QObject* parent) : QAbstractTableModel(parent) {}

  void Bind(TDataLink* link) { FLink = link; }
  void SetColumns(std::vector<TGridColumn> columns) {
    beginResetModel();
    FColumns = std::move(columns);
    endResetModel();
  }
  const std::vector<TGridColumn>& Columns() const { return FColumns; }
  // The rows were re-read: as many rows as the link holds now.
  void Reload() {
    const int rows = FLink != nullptr ? FLink->RecordCount() : 0;
    if (rows != FRows) {
      beginResetModel();
      FRows = rows;
      endResetModel();
    } else if (FRows > 0) {
      emit dataChanged(index(0, 0), index(FRows - 1, columnCount() - 1));
    }
  }

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : FRows; }
  int columnCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(FColumns.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || FLink == nullptr || index.row() >= FLink->RecordCount()) return QVariant();
    const TGridColumn& column = FColumns[static_cast<std::size_t>(index.column())];
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
      TDataLink::TReadRow read(*FLink, index.row());
      return FieldText(*FLink->DataSet(), column.FFieldName);
    }
    return QVariant();
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Horizontal && section < columnCount()) {
      const TGridColumn& column = FColumns[static_cast<std::size_t>(section)];
      if (role == Qt::DisplayRole) return column.FTitle;
      if (role == Qt::TextAlignmentRole) return QVariant::fromValue(column.FTitleAlignment | Qt::AlignVCenter);
    }
    if (orientation == Qt::Vertical && role == Qt::DisplayRole) return QString();
    return QVariant();
  }

 private:
  TDataLink* FLink = nullptr;
  std::vector<TGridColumn> FColumns;
  int FRows = 0;
};

class TGridLink : public TDataLink {
 public:
  explicit TGridLink(TDBGrid& grid) : FGrid(grid) {}

 protected:
  void ActiveChanged() override {
    FGrid.CloseEditor();
    FGrid.Reload();
  }
  void DataSetChanged() override {
    if (!Editing()) FGrid.CloseEditor();
    FGrid.Reload();
  }
  void DataSetScrolled(int) override {
    FGrid.CloseEditor();
    FGrid.Reload();
  }
  void RecordChanged(TField*) override { FGrid.Reload(); }
  void EditingChanged() override {
    if (!Editing()) FGrid.CloseEditor();
    FGrid.Reload();
  }
  void UpdateData() override { FGrid.UpdateData(); }

 private:
  TDBGrid& FGrid;
};

TDBGrid::TDBGrid(QWidget* parent, TGuardFn guard)
    : QWidget(parent),
      FGuard(std::move(guard)),
      FLink(std::make_unique<TGridLink>(*this)),
      FModel(new TGridModel(this)),
      FView(new QTableView(this)),
      FScrollBar(new QScrollBar(Qt::Vertical, this)) {
  FModel->Bind(FLink.get());
  FView->setModel(FModel);
  FView->setObjectName(QStringLiteral("GridView"));
  FView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  FView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  FView->setSelectionBehavior(QAbstractItemView::SelectRows);
  FView->setSelectionMode(QAbstractItemView::SingleSelection);
  FView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FView->verticalHeader()->setDefaultSectionSize(kDefaultRowHeight);
  FView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  FView->verticalHeader()->setFixedWidth(11);
  FView->horizontalHeader()->setHighlightSections(false);
  FView->installEventFilter(this);
  FView->viewport()->installEventFilter(this);
  setFocusProxy(FView);
  FEditor = new QLineEdit(FView->viewport());
  FEditor->setObjectName(QStringLiteral("InplaceEditor"));
  FEditor->setFrame(false);
  FEditor->hide();
  FEditor->installEventFilter(this);
  FScrollBar->setObjectName(QStringLiteral("GridScrollBar"));
  FScrollBar->setAccessibleName(QStringLiteral("Pozíció"));
  connect(FScrollBar, &QScrollBar::valueChanged, this, &TDBGrid::ScrollBarMoved);
}

TDBGrid::~TDBGrid() { FLink->SetDataSource(nullptr); }

void TDBGrid::SetDataSource(TDataSource* source) {
  FLink->SetDataSource(source);
  UpdateRowCount();
  Reload();
}

void TDBGrid::SetColumns(std::vector<TGridColumn> columns) {
  FModel->SetColumns(columns);
  for (std::size_t i = 0; i < columns.size(); ++i) FView->setColumnWidth(static_cast<int>(i), columns[i].FWidth);
}

void TDBGrid::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int barWidth = FScrollBar->sizeHint().width();
  FView->setGeometry(0, 0, width() - barWidth, height());
  FScrollBar->setGeometry(width() - barWidth, 0, barWidth, height());
  // A new row count changes the link's window on the shared buffers, which
  // no dataset event reports: show the rows the link holds now.
  UpdateRowCount();
  Reload();
}

void TDBGrid::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  FView->setFocus();
}

void TDBGrid::UpdateRowCount() {
  const int viewportHeight = FView->height() - FView->horizontalHeader()->sizeHint().height() - 2 * FView->frameWidth();
  const int rows = std::max(1, viewportHeight / FView->verticalHeader()->defaultSectionSize());
  FLink->SetBufferCount(rows);
}

void TDBGrid::Reload() {
  FModel->Reload();
  const int active = FLink->RecordCount() > 0 ? FLink->ActiveRecord() : -1;
  if (active >= 0) {
    FView->selectionModel()->setCurrentIndex(FModel->index(active, std::max(0, FView->currentIndex().column())),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  } else {
    FView->selectionModel()->clearSelection();
  }
  if (EditorShown() && active >= 0) FEditor->setGeometry(FView->visualRect(FModel->index(active, FEditColumn)));
  UpdateScrollBar();
}

// ---- Grid editing ----------------------------------------------------------------

bool TDBGrid::EditorShown() const { return !FEditor->isHidden(); }

bool TDBGrid::CanEdit() const {
  TDataSet* dataSet = FLink->DataSet();
  return !FReadOnly && dataSet != nullptr && dataSet->Active() && dataSet->CanModify();
}

TField* TDBGrid::CurrentField() const { return FieldOfColumn(std::max(0, FView->currentIndex().column())); }

TField* TDBGrid::FieldOfColumn(int column) const {
  TDataSet* dataSet = FLink->DataSet();
  const auto& columns = FModel->Columns();
  if (dataSet == nullptr || column < 0 || column >= static_cast<int>(columns.size())) return nullptr;
  return dataSet->FindField(columns[static_cast<std::size_t>(column)].FFieldName.toStdString());
}

void TDBGrid::OpenEditor(const QString& typed) {
  TDataSet* dataSet = FLink->DataSet();
  TField* field = CurrentField();
  if (!CanEdit() || field == nullptr || field->ReadOnly()) return;
  if (!IsEditing(*dataSet) && !FGuard([&] { dataSet->Edit(); })) return;
  if (FLink->RecordCount() == 0) return;
  // Edit may have re-read the record (and Reload moved the current index).
  field = CurrentField();
  FEditor->setMaxLength(field->Size() > 0 ? field->Size() : 32767);
  FEditor->setText(QString::fromStdString(field->AsString()));
  FEditor->setModified(false);
  if (!typed.isEmpty()) {
    FEditor->setText(typed);
    FEditor->setModified(true);
  }
  FEditColumn = std::max(0, FView->currentIndex().column());
  FEditor->setGeometry(FView->visualRect(FModel->index(FLink->ActiveRecord(), FEditColumn)));
  FEditor->show();
  FEditor->setFocus();
  FEditor->deselect();
  FEditor->end(false);
}

void TDBGrid::UpdateData() {
  if (!EditorShown() || !FEditor->isModified()) return;
  TField* field = FieldOfColumn(FEditColumn);
  if (field == nullptr) return;
  field->SetAsString(FEditor->text().toStdString());
  FEditor->setModified(false);
}

void TDBGrid::CloseEditor() {
  if (!EditorShown()) return;
  const bool focused = FEditor->hasFocus();
  FEditor->hide();
  if (focused) FView->setFocus();
}

bool TDBGrid::ViewKey(QKeyEvent* key) {
  TDataSet* dataSet = FLink->DataSet();
  const bool ctrl = key->modifiers() & Qt::ControlModifier;
  switch (key->key()) {
    case Qt::Key_Delete:
      if (!ctrl) return false;
      if (CanEdit() && !dataSet->IsEmpty() && FConfirmDelete && FConfirmDelete(kDeleteRecordQuestion))
        FGuard([&] { dataSet->Delete(); });
      return true;
    case Qt::Key_Insert:
      if (CanEdit()) FGuard([&] { dataSet->Insert(); });
      return true;
    case Qt::Key_Escape:
      if (IsEditing(*dataSet)) FGuard([&] { dataSet->Cancel(); });
      return true;
    case Qt::Key_F2:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      OpenEditor(QString());
      return true;
    default:
      break;
  }
  const QString text = key->text();
  if (!ctrl && !text.isEmpty() && text.at(0).isPrint()) {
    OpenEditor(text);
    return true;
  }
  return false;
}

bool TDBGrid::EditorKey(QKeyEvent* key) {
  TDataSet* dataSet = FLink->DataSet();
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (FGuard([this] { UpdateData(); })) CloseEditor();
      return true;
    case Qt::Key_Escape:
      if (FEditor->isModified()) {
        // First the cell goes back to the field's value; a second Esc
        // cancels the record.
        if (TField* field = FieldOfColumn(FEditColumn)) FEditor->setText(QString::fromStdString(field->AsString()));
        FEditor->setModified(false);
      } else {
        CloseEditor();
        if (dataSet != nullptr && IsEditing(*dataSet)) FGuard([&] { dataSet->Cancel(); });
      }
      return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      // Moving posts the record, writing the cell first.
      QApplication::sendEvent(FView, key);
      return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      if (FGuard([this] { UpdateData(); })) {
        CloseEditor();
        const int column = FEditColumn + (key->key() == Qt::Key_Tab ? 1 : -1);
        if (column >= 0 && column < FModel->columnCount())
          FView->setCurrentIndex(FModel->index(FLink->ActiveRecord(), column));
      }
      return true;
    default:
      return false;
  }
}

void TDBGrid::UpdateScrollBar() {
  TDataSet* dataSet = FLink->DataSet();
  FUpdatingScrollBar = true;
  if (dataSet == nullptr || !dataSet->Active() || dataSet->IsEmpty()) {
    FScrollBar->setRange(0, 0);
  } else if (dataSet->IsSequenced()) {
    const int count = std::max(1, dataSet->RecordCount());
    FScrollBar->setRange(1, count);
    FScrollBar->setPageStep(std::max(1, FLink->BufferCount()));
    FScrollBar->setValue(std::clamp(dataSet->RecNo(), 1, count));
  } else {
    // Without positions: top, middle or bottom.
    FScrollBar->setRange(0, 2);
    FScrollBar->setPageStep(1);
    FScrollBar->setValue(dataSet->Bof() ? 0 : dataSet->Eof() ? 2 : 1);
  }
  FUpdatingScrollBar = false;
}

void TDBGrid::ScrollBarMoved(int value) {
  if (FUpdatingScrollBar) return;
  TDataSet* dataSet = FLink->DataSet();
  if (dataSet == nullptr || !dataSet->Active()) return;
  FGuard([&] {
    if (dataSet->IsSequenced()) {
      const int distance = value - dataSet->RecNo();
      if (std::abs(distance) <= FLink->BufferCount())
        dataSet->MoveBy(distance);
      else
        dataSet->SetRecNo(value);
    } else if (value == 0) {
      dataSet->First();
    } else if (value == 2) {
      dataSet->Last();
    }
  });
  UpdateScrollBar();
}

void TDBGrid::MoveBy(int distance) {
  TDataSet* dataSet = FLink->DataSet();
  if (dataSet == nullptr || !dataSet->Active() || distance == 0) return;
  FGuard([&] { dataSet->MoveBy(distance); });
}

void TDBGrid::Up() {
  TDataSet* dataSet = FLink->DataSet();
  const bool typed = dataSet->Modified() || (EditorShown() && FEditor->isModified());
  if (dataSet->State() == TDataSetState::dsInsert && !typed && dataSet->Eof()) {
    CloseEditor();
    FGuard([&] { dataSet->Cancel(); });
    return;
  }
  MoveBy(-1);
}

void TDBGrid::Down() {
  TDataSet* dataSet = FLink->DataSet();
  // An appended row nobody typed into stays the last row; Up leaves it again.
  const bool typed = dataSet->Modified() || (EditorShown() && FEditor->isModified());
  if (dataSet->State() == TDataSetState::dsInsert && !typed && dataSet->Eof()) return;
  MoveBy(1);
  if (dataSet->Active() && dataSet->Eof() && CanEdit()) FGuard([&] { dataSet->Append(); });
}

bool TDBGrid::eventFilter(QObject* watched, QEvent* event) {
  TDataSet* dataSet = FLink->DataSet();
  const bool active = dataSet != nullptr && dataSet->Active();
  if (watched == FEditor && event->type() == QEvent::KeyPress && active)
    return EditorKey(static_cast<QKeyEvent*>(event));
  if (watched == FView && event->type() == QEvent::KeyPress && active) {
    auto* key = static_cast<QKeyEvent*>(event);
    const int page = std::max(1, FLink->BufferCount() - 1);
    switch (key->key()) {
      case Qt::Key_Up: Up(); return true;
      case Qt::Key_Down: Down(); return true;
      case Qt::Key_PageUp: MoveBy(-page); return true;
      case Qt::Key_PageDown: MoveBy(page); return true;
      case Qt::Key_Home:
        if (key->modifiers() & Qt::ControlModifier) {
          FGuard([&] { dataSet->First(); });
          return true;
        }
        break;
      case Qt::Key_End:
        if (key->modifiers() & Qt::ControlModifier) {
          FGuard([&] { dataSet->Last(); });
          return true;
        }
        break;
      default:
        if (ViewKey(key)) return true;
        break;
    }
  }
  if (watched == FView->viewport() && active) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      const QModelIndex index = FView->indexAt(mouse->position().toPoint());
      // A cell still open is written before another cell is chosen.
      if (EditorShown()) {
        if (!FGuard([this] { UpdateData(); })) return true;
        CloseEditor();
      }
      FView->setFocus(Qt::MouseFocusReason);
      if (index.isValid()) {
        MoveBy(index.row() - FLink->ActiveRecord());
        FView->setCurrentIndex(FModel->index(FLink->ActiveRecord(), index.column()));
        Reload();
        if (event->type() == QEvent::MouseButtonDblClick && index.row() == FLink->ActiveRecord()) OpenEditor(QString());
      }
      return true;
    }
    if (event->type() == QEvent::Wheel) {
      const int steps = static_cast<QWheelEvent*>(event)->angleDelta().y() / 120;
      MoveBy(-steps * kWheelRows);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// ---- Memo ---------------------------------------------------------------------

class TMemoLink : public TDataLink {
 public:
  explicit TMemoLink(TDBMemo& memo) : FMemo(memo) {}

 protected:
  void ActiveChanged() override { FMemo.LoadFromRecord(); }
  void DataSetChanged() override { FMemo.LoadFromRecord(); }
  void DataSetScrolled(int) override { FMemo.LoadFromRecord(); }
  void RecordChanged(TField* field) override {
    if (field == nullptr) FMemo.LoadFromRecord();
  }
  void EditingChanged() override {
    if (!Editing()) FMemo.LoadFromRecord();
  }
  void UpdateData() override { FMemo.SaveToField(); }

 private:
  TDBMemo& FMemo;
};

TDBMemo::TDBMemo(QWidget* parent, TGuardFn guard)
    : QPlainTextEdit(parent), FGuard(std::move(guard)), FLink(std::make_unique<TMemoLink>(*this)) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    if (!FLoading) FModified = true;
  });
}

TDBMemo::~TDBMemo() { FLink->SetDataSource(nullptr); }

void TDBMemo::SetDataSource(TDataSource* source) {
  FLink->SetDataSource(source);
  LoadFromRecord();
}

void TDBMemo::LoadFromRecord() {
  QString text;
  TDataSet* dataSet = FLink->DataSet();
  if (dataSet != nullptr && dataSet->Active() && !dataSet->IsEmpty())
    FGuard([&] { text = FieldText(*dataSet, FFieldName); });
  if (text == toPlainText()) {
    FModified = false;
    return;
  }
  FLoading = true;
  setPlainText(text);
  FLoading = false;
  FModified = false;
}

void TDBMemo::SaveToField() {
  if (!FModified) return;
  TDataSet* dataSet = FLink->DataSet();
  if (dataSet == nullptr) return;
  if (TField* field = dataSet->FindField(FFieldName.toStdString())) field->SetAsString(toPlainText().toStdString());
  FModified = false;
}

void TDBMemo::keyPressEvent(QKeyEvent* event) {
  TDataSet* dataSet = FLink->DataSet();
  const bool typing = !event->text().isEmpty() || event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete;
  if (typing && !isReadOnly()) {
    if (dataSet == nullptr || !dataSet->Active() || !dataSet->CanModify()) return;
    if (!IsEditing(*dataSet)) {
      bool entered = false;
      FGuard([&] {
        dataSet->Edit();
        entered = true;
      });
      if (!entered) return;
    }
  }
  QPlainTextEdit::keyPressEvent(event);
}

// ---- Navigator ------------------------------------------------------------------

class TNavigatorLink : public TDataLink {
 public:
  explicit TNavigatorLink(TDBNavigator& navigator) : FNavigator(navigator) {}

 protected:
  void ActiveChanged() override { FNavigator.UpdateButtons(); }
  void DataSetChanged() override { FNavigator.UpdateButtons(); }
  void DataSetScrolled(int) override { FNavigator.UpdateButtons(); }
  void EditingChanged() override { FNavigator.UpdateButtons(); }
  void RecordChanged(TField*) override { FNavigator.UpdateButtons(); }

 private:
  TDBNavigator& FNavigator;
};

TDBNavigator::TDBNavigator(QWidget* parent, TGuardFn guard)
    : QWidget(parent), FGuard(std::move(guard)), FLink(std::make_unique<TNavigatorLink>(*this)) {
  static const char* const kNames[kButtonCount] = {"First", "Prior", "Next", "Last", "Insert",
                                                   "Delete", "Edit", "Post", "Cancel", "Refresh"};
  static const char* const kGlyphs[kButtonCount] = {"|◀", "◀", "▶", "▶|", "+", "−", "▲", "✔", "✖", "↻"};
  for (int i = 0; i < kButtonCount; ++i) {
    FButtons[i] = new QToolButton(this);
    FButtons[i]->setObjectName(QString::fromLatin1(kNames[i]));
    FButtons[i]->setText(QString::fromUtf8(kGlyphs[i]));
    FButtons[i]->setFocusPolicy(Qt::TabFocus);
    FButtons[i]->setAutoRaise(false);
    connect(FButtons[i], &QToolButton::clicked, this, [this, i] { BtnClick(static_cast<TNavigateBtn>(i)); });
  }
  UpdateButtons();
}

TDBNavigator::~TDBNavigator() { FLink->SetDataSource(nullptr); }

void TDBNavigator::SetDataSource(TDataSource* source) {
  FLink->SetDataSource(source);
  UpdateButtons();
}

void TDBNavigator::SetHints(const std::vector<QString>& hints) {
  for (int i = 0; i < kButtonCount && i < static_cast<int>(hints.size()); ++i) ApplyHint(*FButtons[i], hints[static_cast<std::size_t>(i)]);
}

void TDBNavigator::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  for (int i = 0; i < kButtonCount; ++i) {
    const int left = width() * i / kButtonCount;
    const int right = width() * (i + 1) / kButtonCount;
    FButtons[i]->setGeometry(left, 0, right - left, height());
  }
}

void TDBNavigator::UpdateButtons() {
  TDataSet* dataSet = FLink->DataSet();
  const bool active = dataSet != nullptr && dataSet->Active();
  const bool editing = active && IsEditing(*dataSet);
  const bool browsing = active && !editing;
  const bool canModify = active && dataSet->CanModify();
  const bool empty = !active || dataSet->IsEmpty();
  FButtons[nbFirst]->setEnabled(browsing && !dataSet->Bof());
  FButtons[nbPrior]->setEnabled(browsing && !dataSet->Bof());
  FButtons[nbNext]->setEnabled(browsing && !dataSet->Eof());
  FButtons[nbLast]->setEnabled(browsing && !dataSet->Eof());
  FButtons[nbInsert]->setEnabled(canModify);
  FButtons[nbDelete]->setEnabled(canModify && !empty);
  FButtons[nbEdit]->setEnabled(canModify && browsing && !empty);
  FButtons[nbPost]->setEnabled(canModify && editing);
  FButtons[nbCancel]->setEnabled(canModify && editing);
  FButtons[nbRefresh]->setEnabled(active);
}

void TDBNavigator::BtnClick(TNavigateBtn button) {
  TDataSet* dataSet = FLink->DataSet();
  if (dataSet == nullptr || !dataSet->Active()) return;
  FGuard([&] {
    switch (button) {
      case nbFirst: dataSet->First(); break;
      case nbPrior: dataSet->Prior(); break;
      case nbNext: dataSet->Next(); break;
      case nbLast: dataSet->Last(); break;
      case nbInsert: dataSet->Insert(); break;
      case nbDelete: dataSet->Delete(); break;
      case nbEdit: dataSet->Edit(); break;
      case nbPost: dataSet->Post(); break;
      case nbCancel: dataSet->Cancel(); break;
      case nbRefresh: dataSet->Refresh(); break;
    }
  });
  UpdateButtons();
}

}  // namespace vendrik
