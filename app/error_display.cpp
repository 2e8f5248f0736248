// The standard error display and the handler guard built on it.
#include "app/error_display.h"

#include <QDebug>

#include "app/dialog_service.h"
#include "app/silent_abort.h"

namespace vendrik {
namespace {

const QString kUnknownErrorText = QStringLiteral("Unknown exception");

}  // namespace

QString StandardErrorText(const QString& message) {
  if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
  return message;
}

TErrorDisplay::TErrorDisplay(IDialogService& dialogs, QString title)
    : FDialogs(dialogs), FTitle(std::move(title)) {}

void TErrorDisplay::Show(std::exception_ptr error) noexcept {
  if (!error) return;
  QString message;
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
    return;
  } catch (const std::exception& e) {
    message = QString::fromUtf8(e.what());
  } catch (...) {
    message = kUnknownErrorText;
  }
  try {
    FDialogs.ShowError(FTitle, StandardErrorText(message));
  } catch (...) {
    // The display itself failed (out of memory in the box, say): the error
    // goes to the log so that it is not lost, and the program goes on.
    qCritical().noquote() << FTitle << message;
  }
}

bool TErrorDisplay::Guard(const std::function<void()>& handler) noexcept {
  try {
    handler();
    return true;
  } catch (...) {
    Show(std::current_exception());
    return false;
  }
}

}  // namespace vendrik
