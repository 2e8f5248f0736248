// The incremental search field.
#include "app/incremental_search.h"

#include <QActionGroup>
#include <QKeyEvent>
#include <QMenu>
#include <QValidator>

#include "access/db_error.h"
#include "app/data_components.h"
#include "app/dialog_service.h"
#include "app/error_display.h"

namespace vendrik {
namespace {

const QString kSearchCaption = QStringLiteral("Adatok keresése:");
const QString kSearchError = QStringLiteral("Hiba történt !!!");
const QString kCodeIndex = QStringLiteral("KOD");
const QString kNameIndex = QStringLiteral("INDMN");
constexpr int kCodeLength = 10;
constexpr int kNameLength = 40;

// Refuses text that grows beyond the field's maximum length; text that is
// already longer (after the limit was lowered) may still shrink.
class TMaxLengthValidator : public QValidator {
 public:
  explicit TMaxLengthValidator(TIncrementalSearch& field) : QValidator(&field), FField(field) {}
  State validate(QString& input, int&) const override {
    if (input.length() > FField.MaxLength() && input.length() > FField.AcceptedLength()) return Invalid;
    return Acceptable;
  }

 private:
  TIncrementalSearch& FField;
};

}  // namespace

TIncrementalSearch::TIncrementalSearch(QWidget* parent, ITableComponent& table, IDialogService& dialogs,
                                       TErrorDisplay& errors)
    : QLineEdit(parent),
      FTable(table),
      FDialogs(dialogs),
      FErrors(errors),
      FPopupMenu1(new QMenu(this)),
      FKd1(new QAction(QStringLiteral("Kód"), FPopupMenu1)),
      FMagyar1(new QAction(QStringLiteral("Megnevezés"), FPopupMenu1)) {
  setObjectName(QStringLiteral("Edit1"));
  setValidator(new TMaxLengthValidator(*this));
  FPopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  FKd1->setObjectName(QStringLiteral("Kd1"));
  FMagyar1->setObjectName(QStringLiteral("Magyar1"));
  auto* group = new QActionGroup(FPopupMenu1);
  group->setExclusive(true);
  for (QAction* action : {FKd1, FMagyar1}) {
    action->setCheckable(true);
    group->addAction(action);
  }
  FKd1->setChecked(true);
  FPopupMenu1->addAction(FKd1);
  FPopupMenu1->addSeparator();
  FPopupMenu1->addAction(FMagyar1);
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { FPopupMenu1->exec(mapToGlobal(at)); });
  connect(FKd1, &QAction::triggered, this, [this] { FErrors.Guard([this] { Kd1Click(); }); });
  connect(FMagyar1, &QAction::triggered, this, [this] { FErrors.Guard([this] { Magyar1Click(); }); });
  connect(this, &QLineEdit::textChanged, this, [this] {
    FAcceptedLength = static_cast<int>(text().length());
    FErrors.Guard([this] { Edit1Change(); });
  });
}

void TIncrementalSearch::Edit1Change() {
  try {
    FTable.FindNearest(text());
  } catch (const kestrel::access::EDatabaseError&) {
    FDialogs.ShowMessage(kSearchCaption, kSearchError);
  }
}

void TIncrementalSearch::Kd1Click() {
  FTable.SetIndexName(kCodeIndex);
  FMaxLength = kCodeLength;
}

void TIncrementalSearch::Magyar1Click() {
  FTable.SetIndexName(kNameIndex);
  FMaxLength = kNameLength;
}

void TIncrementalSearch::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (FNext != nullptr) FNext->setFocus(Qt::TabFocusReason);
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace vendrik
