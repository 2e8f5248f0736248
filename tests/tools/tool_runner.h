// Runs the built `kestrel` tool for the tool tests: arguments are quoted for
// the shell, standard output and standard error are caught in files of a
// scratch directory and read back, and the exit status is returned.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kestrel {

struct TToolRun {
  int Status = -1;  // exit status, -1 when the tool did not exit normally
  std::string Out;
  std::string Err;
};

// The whole content of a file ("" when it cannot be read).
inline std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// `text` as one shell word.
inline std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs `kestrel args...`; scratchDir holds the caught output meanwhile.
// `input`, when given, is the file standard input reads.
inline TToolRun RunKestrel(const std::vector<std::string>& args, const std::filesystem::path& scratchDir,
                           const std::filesystem::path& input = {}) {
  const std::filesystem::path out = scratchDir / "tool-out.txt", err = scratchDir / "tool-err.txt";
  std::string command = std::string(VENDRIK_BINARY_DIR) + "/bin/kestrel";
  for (const std::string& arg : args) command += " " + ShellQuote(arg);
  command += " >" + ShellQuote(out.string()) + " 2>" + ShellQuote(err.string());
  if (!input.empty()) command += " <" + ShellQuote(input.string());
  TToolRun run;
  const int status = std::system(command.c_str());
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Out = Slurp(out);
  run.Err = Slurp(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return run;
}

}  // namespace kestrel
