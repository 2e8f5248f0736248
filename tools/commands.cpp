// The table of the kestrel tool's commands.
#include <cstdio>

#include "tools/command.h"

namespace kestrel::tool {

const std::vector<TToolCommand>& ToolCommands() {
  static const std::vector<TToolCommand> kCommands = {
      {"info", "TABLE", "describe a table file as JSON", RunInfo},
  };
  return kCommands;
}

int ReportError(const std::string& command, const std::string& message) {
  std::fprintf(stderr, "kestrel %s: %s\n", command.c_str(), message.c_str());
  return 1;
}

}  // namespace kestrel::tool
