// TdwLog: optional diagnostics of the engine's layers. A layer that logs holds
// a TdwLog pointer that may be null (no log). Severities: 1 information,
// 2 warning, 3 error. Implementations must be thread-safe.
#pragma once

#include <string_view>

namespace kestrel {

inline constexpr int kLogInfo = 1;
inline constexpr int kLogWarning = 2;
inline constexpr int kLogError = 3;

class TdwLog {
 public:
  virtual ~TdwLog();
  virtual void Write(int severity, std::string_view subsystem, std::string_view text) = 0;
};

}  // namespace kestrel
