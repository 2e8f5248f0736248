// Entry of the printing tests: one application object, on Qt's offscreen
// platform, and a CUPS server of the tests' own, started before the tests
// and stopped after them. When cupsd cannot start the tests fail.
#include <gtest/gtest.h>

#include <QApplication>

#include "cups_server.h"

namespace vendrik::testing {

TTestCupsServer* gCupsServer = nullptr;
QString gCupsServerError;

namespace {

class TCupsEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    // A server that does not start fails every test (see the fixture).
    FServer = std::make_unique<TTestCupsServer>();
    if (FServer->Start(&gCupsServerError))
      gCupsServer = FServer.get();
    else
      FServer.reset();
  }
  void TearDown() override {
    gCupsServer = nullptr;
    FServer.reset();
  }

 private:
  std::unique_ptr<TTestCupsServer> FServer;
};

}  // namespace
}  // namespace vendrik::testing

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new vendrik::testing::TCupsEnvironment);
  return RUN_ALL_TESTS();
}
