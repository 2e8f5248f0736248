// Whole-container operations built on the contained file system: checking,
// compressing, listing, and copying files between a container and a
// directory of the operating system (export, pack, unpack).
//
// All throw ETdbEngine with a message naming the file that failed; a failed
// compress or pack deletes the container it was writing and leaves the
// original untouched.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/container/compound_file_intf.h"

namespace kestrel {

using TdwCompoundDefectSink = std::function<void(const std::string& owner, const std::string& message)>;

// Checks a container that no one has open (it is opened exclusively):
// answers the number of defects, each passed to onDefect. Throws when the
// container cannot be opened at all (not one, a newer version, a damaged
// header or allocation table, or open elsewhere).
int CheckCompoundFile(std::shared_ptr<TdwFileSystem> os, const std::string& fileName,
                      const TdwCompoundDefectSink& onDefect);

// Rewrites a container without free tiles: the files and directories are
// copied into "NAME.tmp.EXT", the original becomes "NAME.bak.EXT" (an older
// backup of that name is deleted) and the copy takes the original name.
// Refused ("Cannot compress with open files.") while the container is open
// anywhere, in this process or another.
void CompressCompoundFile(std::shared_ptr<TdwFileSystem> os, const std::string& fileName);

struct TdwCompoundListItem {
  std::string FPath;  // inside the container, names joined by "\"
  std::int64_t FSize = 0;
  bool FIsDirectory = false;
};
// Every file and directory of an open container, directories before what
// they hold.
std::vector<TdwCompoundListItem> ListCompoundFiles(TdwCompoundFileIntf& container);

// Copies one contained file to a new operating-system file ("File %s not
// found.", "Cannot create file %s.").
void ExportCompoundFile(TdwCompoundFileIntf& container, const std::string& filePath, TdwFileSystem& os,
                        const std::string& target);
// Copies the files of the container directory `directory` ("" for the root)
// whose names match `mask` into dirName, and with `recurse` its
// subdirectories into subdirectories of the same names.
void ExportCompoundFiles(TdwCompoundFileIntf& container, const std::string& directory, const std::string& mask,
                         TdwFileSystem& os, const std::string& dirName, bool recurse);

// A new container `fileName` (refused when the name exists) holding the
// files of the directory `dirName` but skippedName (a directory database's
// control file), not its subdirectories.
void PackDirectory(std::shared_ptr<TdwFileSystem> os, const std::string& dirName, const std::string& fileName,
                   const std::string& skippedName);

// Copies every file of a container into dirName (created when missing),
// subdirectories included.
void UnpackContainer(std::shared_ptr<TdwFileSystem> os, const std::string& fileName, const std::string& dirName);

}  // namespace kestrel
