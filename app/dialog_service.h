// The program's message boxes, behind a small interface so that tests can
// answer them. Every box is owned by the application (no parent window),
// application-modal, centred on the screen, and shows exactly the caption and
// text it is given.
#pragma once

#include <QString>

namespace vendrik {

class IDialogService {
 public:
  virtual ~IDialogService() = default;

  // Shows `text` in a box captioned `caption`, without an icon, with one OK
  // button. Returns when the user has pressed OK (or Esc, or closed the box).
  virtual void ShowMessage(const QString& caption, const QString& text) = 0;

  // Asks `text` in a box captioned `caption`, without an icon, with the two
  // buttons "Igen" (yes, the default button) and "Nem" (no). Returns true for
  // "Igen". Esc and the window's close button do not answer the question:
  // one of the two buttons must be pressed.
  virtual bool AskYesNo(const QString& caption, const QString& text) = 0;

  // Shows `text` in a box captioned `caption` with the error icon and one OK
  // button (the application's standard error display uses it).
  virtual void ShowError(const QString& caption, const QString& text) = 0;
};

// The real boxes, built on QMessageBox.
class TMessageBoxDialogService final : public IDialogService {
 public:
  void ShowMessage(const QString& caption, const QString& text) override;
  bool AskYesNo(const QString& caption, const QString& text) override;
  void ShowError(const QString& caption, const QString& text) override;
};

}  // namespace vendrik
