// The record report without windows: `vendrik --report KOD --pdf FILE`
// (or `--printer NAME`)
// opens the program's table in the current directory, restricts it to the
// records of the code (as the search window's print command does) and writes
// their record report to the file or as one job to the printer queue, with
// the layout the preview shows.
//
// The command speaks only through its exit status and, on failure, one line
// on standard error: Qt's own notices are kept off standard error for the
// whole run, and every error text is folded onto that one line.
#pragma once

#include <cstdio>

#include "app/command_line.h"

namespace vendrik {

// What the command answers: success, or one of the failures that end it
// with status 1 (unknown code, a file that cannot be written, a table that
// does not open).
inline constexpr int kReportFailedStatus = 1;

// Prepares the process for the command before the application object
// exists: Qt's offscreen platform (no display needed) and Qt's notices
// dropped instead of printed on standard error.
void PrepareReportCommand();

// Runs `request` in the current directory. Needs a QApplication. Returns 0
// when the file has been written or the job accepted, kReportFailedStatus after writing one line
// (ending with a line feed) to `errors` otherwise. Throws nothing.
int RunReportCommand(const TReportRequest& request, std::FILE* errors);

}  // namespace vendrik
