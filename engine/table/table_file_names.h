// Names of a table's files: how a table name resolves to its table file,
// the table's standard name, and the extensions of its files by level.
// Pure string functions; the caller supplies the file-existence test, so no
// file is touched here.
#pragma once

#include <functional>
#include <string>

namespace kestrel {

inline constexpr const char* kTableExtensionClassic = ".dat";  // levels 1–5
inline constexpr const char* kTableExtensionLevel6 = ".tdbt";

// Whether `path` (UTF-8) has an extension in its last component.
bool HasExtension(const std::string& path);

// The table file of a table name: a name with an extension is taken as it
// is; without one, name + ".dat" when `exists` says that file exists, else
// name + ".tdbt" when it exists, else the empty string.
std::string ResolveTableFileName(const std::string& name, const std::function<bool(const std::string&)>& exists);

// The standard name of a table file: without directory, and without the
// extension when it is ".dat" or ".tdbt" (compared without regard to case).
std::string CalcStdTableName(const std::string& fileName);

// Extensions of the table, memo and blob files of a level.
const char* TableFileExtension(int level);
const char* MemoFileExtension(int level);
const char* BlobFileExtension(int level);

}  // namespace kestrel
