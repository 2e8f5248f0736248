// Entry of the GUI test program: one application object for every test, on
// Qt's offscreen platform unless the environment names another, with the
// program's fonts and theme. With --screenshot-child the program instead
// plays the child of the screenshot test (screenshot_child.h).
#include <cstring>

#include <gtest/gtest.h>

#include "app/application.h"
#include "fake_services.h"
#include "screenshot_child.h"

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], vendrik::testing::kScreenshotChildFlag) == 0)
    return vendrik::testing::RunScreenshotChild(argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  vendrik::TVendrikApplication application(argc, argv);
  vendrik::InstallFonts();
  vendrik::testing::TFakeDialogs themeDialogs;
  if (!vendrik::ApplyTheme(application, themeDialogs)) return 1;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
