// TCaptureLog: a TdwLog that keeps every line, for tests that check what a
// layer logged.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "engine/fs/log.h"

namespace kestrel::test {

class TCaptureLog : public TdwLog {
 public:
  void Write(int severity, std::string_view subsystem, std::string_view text) override {
    std::lock_guard<std::mutex> lock(FMutex);
    FLines.push_back(std::to_string(severity) + " " + std::string(subsystem) + ": " +
                     std::string(text));
  }
  // Number of lines that contain `part`.
  int Count(const std::string& part) const {
    std::lock_guard<std::mutex> lock(FMutex);
    int n = 0;
    for (const std::string& line : FLines) n += line.find(part) != std::string::npos;
    return n;
  }

 private:
  mutable std::mutex FMutex;
  std::vector<std::string> FLines;
};

}  // namespace kestrel::test
