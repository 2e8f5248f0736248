// The questions and messages of the preview window, behind an interface so
// that tests can answer them: file names for save and load, the page number
// to go to, the search text, and messages. TQRPreviewDialogs asks the user
// with the standard dialogs and the search dialog TSearchDlg.
#pragma once

#include <optional>

#include <QDialog>
#include <QString>
#include <QStringList>

class QCheckBox;
class QLineEdit;
class QWidget;

namespace vendrik {

struct TQRSearchRequest {
  QString FText;
  bool FMatchCase = false;
};

class IQRPreviewDialogs {
 public:
  virtual ~IQRPreviewDialogs() = default;
  // A file name to save to, or an empty text when cancelled. `filters` are
  // the file types in order; `selectedFilter` receives the index chosen.
  virtual QString SaveFileName(QWidget* parent, const QString& caption, const QString& defaultName,
                               const QStringList& filters, int& selectedFilter) = 0;
  // A file name to load, or an empty text when cancelled.
  virtual QString OpenFileName(QWidget* parent, const QString& caption, const QStringList& filters) = 0;
  // The text entered, or nothing when cancelled.
  virtual std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& prompt,
                                         const QString& defaultText) = 0;
  // The search, or nothing when cancelled.
  virtual std::optional<TQRSearchRequest> AskSearch(QWidget* parent) = 0;
  // A message with an OK button.
  virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
};

class TQRPreviewDialogs final : public IQRPreviewDialogs {
 public:
  QString SaveFileName(QWidget* parent, const QString& caption, const QString& defaultName,
                       const QStringList& filters, int& selectedFilter) override;
  QString OpenFileName(QWidget* parent, const QString& caption, const QStringList& filters) override;
  std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& prompt,
                                 const QString& defaultText) override;
  std::optional<TQRSearchRequest> AskSearch(QWidget* parent) override;
  void ShowMessage(QWidget* parent, const QString& text) override;
};

// The search dialog: "Search for Text", the text, "Match case", "Cancel" and "Search".
class TSearchDlg final : public QDialog {
  Q_OBJECT

 public:
  explicit TSearchDlg(QWidget* parent = nullptr);
  TQRSearchRequest Request() const;

 private:
  QLineEdit* FText;
  QCheckBox* FMatchCase;
};

}  // namespace vendrik
