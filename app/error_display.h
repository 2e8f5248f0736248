// The application's standard error display: the one place where an error that
// no handler caught is shown to the user. It shows a message box captioned with
// the application title, holding the error's text, with the error icon and an
// OK button; the program then goes on. The silent abort (EAbort) is swallowed
// without a message.
//
// Every handler that Qt calls (menu commands, window events) runs through
// Guard(), so that no exception ever crosses Qt's event loop.
#pragma once

#include <exception>
#include <functional>

#include <QString>

namespace vendrik {

class IDialogService;

// The text the error display shows for an error message: the message itself,
// with "." appended when its last character sorts after "." (so "Hiba" becomes
// "Hiba." while "Hiba!", "Hiba." and "Hiba \"x\"" stay as they are). An empty
// message stays empty.
QString StandardErrorText(const QString& message);

class TErrorDisplay {
 public:
  // `dialogs` must outlive the display. `title` is the caption of the boxes.
  TErrorDisplay(IDialogService& dialogs, QString title);

  const QString& Title() const { return FTitle; }
  void SetTitle(const QString& title) { FTitle = title; }

  // Shows the error held by `error` (EAbort: nothing; a std::exception: its
  // what() read as UTF-8; anything else: a generic text). Never throws.
  void Show(std::exception_ptr error) noexcept;

  // Runs `handler`; an exception it throws is shown (or, for EAbort, swallowed)
  // instead of passed on. Returns true when the handler finished normally.
  bool Guard(const std::function<void()>& handler) noexcept;

 private:
  IDialogService& FDialogs;
  QString FTitle;
};

}  // namespace vendrik
