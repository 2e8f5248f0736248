// The child side of the screenshot test: started by the test under an X
// server, it builds the program's windows, shows the main window, takes a
// screenshot of it from the screen and saves it as a PNG file. It prints the
// window's geometry and the menu bar's height on standard output as
//   geometry X Y WIDTH HEIGHT
//   menubar HEIGHT
//   screen WIDTH HEIGHT
// and answers 0 on success.
#pragma once

namespace vendrik::testing {

inline constexpr const char* kScreenshotChildFlag = "--screenshot-child";

// argv[2] is the PNG file to write.
int RunScreenshotChild(int argc, char** argv);

}  // namespace vendrik::testing
