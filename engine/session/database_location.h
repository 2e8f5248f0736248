// Where a database lives: the rules that turn a database location into a
// directory database or a single-file container, and the directory
// database's control file.
//
// The control file <directory>/<directory name>.tdbd marks a directory as a
// database of this engine. It is written once, when a directory database is
// opened and the file is missing, and never read or rewritten afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/container/compound_format.h"
#include "engine/fs/file_system.h"

namespace kestrel {

inline constexpr std::string_view kControlFileExtension = ".tdbd";
inline constexpr std::string_view kControlFileText =
    "Kestrel database control file for directory-based database";
static_assert(kControlFileText.size() == 58);

enum TTdbDatabaseType { dbtDirectory, dbtSingleFile };

struct TTdbDatabaseLocation {
  TTdbDatabaseType FType = dbtDirectory;
  // The database directory, or the container file; absolute, without a
  // trailing separator (but "/" for the root).
  std::string FPath;
};

// Decides the kind of database from a location (absolute, or relative to
// the current directory; empty for the current directory):
// - an existing file: a container, or else the directory that holds it;
// - an existing directory (or empty): that directory;
// - missing with an extension: ETdbEngine tdbErrFileNotFound with the location;
// - missing without an extension: a container named location + ".tdbd".
TTdbDatabaseLocation ResolveDatabaseLocation(TdwFileSystem& fileSystem,
                                             const std::string& location);

// Whether the file starts with the container magic. A file that exists but
// cannot be opened counts as a container.
bool IsCompoundFile(TdwFileSystem& fileSystem, const std::string& fileName);

// Name of the control file of a database directory.
std::string ControlFileName(const std::string& directory);

// Writes the control file when no file of its name exists (a program that
// makes it at the same moment is as good). Throws
// ETdbEngine tdbErrCreatePermission when it cannot be created and 3 when it cannot be written
// (a partly written file is removed again).
void EnsureControlFile(TdwFileSystem& fileSystem, const std::string& directory);

}  // namespace kestrel
