// The table key and the encryption method of the kestrel tool.
//
// Every command that opens a table takes "--password KEY"; main() takes the
// option out of the arguments before the command sees them, so commands and
// their option lists stay as they are. Without the option the key comes from
// the environment variable KESTREL_PASSWORD (so it need not stand in the
// shell history), else it is empty. A key that does not open a table is
// reported as the one line "wrong password".
#pragma once

#include <string>
#include <vector>

#include "engine/crypto/encryption.h"

namespace kestrel::tool {

inline constexpr const char* kPasswordOption = "--password";
inline constexpr const char* kPasswordVariable = "KESTREL_PASSWORD";
inline constexpr const char* kWrongPasswordText = "wrong password";

// Whether the command `name` opens tables (and so takes --password).
bool TakesPassword(const std::string& name);

// Removes every "--password KEY" pair from args and keeps the last KEY as
// the tool's key. False, with `error` set, when the option has no value.
bool TakePasswordOption(std::vector<std::string>& args, std::string& error);

// The key for opening tables: the --password value, else KESTREL_PASSWORD,
// else empty. UTF-8 arguments become UTF-16 keys.
std::u16string ToolKey();

// The method named by --encryption: none, protection, classic, fast,
// blowfish, aes (case-sensitive). Throws std::runtime_error naming them.
TTdbEncryptionMethod ParseEncryptionMethod(const std::string& name);

// The tool's name of a method, as --encryption takes it.
const char* EncryptionOptionName(TdwEncryptionMethod method);

}  // namespace kestrel::tool
