// Raising engine failures as exceptions of the component layer.
#include "access/db_error.h"

#include <initializer_list>

#include "access/text_codec.h"
#include "engine/api/kestrel.h"

namespace kestrel::access {
namespace {

constexpr std::int32_t kLastErrorLength = 255;
constexpr std::int32_t kResultTextLength = 255;

// Results for which the last-error record says nothing: the invalid handles,
// the unexpected exception, the remote failures and the unspecified error.
bool IsWithoutLastError(std::int32_t result) {
  switch (result) {
    case -101: case -102: case -104: case -105: case -106: case -107: case -108: case -203:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string ResultCodeText(std::int32_t result) {
  TdbChar text[kResultTextLength + 1] = {};
  TdbGetErrorMsg(result, text, kResultTextLength);
  return Utf16ToUtf8(text);
}

void RaiseTdbError(std::int32_t result, const std::string& action, std::int16_t sessHdl) {
  const std::string resultText = ResultCodeText(result);
  if (IsWithoutLastError(result)) throw EDatabaseError(action + ": " + resultText);
  std::int32_t errorCode = 0;
  TdbChar message[kLastErrorLength + 1] = {};
  if (sessHdl <= 0 || TdbSessGetLastError(sessHdl, &errorCode, message, kLastErrorLength) != 0) errorCode = 0;
  const auto tdbError = static_cast<std::int16_t>(result);
  if (errorCode == 0) throw EKestrelError(action + ": " + resultText, tdbError, 0);
  const std::string lastError = Utf16ToUtf8(message);
  const auto reason = static_cast<std::int16_t>(errorCode);
  if (result == -100) throw EKestrelError(action + ": " + lastError, tdbError, reason);
  throw EKestrelError(action + ": " + resultText + ". " + lastError, tdbError, reason);
}

std::int32_t CheckTdb(std::int32_t result, const std::string& action, std::int16_t sessHdl) {
  if (result < 0) RaiseTdbError(result, action, sessHdl);
  return result;
}

std::string FormatText(const std::string& format, std::initializer_list<std::string> args) {
  std::string out;
  auto arg = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 's' || format[i + 1] == 'd') &&
        arg != args.end()) {
      out += *arg++;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

}  // namespace kestrel::access
