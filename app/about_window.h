// TForm7: the about window. It introduces the program and its author, offers
// links for e-mailing the author and opening the author's web site, and
// reports on the computer: operating system, processor type and measured
// clock, physical memory and memory load (system_report.h), measured afresh
// each time the window is shown. "MS Info" starts the system-information
// viewer when one is installed (otherwise the button is disabled and its
// tooltip says why); double-clicking the author line shows the picture
// window.
//
// Layout: a fixed 298 x 429 client area; the author panel (Panel1) with the
// icon and the author's lines, the memo below it, the system panel (Panel2)
// with five captions and their right-aligned values, and the two buttons at
// the bottom. The link labels and the author line are centred; when a line
// is wider than its place, it grows to both sides around the same centre.
//
// Numbers follow the default locale's separators. Handlers run under the
// standard error display's guard; a link or program the desktop cannot open
// is reported in a "Hiba történt:" box.
#pragma once

#include <functional>

#include "app/system_report.h"
#include "app/vendrik_form.h"

class QLabel;
class QPushButton;

namespace vendrik {

class TAppWindows;

class TForm7 : public TVendrikForm {
  Q_OBJECT

 public:
  // Builds the window hidden. `windows` must outlive it; the picture window
  // is looked up in it only when it is to be shown.
  explicit TForm7(TAppWindows& windows);

  // Replaces where the system report comes from when the window is shown
  // (GatherSystemReport unless replaced; tests give a fixed report).
  void SetSystemReportSource(std::function<TSystemReport()> source);

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createAuthorPanel();
  void createMemo();
  void createSystemPanel();
  void createButtons();

  void FormShow();
  void BitBtn1Click();
  void BitBtn2Click();
  void Label3DblClick();
  void Label7Click();
  void Label18Click();
  // Opens `address` through the shell; a failure is shown.
  void OpenLink(const QString& address);
  // Runs `handler` under the standard error display's guard.
  void Guarded(void (TForm7::*handler)());

  TAppWindows& FWindows;
  std::function<TSystemReport()> FSystemReportSource;
  QString FSystemInfoViewer;  // full path; empty when none is installed

  QLabel* FLabel3 = nullptr;
  QLabel* FLabel7 = nullptr;
  QLabel* FLabel18 = nullptr;
  QLabel* FLabel13 = nullptr;
  QLabel* FLabel14 = nullptr;
  QLabel* FLabel15 = nullptr;
  QLabel* FLabel16 = nullptr;
  QLabel* FLabel17 = nullptr;
  QPushButton* FBitBtn1 = nullptr;
  QPushButton* FBitBtn2 = nullptr;
};

}  // namespace vendrik
