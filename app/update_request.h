// The update command: writes the update request file and hands over to the
// separate updater program. Not built yet: the command does nothing so far.
#pragma once

namespace vendrik {

class TAppWindows;

// Runs the update command of the main window's menu.
void RequestUpdate(TAppWindows& windows);

}  // namespace vendrik
