// kestrel: the engine's command-line tool. Answers help and version, refuses
// unknown commands and options with a short usage text, and dispatches the
// rest to one command.
#include <string>
#include <vector>

#include "tools/command.h"
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
  if (argc < 2) return RefuseUsage(nullptr, "a command is needed");
  const std::string name = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
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
  return command->Run(args);
}
