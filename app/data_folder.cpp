// Choosing and seeding the folder the program works in (see data_folder.h).
#include "app/data_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace vendrik {
namespace {

const QString kUserFolderName = QStringLiteral("vendrik");
const QString kPartSuffix = QStringLiteral(".part");

// The table file in `directory`, or an empty text when there is none.
QString TableFile(const QString& directory) {
  for (const QString& extension : kTableExtensions) {
    const QString path = QDir(directory).filePath(kTableBaseName + extension);
    if (QFileInfo(path).isFile()) return path;
  }
  return QString();
}

// Copies `source` to `target` through a temporary file beside the target, so
// that `target` appears only whole. An existing target is replaced. Returns
// an empty text on success, else what went wrong.
QString CopyWhole(const QString& source, const QString& target) {
  const QString part = target + kPartSuffix;
  QFile::remove(part);
  QFile input(source);
  if (!input.copy(part)) return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(source), input.errorString());
  QFile::remove(target);
  if (!QFile::rename(part, target)) {
    QFile::remove(part);
    return QStringLiteral("%1: nem nevezhető át").arg(QDir::toNativeSeparators(target));
  }
  return QString();
}

// Copies the demo table's files into `folder`, the table file last. Returns
// an empty text on success, else what went wrong (the files copied so far
// stay, but without the table file they make no table).
QString Seed(const QString& demoDirectory, const QString& demoTable, const QString& folder) {
  if (!QDir().mkpath(folder)) return QStringLiteral("a mappa nem hozható létre");
  const QFileInfoList files = QDir(demoDirectory).entryInfoList(QDir::Files, QDir::Name);
  for (const QFileInfo& file : files) {
    if (file.absoluteFilePath() == QFileInfo(demoTable).absoluteFilePath()) continue;
    const QString problem = CopyWhole(file.absoluteFilePath(), QDir(folder).filePath(file.fileName()));
    if (!problem.isEmpty()) return problem;
  }
  return CopyWhole(demoTable, QDir(folder).filePath(QFileInfo(demoTable).fileName()));
}

// Copies the guide into `folder` unless it is there already or not installed.
void ProvideGuide(const QString& guideFile, const QString& folder) {
  if (!QFileInfo(guideFile).isFile()) return;
  const QString target = QDir(folder).filePath(QFileInfo(guideFile).fileName());
  if (QFileInfo::exists(target)) return;
  CopyWhole(guideFile, target);
}

}  // namespace

bool HasTable(const QString& directory) { return !TableFile(directory).isEmpty(); }

TInstalledData InstalledDataIn(const QString& dataDirectory) {
  const QDir directory(dataDirectory);
  return {directory.filePath(QStringLiteral("demo")), directory.filePath(kGuideFileName)};
}

TDataFolderChoice ChooseDataFolder(const QString& workingDirectory, const TInstalledData& installed,
                                   const QString& userFolder) {
  TDataFolderChoice choice;
  choice.FDirectory = QDir(workingDirectory).absolutePath();
  const QString demoTable = TableFile(installed.FDemoDirectory);
  if (HasTable(workingDirectory) || demoTable.isEmpty()) return choice;

  const QString folder = QDir(userFolder).absolutePath();
  if (HasTable(folder)) {
    choice.FKind = TDataFolderKind::dfkUserFolder;
  } else {
    const QString problem = Seed(installed.FDemoDirectory, demoTable, folder);
    if (!problem.isEmpty()) {
      choice.FKind = TDataFolderKind::dfkSeedingFailed;
      choice.FProblem = QStringLiteral("%1 (%2)").arg(QDir::toNativeSeparators(folder), problem);
      return choice;
    }
    choice.FKind = TDataFolderKind::dfkSeededUserFolder;
  }
  choice.FDirectory = folder;
  ProvideGuide(installed.FGuideFile, folder);
  return choice;
}

QString UserDataFolder() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(kUserFolderName);
}

QString DataFolderNotice(const TDataFolderChoice& choice, const QString& workingDirectory) {
  const QString working = QDir::toNativeSeparators(QDir(workingDirectory).absolutePath());
  const QString folder = QDir::toNativeSeparators(choice.FDirectory);
  switch (choice.FKind) {
    case TDataFolderKind::dfkWorkingDirectory:
      return QString();
    case TDataFolderKind::dfkUserFolder:
      return QStringLiteral("A munkakönyvtárban (%1) nincs Vnd03 tábla, ezért a program az adatmappájában "
                            "dolgozik: %2")
          .arg(working, folder);
    case TDataFolderKind::dfkSeededUserFolder:
      return QStringLiteral("A munkakönyvtárban (%1) nincs Vnd03 tábla, ezért a program az adatmappájában "
                            "dolgozik, amelyet most a bemutató adatokkal töltött fel: %2")
          .arg(working, folder);
    case TDataFolderKind::dfkSeedingFailed:
      return QStringLiteral("A munkakönyvtárban (%1) nincs Vnd03 tábla, és az adatmappa sem készíthető el: %2")
          .arg(working, choice.FProblem);
  }
  return QString();
}

}  // namespace vendrik
