// The commands of the kestrel tool. Each command lives in its own file and
// has one entry in ToolCommands(); main() picks the entry by name.
#pragma once

#include <string>
#include <vector>

namespace kestrel::tool {

// Runs a command with the arguments after its name; returns the exit
// status. Output goes to stdout, errors as one line to stderr.
using TCommandRun = int (*)(const std::vector<std::string>& args);

struct TToolCommand {
  const char* Name;
  const char* Usage;  // arguments, for the usage text
  const char* Summary;
  TCommandRun Run;
};

const std::vector<TToolCommand>& ToolCommands();

// Writes "kestrel <command>: <message>" and a line feed to stderr; returns 1.
int ReportError(const std::string& command, const std::string& message);

// The commands.
int RunInfo(const std::vector<std::string>& args);

}  // namespace kestrel::tool
