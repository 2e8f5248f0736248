// Choosing the folder the program works in, and seeding the user's data
// folder from the demo table: which folder each situation gives, that a
// seeded folder holds the demo files whole, and that nothing the user has is
// ever overwritten.
#include "app/data_folder.h"

#include <functional>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vendrik {
namespace {

const QStringList kDemoFiles = {QStringLiteral("Vnd03.dat"), QStringLiteral("Vnd03.mmo"),
                                QStringLiteral("Vnd03!KOD.ind"), QStringLiteral("Vnd03!INDMN.ind")};

void WriteFile(const QString& path, const QByteArray& content) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  file.write(content);
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A scratch tree: an installation (share/vendrik with the demo table and the
// guide), an empty working directory and the user's data folder (not made).
struct TTree {
  TTree() {
    for (const QString& name : kDemoFiles) WriteFile(Demo(name), "demo " + name.toUtf8());
    WriteFile(Installed().FGuideFile, "guide");
    QDir().mkpath(Working());
  }
  QString Path(const QString& relative) const { return QDir(FRoot.path()).filePath(relative); }
  TInstalledData Installed() const { return InstalledDataIn(Path(QStringLiteral("share/vendrik"))); }
  QString Demo(const QString& name) const { return QDir(Installed().FDemoDirectory).filePath(name); }
  QString Working() const { return Path(QStringLiteral("work")); }
  QString User(const QString& name = QString()) const {
    return QDir(Path(QStringLiteral("data/vendrik"))).filePath(name);
  }
  TDataFolderChoice Choose() const { return ChooseDataFolder(Working(), Installed(), User()); }

  QTemporaryDir FRoot;
};

TEST(DataFolderTest, ChoosesTheFolderForEachSituation) {
  struct Case {
    const char* FName;
    std::function<void(TTree&)> FPrepare;
    TDataFolderKind FKind;
    bool FInUserFolder;
  };
  const Case cases[] = {
      {"table in the working directory (.dat)",
       [](TTree& tree) { WriteFile(QDir(tree.Working()).filePath(QStringLiteral("Vnd03.dat")), "mine"); },
       TDataFolderKind::dfkWorkingDirectory, false},
      {"table in the working directory (.tdbt)",
       [](TTree& tree) { WriteFile(QDir(tree.Working()).filePath(QStringLiteral("Vnd03.tdbt")), "mine"); },
       TDataFolderKind::dfkWorkingDirectory, false},
      {"not installed: no demo table to seed from",
       [](TTree& tree) { QDir(tree.Installed().FDemoDirectory).removeRecursively(); },
       TDataFolderKind::dfkWorkingDirectory, false},
      {"first start: the user's folder does not exist", [](TTree&) {}, TDataFolderKind::dfkSeededUserFolder,
       true},
      {"a folder left by an interrupted seeding (memo, no table)",
       [](TTree& tree) { WriteFile(tree.User(QStringLiteral("Vnd03.mmo")), "half"); },
       TDataFolderKind::dfkSeededUserFolder, true},
      {"later start: the user's folder holds the table",
       [](TTree& tree) { WriteFile(tree.User(QStringLiteral("Vnd03.dat")), "user's own"); },
       TDataFolderKind::dfkUserFolder, true},
      {"the user's folder cannot be made (a file stands in its way)",
       [](TTree& tree) { WriteFile(tree.Path(QStringLiteral("data")), "a file"); },
       TDataFolderKind::dfkSeedingFailed, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.FName);
    TTree tree;
    c.FPrepare(tree);
    const TDataFolderChoice choice = tree.Choose();
    EXPECT_EQ(choice.FKind, c.FKind);
    EXPECT_EQ(choice.FDirectory, c.FInUserFolder ? QDir(tree.User()).absolutePath()
                                                 : QDir(tree.Working()).absolutePath());
    EXPECT_EQ(choice.FProblem.isEmpty(), c.FKind != TDataFolderKind::dfkSeedingFailed);
    EXPECT_EQ(DataFolderNotice(choice, tree.Working()).isEmpty(),
              c.FKind == TDataFolderKind::dfkWorkingDirectory);
  }
}

TEST(DataFolderTest, SeedingCopiesTheDemoTableWholeWithTheGuide) {
  TTree tree;
  const TDataFolderChoice choice = tree.Choose();
  ASSERT_EQ(choice.FKind, TDataFolderKind::dfkSeededUserFolder);
  for (const QString& name : kDemoFiles) EXPECT_EQ(ReadFile(tree.User(name)), ReadFile(tree.Demo(name))) << name.toStdString();
  EXPECT_EQ(ReadFile(tree.User(kGuideFileName)), QByteArray("guide"));
  EXPECT_TRUE(QDir(tree.User()).entryList({QStringLiteral("*.part")}, QDir::Files).isEmpty());
  EXPECT_TRUE(HasTable(choice.FDirectory));
  // The user is told where the folder is.
  EXPECT_TRUE(DataFolderNotice(choice, tree.Working()).contains(QDir::toNativeSeparators(choice.FDirectory)));
}

TEST(DataFolderTest, TheUsersTableAndGuideAreNeverOverwritten) {
  TTree tree;
  ASSERT_EQ(tree.Choose().FKind, TDataFolderKind::dfkSeededUserFolder);
  WriteFile(tree.User(QStringLiteral("Vnd03.dat")), "changed by the user");
  WriteFile(tree.User(QStringLiteral("Vnd03.mmo")), "memo changed by the user");
  WriteFile(tree.User(kGuideFileName), "the user's notes");

  const TDataFolderChoice again = tree.Choose();
  EXPECT_EQ(again.FKind, TDataFolderKind::dfkUserFolder);
  EXPECT_EQ(ReadFile(tree.User(QStringLiteral("Vnd03.dat"))), QByteArray("changed by the user"));
  EXPECT_EQ(ReadFile(tree.User(QStringLiteral("Vnd03.mmo"))), QByteArray("memo changed by the user"));
  EXPECT_EQ(ReadFile(tree.User(kGuideFileName)), QByteArray("the user's notes"));
}

TEST(DataFolderTest, AGuideMissingFromTheUsersFolderIsProvidedAgain) {
  TTree tree;
  ASSERT_EQ(tree.Choose().FKind, TDataFolderKind::dfkSeededUserFolder);
  ASSERT_TRUE(QFile::remove(tree.User(kGuideFileName)));
  EXPECT_EQ(tree.Choose().FKind, TDataFolderKind::dfkUserFolder);
  EXPECT_EQ(ReadFile(tree.User(kGuideFileName)), QByteArray("guide"));
}

TEST(DataFolderTest, ACopyThatFailsLeavesNoTable) {
  TTree tree;
  // A directory where the copy of a memo or index file must be written makes
  // that copy fail; the table file, copied last, must then not appear.
  ASSERT_TRUE(QDir().mkpath(tree.User(QStringLiteral("Vnd03.mmo.part"))));
  const TDataFolderChoice choice = tree.Choose();
  EXPECT_EQ(choice.FKind, TDataFolderKind::dfkSeedingFailed);
  EXPECT_TRUE(choice.FProblem.contains(QStringLiteral("Vnd03.mmo"))) << choice.FProblem.toStdString();
  EXPECT_FALSE(HasTable(tree.User()));
  EXPECT_EQ(choice.FDirectory, QDir(tree.Working()).absolutePath());
}

}  // namespace
}  // namespace vendrik
