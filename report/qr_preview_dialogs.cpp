// The preview's standard dialogs and the search dialog.
#include "report/qr_preview_dialogs.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace vendrik {

QString TQRPreviewDialogs::SaveFileName(QWidget* parent, const QString& caption,
                                        const QString& defaultName, const QStringList& filters,
                                        int& selectedFilter) {
  QString chosen = filters.value(0);
  const QString name =
      QFileDialog::getSaveFileName(parent, caption, defaultName, filters.join(QStringLiteral(";;")), &chosen);
  selectedFilter = std::max<qsizetype>(0, filters.indexOf(chosen));
  return name;
}

QString TQRPreviewDialogs::OpenFileName(QWidget* parent, const QString& caption,
                                        const QStringList& filters) {
  return QFileDialog::getOpenFileName(parent, caption, QString(), filters.join(QStringLiteral(";;")));
}

std::optional<QString> TQRPreviewDialogs::AskText(QWidget* parent, const QString& title,
                                                  const QString& prompt, const QString& defaultText) {
  bool ok = false;
  const QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
  if (!ok) return std::nullopt;
  return text;
}

std::optional<TQRSearchRequest> TQRPreviewDialogs::AskSearch(QWidget* parent) {
  TSearchDlg dialog(parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Request();
}

void TQRPreviewDialogs::ShowMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, parent);
  box.exec();
}

TSearchDlg::TSearchDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SearchDlg"));
  setWindowTitle(QStringLiteral("Search for Text"));
  auto* label = new QLabel(QStringLiteral("Search Text"), this);
  FText = new QLineEdit(this);
  FText->setAccessibleName(QStringLiteral("Search Text"));
  label->setBuddy(FText);
  FMatchCase = new QCheckBox(QStringLiteral("Match case"), this);
  FMatchCase->setAccessibleName(QStringLiteral("Match case"));
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setAccessibleName(QStringLiteral("Cancel"));
  auto* search = new QPushButton(QStringLiteral("Search"), this);
  search->setAccessibleName(QStringLiteral("Search"));
  search->setDefault(true);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(search, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel);
  buttons->addWidget(search);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(FText);
  layout->addWidget(FMatchCase);
  layout->addLayout(buttons);
}

TQRSearchRequest TSearchDlg::Request() const { return {FText->text(), FMatchCase->isChecked()}; }

}  // namespace vendrik
