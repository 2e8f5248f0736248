// The child side of the screenshot test: started by the test under an X
// server on the demo table, it builds the program's windows, shows the main
// window and, when asked, the browse (Form2) or search window (Form5) over
// it, takes a screenshot of that window from the screen and saves it as a
// PNG file. It prints the window's geometry, the menu bar's height (0 for a
// window without one) and the grid's row count on standard output as
//   geometry X Y WIDTH HEIGHT
//   menubar HEIGHT
//   screen WIDTH HEIGHT
//   rows N          (windows with a grid)
//   count N         (the record count label of those windows)
// and answers 0 on success.
#pragma once

namespace vendrik::testing {

inline constexpr const char* kScreenshotChildFlag = "--screenshot-child";

// argv[2] is the PNG file to write, argv[3] (optional) the window's name.
int RunScreenshotChild(int argc, char** argv);

}  // namespace vendrik::testing
