// TAppWindows: the program's seven windows and the services they share. The
// windows are created once, in a fixed order (main window, browse window,
// search window, filter builder, about window, picture window, record report),
// and kept until the program ends; they are destroyed in the reverse order.
// Every window reaches the others, and the main window's data components,
// through this object; there is exactly one instance of each window.
#pragma once

#include <functional>
#include <memory>

#include "app/data_components.h"

namespace vendrik {

class IDialogService;
class IShellService;
class TErrorDisplay;
class TForm1;
class TForm2;
class TForm5;
class TForm6;
class TForm7;
class TForm8;
class TQuickReport9;

// What the windows use from outside: the message boxes, the shell, the
// standard error display, the maker of the data components and the request
// to end the program (QCoreApplication::quit in the program; the message loop
// ends after the current message). The referenced services must outlive the
// windows.
struct TAppServices {
  IDialogService& FDialogs;
  IShellService& FShell;
  TErrorDisplay& FErrors;
  TDataComponentFactory FCreateDataComponents;
  std::function<void()> FTerminate;
};

class TAppWindows {
 public:
  // Creates the seven windows in order, all hidden. Creating the main window
  // sets the database location to the current directory.
  explicit TAppWindows(TAppServices services);
  ~TAppWindows();
  TAppWindows(const TAppWindows&) = delete;
  TAppWindows& operator=(const TAppWindows&) = delete;

  const TAppServices& Services() const { return FServices; }

  TForm1& Form1() const { return *FForm1; }
  TForm2& Form2() const { return *FForm2; }
  TForm5& Form5() const { return *FForm5; }
  TForm6& Form6() const { return *FForm6; }
  TForm7& Form7() const { return *FForm7; }
  TForm8& Form8() const { return *FForm8; }
  TQuickReport9& QuickReport9() const { return *FQuickReport9; }

 private:
  TAppServices FServices;
  // Declared in creation order: members are destroyed in the reverse order.
  std::unique_ptr<TForm1> FForm1;
  std::unique_ptr<TForm2> FForm2;
  std::unique_ptr<TForm5> FForm5;
  std::unique_ptr<TForm6> FForm6;
  std::unique_ptr<TForm7> FForm7;
  std::unique_ptr<TForm8> FForm8;
  std::unique_ptr<TQuickReport9> FQuickReport9;
};

}  // namespace vendrik
