// kestrel: the engine's command-line tool. Dispatches to one command.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/command.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: kestrel COMMAND ...\ncommands:\n");
  for (const kestrel::tool::TToolCommand& command : kestrel::tool::ToolCommands())
    std::fprintf(stderr, "  kestrel %s %s\t%s\n", command.Name, command.Usage, command.Summary);
  return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2) return Usage();
  const std::string name = argv[1];
  for (const kestrel::tool::TToolCommand& command : kestrel::tool::ToolCommands())
    if (name == command.Name) return command.Run(std::vector<std::string>(argv + 2, argv + argc));
  std::fprintf(stderr, "kestrel: unknown command \"%s\"\n", name.c_str());
  return Usage();
}
