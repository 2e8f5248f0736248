// The commands of the kestrel tool. Each command lives in its own file and
// has one entry in ToolCommands(); main() picks the entry by name.
#pragma once

#include <functional>
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
  // The options the command takes, each followed by its value, separated
  // by blanks ("" for none); one written with a trailing "!" ("--reverse!")
  // takes no value. Any other "--" argument is refused.
  const char* Options;
  const char* Details;  // more lines for `kestrel COMMAND --help` ("" for none)
  TCommandRun Run;
};

const std::vector<TToolCommand>& ToolCommands();

// Writes "kestrel <command>: <message>" and a line feed to stderr; returns 1.
int ReportError(const std::string& command, const std::string& message);

// Runs body; an engine error or any other exception it throws becomes one
// line on stderr and the exit status 1.
int RunGuarded(const std::string& command, const std::function<int()>& body);

// Added to the message of a damaged index (engine error 95).
inline constexpr const char* kRebuildHint =
    " (kestrel reindex TABLE INDEX rebuilds it; kestrel drop-index TABLE INDEX removes it)";

// The commands.
int RunInfo(const std::vector<std::string>& args);
int RunCreate(const std::vector<std::string>& args);
int RunImport(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);
int RunCount(const std::vector<std::string>& args);
int RunFind(const std::vector<std::string>& args);
int RunCheck(const std::vector<std::string>& args);
int RunReindex(const std::vector<std::string>& args);
int RunDropIndex(const std::vector<std::string>& args);
int RunClear(const std::vector<std::string>& args);
int RunDemo(const std::vector<std::string>& args);
int RunUpdate(const std::vector<std::string>& args);
int RunDelete(const std::vector<std::string>& args);
int RunDrop(const std::vector<std::string>& args);
int RunContainer(const std::vector<std::string>& args);

}  // namespace kestrel::tool
