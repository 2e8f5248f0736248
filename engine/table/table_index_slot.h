// The table object's record of one index: its name and kind, the client
// storage of its file, the page interface over that storage and the index
// file itself (both made when the file is opened), the definition of an
// automatic or new index, and whether the index is lost. Private to the
// table object's units.
#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "engine/cache/client_storage.h"
#include "engine/index/index_file.h"
#include "engine/table/base_table.h"
#include "engine/table/index_page_storage.h"

namespace kestrel {

struct TTdbBaseTable::TIndexSlot {
  std::u16string Name;
  TTdbIndexKind Kind = tikUser;
  // Destroyed in reverse order: the file before the pages before the storage.
  std::unique_ptr<TTdbClientStorage> Storage;
  std::unique_ptr<TTdbIndexPageStorage> Pages;
  std::unique_ptr<TTdbIndexFile> File;
  std::optional<TTdbSortDef> Definition;
  bool Lost = false;
  std::exception_ptr OpenError;  // why a lost index could not be opened

  bool IsOpen() const { return File && File->IsOpen(); }
};

}  // namespace kestrel
