// The update command (see update_request.h).
#include "app/update_request.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "app/app_windows.h"
#include "app/dialog_service.h"
#include "app/shell_service.h"
#include "app/update_request_file.h"

namespace vendrik {
namespace {

const QString kErrorCaption = QStringLiteral("Hiba történt:");

}  // namespace

QString FindUpdater(const QStringList& directories) {
  for (const QString& directory : directories) {
    const QFileInfo updater(QDir(directory), kUpdaterFileName);
    if (updater.isFile()) return updater.absoluteFilePath();
  }
  return {};
}

bool RequestUpdate(TAppWindows& windows) {
  WriteUpdateRequestFile(kUpdateRequestFileName);

  const TAppServices& services = windows.Services();
  const QStringList directories = {QCoreApplication::applicationDirPath(), QDir::currentPath()};
  const QString updater = FindUpdater(directories);
  if (updater.isEmpty()) {
    services.FDialogs.ShowMessage(
        kErrorCaption, QStringLiteral("A frissítő program (%1) nem található: keresve itt: %2.")
                           .arg(kUpdaterFileName, directories.join(QStringLiteral(", "))));
    return false;
  }
  QString reason;
  if (!services.FShell.StartProgram(updater, {kUpdateRequestFileName}, reason)) {
    services.FDialogs.ShowMessage(
        kErrorCaption, QStringLiteral("A frissítő program (%1) nem indítható: %2").arg(updater, reason));
    return false;
  }
  return true;
}

}  // namespace vendrik
