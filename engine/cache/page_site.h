// TTdbStoragePageSite: a view of one page of a client storage. While
// positioned, it locks the tile buffer that holds the page, so the buffer
// stays in the cache. Offsets are relative to the page; every access is
// checked against the page size and throws ETdbPageManager when outside.
// Integers are little-endian. Every write marks the buffer modified by the
// client (refused with ETdbPageManager on a read-only client). A buffer that
// was invalidated (Undo, Invalidate, a page count cut) is read again by the
// next access.
//
// A page site belongs to one file object and is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/cache/storage.h"

namespace kestrel {

class TTdbClientStorage;

class TTdbStoragePageSite {
 public:
  explicit TTdbStoragePageSite(TTdbClientStorage& clientStorage);
  TTdbStoragePageSite(const TTdbStoragePageSite&) = delete;
  TTdbStoragePageSite& operator=(const TTdbStoragePageSite&) = delete;
  ~TTdbStoragePageSite();

  // Positions on an existing page (0 <= pageNo < page count); throws
  // ETdbPageManager "Loading page %d of storage \"%s\": Page no is invalid"
  // otherwise, or when the tile cannot be read.
  void LoadPage(std::int64_t pageNo);
  // Positions on a page that may lie beyond the end; the storage grows to
  // hold it. A page not yet in the file reads as zero bytes.
  void InitPage(std::int64_t pageNo);
  void UnloadPage();
  // Copies the current page into page pageNo (initialised like InitPage) and
  // positions there.
  void MovePage(std::int64_t pageNo);
  // Page number, or -1 when not positioned.
  std::int64_t GetPageNo() const { return FPageNo; }
  int GetPageSize() const;

  void CopyTo(int offsetFrom, void* dest, int count);
  void CopyFrom(const void* source, int offsetTo, int count);
  // Copies from another site's page (which may be on another storage).
  void CopyFrom(TTdbStoragePageSite& sourceSite, int offsetFrom, int offsetTo, int count);
  // Moves bytes inside the page (ranges may overlap).
  void Copy(int offsetFrom, int offsetTo, int count);
  void Fill(int offset, int count, std::uint8_t value);

  std::int8_t ReadInt8(int offset);
  std::int16_t ReadInt16(int offset);
  std::int32_t ReadInt32(int offset);
  void WriteInt8(int offset, std::int8_t value);
  void WriteInt16(int offset, std::int16_t value);
  void WriteInt32(int offset, std::int32_t value);
  // Int16 length, then that many bytes. A stored length that does not fit
  // the page throws ETdbPageManager.
  std::string ReadWPAnsiString(int offset);
  void WriteWPAnsiString(int offset, const std::string& value);
  // Int16 length in characters, then UTF-16LE code units.
  std::u16string ReadWPWideString(int offset);
  void WriteWPWideString(int offset, const std::u16string& value);

  // Marks the page's buffer modified by this client.
  void Modify();
  // Another page site on the same client storage.
  std::unique_ptr<TTdbStoragePageSite> CreateSibling();

 private:
  friend class TTdbPageManager;
  friend class TTdbClientStorage;

  // Checks [offset, offset + count) against the page and answers the byte
  // address of offset (lock held, site valid).
  std::uint8_t* AddressLocked(int offset, int count);
  void ReadLocked(int offset, void* data, int count);
  void WriteLocked(int offset, const void* data, int count);
  TTdbClientStorage& Client() const;

  TTdbClientStorage* FClientStorage;  // null once the client is destroyed
  std::int64_t FPageNo = -1;
  TTdbStoragePage* FStorageTile = nullptr;
  std::int64_t FTileOffset = 0;
  int FPositionedPageSize = 0;  // page size the position was computed for
};

}  // namespace kestrel
