// The program's command line. Vendrik is worked through its menus and takes
// no arguments for its work; it answers --help (-h) and --version on standard
// output and then ends, and refuses any other argument. The help text is also
// the source of the program's manual page.
#pragma once

#include <string>
#include <vector>

namespace vendrik {

// The program's version, as the about window and the update request show it.
inline constexpr const char* kProgramVersion = "2.0.0.0";

enum class TCommandLineAction {
  claRun,      // no arguments: start the program
  claHelp,     // print HelpText() and end with status 0
  claVersion,  // print VersionText() and end with status 0
  claRefuse,   // print RefusalText() on standard error and end with kRefusedStatus
};

inline constexpr int kRefusedStatus = 2;

// What to do for `arguments` (the arguments after the program's name, after
// Qt has taken its own). --help and --version win over anything else given.
TCommandLineAction ParseCommandLine(const std::vector<std::string>& arguments);

// The help text (UTF-8, several lines, ending with a line feed).
std::string HelpText();

// "Vendrik '03 2.0.0.0" and a line feed.
std::string VersionText();

// The refusal of `arguments`: names the first one and points to --help.
std::string RefusalText(const std::vector<std::string>& arguments);

// Handles --help and --version before the application object exists (so that
// they work without a display): returns the exit status when the program
// should end now, or -1 when it should go on starting.
int AnswerInformationRequest(int argc, char** argv);

}  // namespace vendrik
