// A dialog service that also writes every message and error it shows on
// standard error ("caption: text"), so that what the program told the user
// can be read in a terminal or the session's log, and by tests that run the
// program as a process. Questions are only asked, not echoed.
#pragma once

#include <cstdio>

#include "app/dialog_service.h"

namespace vendrik {

class TEchoingDialogService final : public IDialogService {
 public:
  // `shown` must outlive this service; `echo` is the stream written to.
  explicit TEchoingDialogService(IDialogService& shown, std::FILE* echo = stderr);

  void ShowMessage(const QString& caption, const QString& text) override;
  bool AskYesNo(const QString& caption, const QString& text) override;
  void ShowError(const QString& caption, const QString& text) override;

 private:
  void Echo(const QString& caption, const QString& text);

  IDialogService& FShown;
  std::FILE* FEcho;
};

}  // namespace vendrik
