// The kestrel tool's help: the full text for `kestrel --help`, the text of
// one command for `kestrel COMMAND --help`, the version line, and the short
// usage text that refuses a wrong command or option.
#pragma once

#include <string>
#include <vector>

#include "tools/command.h"

namespace kestrel::tool {

// True for the arguments that ask for help: "--help" and "-h".
bool IsHelpOption(const std::string& arg);

// Prints the full help to standard output; returns 0 (1 when stdout fails).
int PrintHelp();

// Prints the help of one command to standard output; returns 0 (1 when
// stdout fails).
int PrintCommandHelp(const TToolCommand& command);

// Prints "kestrel VERSION" to standard output; returns 0 (1 when stdout fails).
int PrintVersion();

// Writes "kestrel[ COMMAND]: PROBLEM", the usage line(s) and a pointer to
// --help to standard error; returns 1. `command` is null for the tool itself.
int RefuseUsage(const TToolCommand* command, const std::string& problem);

// What the arguments of `command` ask for, read before the command runs.
// Values of the command's options are skipped, so "--index -KOD" passes.
struct TArgumentScan {
  bool Help = false;    // "--help" or "-h" among the arguments
  std::string Unknown;  // the first argument that looks like an option
                        // ("-" and a letter, or "--") the command does not take
};
TArgumentScan ScanArguments(const TToolCommand& command, const std::vector<std::string>& args);

}  // namespace kestrel::tool
