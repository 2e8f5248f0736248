// The dialog service that echoes its boxes on standard error.
#include "app/echoing_dialogs.h"

namespace vendrik {

TEchoingDialogService::TEchoingDialogService(IDialogService& shown, std::FILE* echo)
    : FShown(shown), FEcho(echo) {}

void TEchoingDialogService::Echo(const QString& caption, const QString& text) {
  const QByteArray line = (caption + QStringLiteral(": ") + text + QLatin1Char('\n')).toUtf8();
  std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), FEcho);
  std::fflush(FEcho);
}

void TEchoingDialogService::ShowMessage(const QString& caption, const QString& text) {
  Echo(caption, text);
  FShown.ShowMessage(caption, text);
}

bool TEchoingDialogService::AskYesNo(const QString& caption, const QString& text) {
  return FShown.AskYesNo(caption, text);
}

void TEchoingDialogService::ShowError(const QString& caption, const QString& text) {
  Echo(caption, text);
  FShown.ShowError(caption, text);
}

}  // namespace vendrik
