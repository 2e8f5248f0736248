// Reading a table file's header from the tool: resolves the table name as
// the engine does (".dat", then ".tdbt"), reads the file through the tool's
// file system (database_option.h) and
// feeds the engine's header codec. Errors are ETdbEngine: 37 for a missing
// file, 2 for a read failure, and the codec's errors for the content.
#pragma once

#include <cstdint>
#include <string>

#include "engine/table/table_header.h"

namespace kestrel::tool {

struct TTableFileInfo {
  std::string FileName;  // the resolved path
  uint64_t FileSize = 0;
  TTdbTableFileKind Kind = tfkHeap;
  TTdbTableHeader Header;  // heap table files
  // B+ tree table files: the fields before the tree header.
  int Level = 0;
  int32_t NextRecordId = 0;
  TdwEncryptionMethod EncryptionMethod = emNone;
};

// Reads the header of the table `name` (a path with or without extension).
// `key` decrypts the description block of an encrypted level 5–6 table;
// a wrong or missing key is error 38.
TTableFileInfo ReadTableFile(const std::string& name, const std::u16string& key = {});

}  // namespace kestrel::tool
