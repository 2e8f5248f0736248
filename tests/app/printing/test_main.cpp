// Entry of the printing tests: one application object, on Qt's offscreen
// platform, and a CUPS server of the tests' own, started before the tests
// and stopped after them. When cupsd cannot start the tests fail.
#include <gtest/gtest.h>

#include <QApplication>

#include "cups_server.h"

namespace vendrik::testing {

TTestCupsServer* gCupsServer = nullptr;

namespace {

class TCupsEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    FServer = std::make_unique<TTestCupsServer>();
    QString error;
    ASSERT_TRUE(FServer->Start(&error)) << "The test CUPS server did not start: " << error.toStdString();
    gCupsServer = FServer.get();
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
