// QMessageBox-based message boxes. The Yes/No box adds its buttons in the
// action role so that QMessageBox finds no escape button: Esc and the close
// button then leave the question open, as the platform's two-button box does.
#include "app/dialog_service.h"

#include <QMessageBox>
#include <QPushButton>

namespace vendrik {
namespace {

const QString kYesCaption = QStringLiteral("Igen");
const QString kNoCaption = QStringLiteral("Nem");

void PrepareBox(QMessageBox& box, const QString& caption, const QString& text,
                QMessageBox::Icon icon) {
  box.setWindowTitle(caption);
  box.setText(text);
  box.setIcon(icon);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
}

void ShowOkBox(const QString& caption, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box;
  PrepareBox(box, caption, text, icon);
  box.setStandardButtons(QMessageBox::Ok);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
  box.exec();
}

}  // namespace

void TMessageBoxDialogService::ShowMessage(const QString& caption, const QString& text) {
  ShowOkBox(caption, text, QMessageBox::NoIcon);
}

bool TMessageBoxDialogService::AskYesNo(const QString& caption, const QString& text) {
  QMessageBox box;
  PrepareBox(box, caption, text, QMessageBox::NoIcon);
  QPushButton* yes = box.addButton(kYesCaption, QMessageBox::ActionRole);
  box.addButton(kNoCaption, QMessageBox::ActionRole);
  box.setDefaultButton(yes);
  box.exec();
  return box.clickedButton() == yes;
}

void TMessageBoxDialogService::ShowError(const QString& caption, const QString& text) {
  ShowOkBox(caption, text, QMessageBox::Critical);
}

}  // namespace vendrik
