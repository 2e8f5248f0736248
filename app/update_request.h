// The update command of the main window's menu: writes the update request
// file (update_request_file.h) into the current directory and starts the
// separate updater "Update.exe" with the file's name as its parameter, so
// that the program can end and the updater replace its files.
//
// The updater is looked for beside the program first, then in the current
// directory (the data directory, which others may write to, comes last). When
// it is in neither place, or cannot be started, a "Hiba történt:" box says
// why and the program goes on; the request file stays for a later try.
#pragma once

#include <QString>
#include <QStringList>

namespace vendrik {

class TAppWindows;

// The updater's file name.
inline const QString kUpdaterFileName = QStringLiteral("Update.exe");

// The full path of the first of `directories` that holds the updater as a
// file; empty when none does.
QString FindUpdater(const QStringList& directories);

// Runs the update command. Returns true when the updater was started and the
// program should now end; false when the updater could not be started (the
// user has been told why). Throws std::runtime_error, before anything is
// started, when the request file cannot be written.
bool RequestUpdate(TAppWindows& windows);

}  // namespace vendrik
