// The update request: the file's twelve lines, their line ends and their
// decoding with Python's uudecoder; replacing an old file and refusing to
// write where no file can be; and the menu command, which hands over to the
// updater and ends the program, or says why it cannot and goes on.
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/update_request.h"
#include "app/update_request_file.h"
#include "fake_services.h"
#include "python_runner.h"

namespace vendrik::testing {
namespace {

const QStringList kPlainLines = {
    QStringLiteral("PROGRAM NAME    : Vendrik"),       QStringLiteral("PROGRAM VERSION : 2.0.0.0"),
    QStringLiteral("PROGRAM TYPE    : LINUX-STD"),     QStringLiteral("SERVER DIR      : anon_ftp/updatesb"),
    QStringLiteral("SERVER INF FILE : 629axz-vndd.cfg"), QStringLiteral("AFTER RUN       : Vnd.exe"),
    QStringLiteral("PROXY USING     : 0"),             QStringLiteral("PROXY HOST      : Nil"),
    QStringLiteral("PROXY USER      : Nil"),           QStringLiteral("PROXY PASSWORD  : Nil"),
    QStringLiteral("PROXY PORT      : Nil"),           QStringLiteral("PROXY TYPE      : Nil"),
};

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

TEST(UpdateRequestFileTest, TwelveLinesEachEndingInCarriageReturnAndLineFeed) {
  EXPECT_EQ(UpdateRequestLines(), kPlainLines);
  const QByteArray contents = UpdateRequestContents();
  ASSERT_TRUE(contents.endsWith("\r\n"));
  const QList<QByteArray> lines = contents.chopped(1).split('\n');
  ASSERT_EQ(lines.size(), 12);
  for (const QByteArray& line : lines) {
    SCOPED_TRACE(line.toStdString());
    ASSERT_TRUE(line.endsWith('\r'));
    EXPECT_FALSE(line.chopped(1).contains('\r')) << "one encoded line per plain line";
  }
}

TEST(UpdateRequestFileTest, PythonsUUDecoderGivesBackThePlainLines) {
  TScratchDirectory scratch;
  WriteUpdateRequestFile(kUpdateRequestFileName);
  const TPythonResult result = RunPython(
      "import binascii, sys\n"
      "data = open(sys.argv[1], 'rb').read()\n"
      "assert data.endswith(b'\\r\\n'), 'the last line ends in CR LF'\n"
      "lines = data[:-2].split(b'\\r\\n')\n"
      "assert len(lines) == 12, len(lines)\n"
      "for line in lines:\n"
      "    sys.stdout.write(binascii.a2b_uu(line).decode('latin-1') + '\\n')\n",
      {kUpdateRequestFileName});
  if (result.FMissing) GTEST_SKIP() << "python3 is not installed";
  ASSERT_TRUE(result.FOk) << result.FError.toStdString();
  EXPECT_EQ(QString::fromLatin1(result.FOutput), kPlainLines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

TEST(UpdateRequestFileTest, AnExistingFileIsReplacedNotAppendedTo) {
  TScratchDirectory scratch;
  QFile old(kUpdateRequestFileName);
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write(QByteArray(4096, 'x'));
  old.close();
  WriteUpdateRequestFile(kUpdateRequestFileName);
  EXPECT_EQ(ReadFile(kUpdateRequestFileName), UpdateRequestContents());
  EXPECT_EQ(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{kUpdateRequestFileName})
      << "no temporary file is left behind";
}

TEST(UpdateRequestFileTest, APlaceWhereNoFileCanBeWrittenIsAnErrorThatNamesTheFile) {
  TScratchDirectory scratch;
  ASSERT_TRUE(QDir().mkdir(QStringLiteral("occupied.nfo")));
  const QString cases[] = {QStringLiteral("missing/update.nfo"), QStringLiteral("occupied.nfo")};
  for (const QString& path : cases) {
    SCOPED_TRACE(path.toStdString());
    try {
      WriteUpdateRequestFile(path);
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
      EXPECT_TRUE(QString::fromUtf8(error.what()).startsWith(QStringLiteral("A(z) %1 állomány nem írható: ").arg(path)))
          << error.what();
    }
  }
  EXPECT_TRUE(QFileInfo(QStringLiteral("occupied.nfo")).isDir());
  EXPECT_EQ(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{}) << "no partial file";
}

TEST(UpdateRequestFileTest, UpdaterIsLookedForInTheGivenOrder) {
  TScratchDirectory scratch;
  ASSERT_TRUE(QDir().mkpath(QStringLiteral("first")));
  ASSERT_TRUE(QDir().mkpath(QStringLiteral("second/Update.exe")));  // a directory is not the updater
  ASSERT_TRUE(QDir().mkpath(QStringLiteral("third")));
  scratch.Touch(QStringLiteral("third/Update.exe"));
  const QString root = scratch.Path();
  EXPECT_EQ(FindUpdater({root + QStringLiteral("/first"), root + QStringLiteral("/second")}), QString());
  EXPECT_EQ(FindUpdater({root + QStringLiteral("/first"), root + QStringLiteral("/second"),
                         root + QStringLiteral("/third")}),
            root + QStringLiteral("/third/Update.exe"));
}

// The menu command "Frissítés" -> "Keresés" in the running main window.
class UpdateCommandTest : public ::testing::Test {
 protected:
  void Choose() {
    auto* command = FApp.FWindows->Form1().findChild<QAction*>(QStringLiteral("Keress3"));
    ASSERT_NE(command, nullptr);
    command->trigger();
  }

  TScratchDirectory FScratch;
  TAppFixture FApp;
};

TEST_F(UpdateCommandTest, HandsTheFileToTheUpdaterAndEndsWithoutTheExitQuestion) {
  ASSERT_FALSE(QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/Update.exe")));
  FScratch.Touch(QStringLiteral("Update.exe"));
  Choose();
  EXPECT_EQ(ReadFile(kUpdateRequestFileName), UpdateRequestContents());
  ASSERT_EQ(FApp.FShell.FStarted.size(), 1u);
  EXPECT_EQ(FApp.FShell.FStarted[0], FScratch.Path() + QStringLiteral("/Update.exe update.nfo"));
  EXPECT_EQ(FApp.FTerminateRequests, 1);
  EXPECT_TRUE(FApp.FDialogs.FBoxes.empty()) << "no exit question, no message";
}

TEST_F(UpdateCommandTest, MissingUpdaterIsReportedAndTheProgramGoesOn) {
  Choose();
  EXPECT_EQ(ReadFile(kUpdateRequestFileName), UpdateRequestContents()) << "the request stays for a later try";
  EXPECT_TRUE(FApp.FShell.FStarted.empty());
  EXPECT_EQ(FApp.FTerminateRequests, 0);
  ASSERT_EQ(FApp.FDialogs.FBoxes.size(), 1u);
  const TBox& box = FApp.FDialogs.FBoxes[0];
  EXPECT_EQ(box.FKind, TBoxKind::bkMessage);
  EXPECT_EQ(box.FCaption, QStringLiteral("Hiba történt:"));
  EXPECT_EQ(box.FText, QStringLiteral("A frissítő program (Update.exe) nem található: keresve itt: %1, %2.")
                           .arg(QCoreApplication::applicationDirPath(), FScratch.Path()));
}

TEST_F(UpdateCommandTest, AnUpdaterThatCannotStartIsReportedWithTheReason) {
  FScratch.Touch(QStringLiteral("Update.exe"));
  FApp.FShell.FSucceeds = false;
  Choose();
  EXPECT_EQ(FApp.FTerminateRequests, 0);
  ASSERT_EQ(FApp.FDialogs.FBoxes.size(), 1u);
  EXPECT_EQ(FApp.FDialogs.FBoxes[0].FCaption, QStringLiteral("Hiba történt:"));
  EXPECT_EQ(FApp.FDialogs.FBoxes[0].FText,
            QStringLiteral("A frissítő program (%1/Update.exe) nem indítható: Permission denied").arg(FScratch.Path()));
}

TEST_F(UpdateCommandTest, AFileThatCannotBeWrittenGoesToTheStandardErrorDisplayAndNothingStarts) {
  FScratch.Touch(QStringLiteral("Update.exe"));
  ASSERT_TRUE(QDir().mkdir(kUpdateRequestFileName));
  Choose();
  EXPECT_TRUE(FApp.FShell.FStarted.empty());
  EXPECT_EQ(FApp.FTerminateRequests, 0);
  ASSERT_EQ(FApp.FDialogs.FBoxes.size(), 1u);
  EXPECT_EQ(FApp.FDialogs.FBoxes[0].FKind, TBoxKind::bkError);
  EXPECT_EQ(FApp.FDialogs.FBoxes[0].FCaption, QStringLiteral("Vendrik '03"));
  EXPECT_TRUE(FApp.FDialogs.FBoxes[0].FText.startsWith(QStringLiteral("A(z) update.nfo állomány nem írható: ")));
}

}  // namespace
}  // namespace vendrik::testing
