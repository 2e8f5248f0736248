// The exceptions of the component layer and the one procedure that turns a
// failed engine call into one of them.
//
// EDatabaseError is the framework's database error: every error of a dataset
// or database component (a bad state, a missing field, a refused property
// change) and, through EKestrelError, every engine failure. Messages are
// UTF-8. EAbort is the silent abort: a handler throws it to abandon the
// operation that called it; the operation unwinds with the dataset unchanged
// and the application shows nothing.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestrel::access {

class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
};

// An engine call that failed: TdbError is the result code, Reason the engine
// error number of the session's last error (0 when none was recorded).
class EKestrelError : public EDatabaseError {
 public:
  EKestrelError(const std::string& message, std::int16_t tdbError, std::int16_t reason)
      : EDatabaseError(message), FTdbError(tdbError), FReason(reason) {}

  std::int16_t TdbError() const { return FTdbError; }
  std::int16_t Reason() const { return FReason; }

 private:
  std::int16_t FTdbError;
  std::int16_t FReason;
};

class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

// The text of a result code from the engine's table ("Unknown error" for a
// code it does not know).
std::string ResultCodeText(std::int32_t result);

// Throws the error for a failed call: `result` is the negative answer,
// `action` says what the component was doing ("Fetching records"), and
// `sessHdl` names the session whose last-error record holds the details (0
// when there is none). Result codes that never leave a last error (an
// invalid handle, an unexpected exception, a communication failure) give
// EDatabaseError "action: text"; otherwise EKestrelError with "action: text.
// last error", or with "action: last error" for -100, or with "action: text"
// and Reason 0 when no last error is recorded.
[[noreturn]] void RaiseTdbError(std::int32_t result, const std::string& action, std::int16_t sessHdl);

// `result` when it is not negative; else RaiseTdbError.
std::int32_t CheckTdb(std::int32_t result, const std::string& action, std::int16_t sessHdl);

// printf-style "%s"/"%d" filling of an action or message text: each "%s" or
// "%d" in turn takes the next argument.
std::string FormatText(const std::string& format, std::initializer_list<std::string> args);

}  // namespace kestrel::access
