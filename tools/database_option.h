// The database a table command works in: `--db LOCATION` (a directory
// database, a single-file container, or a name without extension that does
// not exist, which is the container NAME.tdbd). Without it a TABLE argument
// is a path of its own.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kestrel {
class TdwFileSystem;
}

namespace kestrel::tool {

// Removes every "--db LOCATION" from args and remembers the last location
// for DatabaseLocation(). Answers false when "--db" has no value.
bool TakeDatabaseOption(std::vector<std::string>& args);
// The location given with --db ("" for none).
const std::string& DatabaseLocation();

// The file system the tool's own table access uses: the operating
// system's, on the --db directory when one is given, or the file system
// inside the --db container (opened when a table is opened, created when a
// table is created in a container that does not exist yet).
std::unique_ptr<TdwFileSystem> ToolFileSystem();
// Makes sure the file system is usable: opens a container, creating it
// first when `create` is set and the file does not exist. Throws
// ETdbEngine when it cannot.
void OpenToolFileSystem(TdwFileSystem& fileSystem, bool create);

}  // namespace kestrel::tool
