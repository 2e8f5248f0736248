// Where the program works: the table Vnd03 lives in the working directory.
// An installed program that is started where there is no table (from the
// desktop menu, say, in the home directory) works in the user's data folder
// instead ($XDG_DATA_HOME/vendrik), which it fills from the installed demo
// table the first time, together with the user's guide.
//
// Seeding never overwrites a table: it runs only while the folder holds no
// table file, copies every file under a temporary name first and renames the
// table file last, so an interrupted seeding leaves no table that looks whole
// and the next start seeds again. A folder that already holds a table is used
// as it is: the user's changes are kept.
#pragma once

#include <QString>

namespace vendrik {

// The table's file names without extension and with the two extensions the
// database component tries, in its order.
inline const QString kTableBaseName = QStringLiteral("Vnd03");
inline const QString kTableExtensions[] = {QStringLiteral(".dat"), QStringLiteral(".tdbt")};

// Whether `directory` holds the table file Vnd03 (".dat" or ".tdbt").
bool HasTable(const QString& directory);

enum class TDataFolderKind {
  dfkWorkingDirectory,  // the working directory holds the table, or there is no demo table to seed from
  dfkUserFolder,        // the user's data folder, which held the table already
  dfkSeededUserFolder,  // the user's data folder, filled now from the demo table
  dfkSeedingFailed,     // the user's folder could not be filled; the working directory stays
};

struct TDataFolderChoice {
  TDataFolderKind FKind = TDataFolderKind::dfkWorkingDirectory;
  QString FDirectory;  // where the program works (an absolute path)
  QString FProblem;    // for dfkSeedingFailed: what went wrong, for the user
};

// The user's guide, which the guide command opens from the working directory.
inline const QString kGuideFileName = QStringLiteral("Leírás.pdf");

// What the installed program brings along: the demo table's folder and the
// user's guide.
struct TInstalledData {
  QString FDemoDirectory;  // holds the demo table; need not exist (a program that is not installed)
  QString FGuideFile;      // need not exist
};

// The installed data in `dataDirectory` (share/vendrik of the installation):
// its "demo" folder and its guide.
TInstalledData InstalledDataIn(const QString& dataDirectory);

// Chooses the folder as the file comment says and seeds the user's folder
// when that is needed. When the user's folder is used and has no guide, the
// installed guide is copied there (a failure to copy the guide is not an
// error: the guide command reports a missing guide itself). Does not change
// the current directory. Never throws.
TDataFolderChoice ChooseDataFolder(const QString& workingDirectory, const TInstalledData& installed,
                                   const QString& userFolder);

// The user's data folder: $XDG_DATA_HOME/vendrik (~/.local/share/vendrik when
// XDG_DATA_HOME is not set).
QString UserDataFolder();

// What the user is told about the choice, in Hungarian: empty for
// dfkWorkingDirectory, else one or two sentences naming the folder.
QString DataFolderNotice(const TDataFolderChoice& choice, const QString& workingDirectory);

}  // namespace vendrik
