// The kestrel tool's --password option, KESTREL_PASSWORD and the names of
// the encryption methods.
#include "tools/password_option.h"

#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "engine/base/code_page.h"

namespace kestrel::tool {

namespace {

std::optional<std::string>& OptionKey() {
  static std::optional<std::string> key;
  return key;
}

struct TMethodName {
  const char* Name;
  TTdbEncryptionMethod Method;
};

constexpr TMethodName kMethodNames[] = {
    {"none", temNone},          {"protection", temProtection}, {"classic", temClassic},
    {"fast", temFastEncrypt},   {"blowfish", temBlowfish},     {"aes", temRijndael},
};

}  // namespace

bool TakesPassword(const std::string& name) { return name != "demo"; }

bool TakePasswordOption(std::vector<std::string>& args, std::string& error) {
  for (std::size_t i = 0; i < args.size();) {
    if (args[i] != kPasswordOption) {
      ++i;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = std::string(kPasswordOption) + " needs a value";
      return false;
    }
    OptionKey() = args[i + 1];
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + 2));
  }
  return true;
}

std::u16string ToolKey() {
  if (OptionKey()) return Utf8ToUtf16(*OptionKey());
  const char* variable = std::getenv(kPasswordVariable);
  return variable ? Utf8ToUtf16(variable) : std::u16string();
}

TTdbEncryptionMethod ParseEncryptionMethod(const std::string& name) {
  for (const TMethodName& entry : kMethodNames)
    if (name == entry.Name) return entry.Method;
  throw std::runtime_error("unknown encryption method \"" + name +
                           "\" (none, protection, classic, fast, blowfish or aes)");
}

const char* EncryptionOptionName(TdwEncryptionMethod method) {
  switch (method) {
    case emProtection: return "protection";
    case emClassic1:
    case emClassic5: return "classic";
    case emFast: return "fast";
    case emBlowfish: return "blowfish";
    case emRijndael: return "aes";
    default: return "none";
  }
}

}  // namespace kestrel::tool
