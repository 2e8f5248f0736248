// The desktop shell's failure detection: documents and programs that are not
// there, or cannot be run, are failures, not silent successes.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/shell_service.h"

namespace vendrik::testing {
namespace {

class ShellServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FDirectory.isValid());
    FPrevious = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(FDirectory.path()));
  }
  void TearDown() override { QDir::setCurrent(FPrevious); }

  QTemporaryDir FDirectory;
  QString FPrevious;
  TDesktopShellService FShell;
};

TEST_F(ShellServiceTest, MissingOrUnreadableDocumentIsAFailure) {
  EXPECT_FALSE(FShell.OpenDocument(QStringLiteral("Leírás.pdf"))) << "no such file";

  ASSERT_TRUE(QDir().mkdir(QStringLiteral("Leírás.pdf")));
  EXPECT_FALSE(FShell.OpenDocument(QStringLiteral("Leírás.pdf"))) << "a directory is not a document";
  ASSERT_TRUE(QDir().rmdir(QStringLiteral("Leírás.pdf")));

  QFile locked(QStringLiteral("Leírás.pdf"));
  ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
  locked.close();
  ASSERT_TRUE(locked.setPermissions(QFileDevice::WriteOwner));
  // With rights that read any file (root) the file stays readable and the
  // case cannot arise.
  if (!QFile(QStringLiteral("Leírás.pdf")).open(QIODevice::ReadOnly)) {
    EXPECT_FALSE(FShell.OpenDocument(QStringLiteral("Leírás.pdf"))) << "an unreadable file";
  }
}

TEST_F(ShellServiceTest, ProgramThatCannotStartIsAFailureWithAReason) {
  QString reason;
  EXPECT_FALSE(FShell.StartProgram(QStringLiteral("Update.exe"), {QStringLiteral("update.nfo")}, reason));
  EXPECT_FALSE(reason.isEmpty());

  // A file that is there but may not be run.
  QFile script(QStringLiteral("Update.exe"));
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write("#!/bin/sh\n");
  script.close();
  ASSERT_TRUE(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
  reason.clear();
  EXPECT_FALSE(FShell.StartProgram(QStringLiteral("Update.exe"), {QStringLiteral("update.nfo")}, reason));
  EXPECT_FALSE(reason.isEmpty());

  reason.clear();
  EXPECT_TRUE(FShell.StartProgram(QStringLiteral("true"), {QStringLiteral("update.nfo")}, reason));
  EXPECT_TRUE(reason.isEmpty());
}

}  // namespace
}  // namespace vendrik::testing
