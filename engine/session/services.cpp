// Session services: station identity and the last-error record.
#include "engine/session/services.h"

#include <algorithm>
#include <string>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"

namespace kestrel {

TTdbServices::TTdbServices(TdwClock& clock) : FClock(clock) {
  while (FStationNo == 0) FStationNo = clock.Random(kMaxStationNo + 1);
  const std::string decimal = std::to_string(FStationNo);
  FStationName.assign(decimal.begin(), decimal.end());
}

void TTdbServices::SetLastError(const ETdbEngine& error) {
  SetLastError(error.Number(), Utf8ToUtf16(error.Message()));
}

void TTdbServices::SetLastError(int number, const std::u16string& message) {
  std::lock_guard lock(FLastErrorLock);
  FLastError = TTdbLastError{};
  FLastError.FCode = -number;
  FLastError.FMessage = message;
}

void TTdbServices::SetLastErrorPosition(const std::u16string& conditionText, int lineNo,
                                        int position) {
  std::u16string line = conditionText;
  std::replace(line.begin(), line.end(), u'\t', u' ');
  std::lock_guard lock(FLastErrorLock);
  FLastError.FLine = std::move(line);
  FLastError.FLineNo = lineNo;
  FLastError.FPosition = position;
}

void TTdbServices::ClearLastError() {
  std::lock_guard lock(FLastErrorLock);
  FLastError = TTdbLastError{};
}

TTdbLastError TTdbServices::LastError() const {
  std::lock_guard lock(FLastErrorLock);
  return FLastError;
}

void TTdbServices::AddSessionKey(const std::u16string& key) {
  if (key.empty() || std::find(FSessionKeys.begin(), FSessionKeys.end(), key) != FSessionKeys.end()) return;
  FSessionKeys.push_back(key);
}

}  // namespace kestrel
