// kestrel: the engine's command-line tool. Answers help and version, refuses
// unknown commands and options with a short usage text, and dispatches the
// rest to one command.
#include <string>
#include <vector>

#include "tools/command.h"
#include "tools/csv.h"
#include "tools/database_option.h"
#include "tools/help.h"
#include "tools/password_option.h"

namespace {

using kestrel::tool::TToolCommand;

const TToolCommand* FindCommand(const std::string& name) {
  for (const TToolCommand& command : kestrel::tool::ToolCommands())
    if (name == command.Name) return &command;
  return nullptr;
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace kestrel::tool;
  // "--db LOCATION" may stand before the command or among its arguments.
  std::vector<std::string> all(argv + 1, argv + argc);
  if (!TakeDatabaseOption(all)) return RefuseUsage(nullptr, "--db needs a database location");
  if (all.empty()) return RefuseUsage(nullptr, "a command is needed");
  const std::string name = all[0];
  std::vector<std::string> args(all.begin() + 1, all.end());
  if (IsHelpOption(name) || name == "help") {
    if (args.empty()) return PrintHelp();
    const TToolCommand* command = args.size() == 1 ? FindCommand(args[0]) : nullptr;
    if (command == nullptr) return RefuseUsage(nullptr, "no help for \"" + args[0] + "\"");
    return PrintCommandHelp(*command);
  }
  if (name == "--version") return args.empty() ? PrintVersion() : RefuseUsage(nullptr, "--version takes nothing");
  const TToolCommand* command = FindCommand(name);
  if (command == nullptr)
    return RefuseUsage(nullptr, (name.rfind("-", 0) == 0 ? "unknown option \"" : "unknown command \"") + name + "\"");
  std::string passwordError;
  if (TakesPassword(name) && !TakePasswordOption(args, passwordError)) return RefuseUsage(command, passwordError);
  const TArgumentScan scan = ScanArguments(*command, args);
  if (scan.Help) return PrintCommandHelp(*command);
  if (!scan.Unknown.empty()) return RefuseUsage(command, "unknown option \"" + scan.Unknown + "\"");
  // Every argument becomes UTF-16 text for the engine; bytes that are not
  // UTF-8 would turn into replacement characters unseen.
  for (std::size_t i = 0; i < args.size(); ++i)
    if (!IsUtf8(args[i]))
      return ReportError(command->Name, "argument " + std::to_string(i + 1) + " after the command is not UTF-8 text");
  return command->Run(args);
}
