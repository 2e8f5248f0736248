// TTdbStoragePageSite: positioned access to the bytes of one page. Every
// operation runs under the page manager's critical section, so a buffer that
// another thread invalidated is read again before it is used.
#include "engine/cache/page_site.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "engine/cache/client_storage.h"
#include "engine/cache/page_manager.h"
#include "engine/cache/page_manager_error.h"

namespace kestrel {

namespace {
constexpr int kStringLengthSize = 2;  // Int16 length before WP strings
}  // namespace

TTdbStoragePageSite::TTdbStoragePageSite(TTdbClientStorage& clientStorage)
    : FClientStorage(&clientStorage) {
  TdwMutexLock lock(clientStorage.FPageManager->FCriticalSection);
  clientStorage.FSites.insert(this);
}

TTdbStoragePageSite::~TTdbStoragePageSite() {
  if (!FClientStorage) return;
  TdwMutexLock lock(FClientStorage->FPageManager->FCriticalSection);
  FClientStorage->FPageManager->ReleaseSiteLocked(*this);
  FClientStorage->FSites.erase(this);
}

TTdbClientStorage& TTdbStoragePageSite::Client() const {
  if (!FClientStorage) throw ETdbPageManager("Accessing page: Storage of the page site is gone");
  return *FClientStorage;
}

void TTdbStoragePageSite::LoadPage(std::int64_t pageNo) {
  TTdbClientStorage& client = Client();
  TdwMutexLock lock(client.FPageManager->FCriticalSection);
  client.CheckOpen();
  client.FPageManager->PositionSiteLocked(*this, pageNo, false);
}

void TTdbStoragePageSite::InitPage(std::int64_t pageNo) {
  TTdbClientStorage& client = Client();
  TdwMutexLock lock(client.FPageManager->FCriticalSection);
  client.CheckOpen();
  client.FPageManager->PositionSiteLocked(*this, pageNo, true);
}

void TTdbStoragePageSite::UnloadPage() {
  TTdbClientStorage& client = Client();
  TdwMutexLock lock(client.FPageManager->FCriticalSection);
  client.FPageManager->ReleaseSiteLocked(*this);
}

void TTdbStoragePageSite::MovePage(std::int64_t pageNo) {
  TTdbClientStorage& client = Client();
  TdwMutexLock lock(client.FPageManager->FCriticalSection);
  client.FPageManager->EnsureSiteValidLocked(*this);
  std::vector<std::uint8_t> content(FPositionedPageSize);
  ReadLocked(0, content.data(), FPositionedPageSize);
  client.FPageManager->PositionSiteLocked(*this, pageNo, true);
  WriteLocked(0, content.data(), static_cast<int>(content.size()));
}

int TTdbStoragePageSite::GetPageSize() const { return Client().GetPageSize(); }

std::uint8_t* TTdbStoragePageSite::AddressLocked(int offset, int count) {
  TTdbPageManager& manager = *Client().FPageManager;
  manager.FCriticalSection.AssertHeld();
  manager.EnsureSiteValidLocked(*this);
  if (offset < 0 || count < 0 || offset > FPositionedPageSize - count)
    manager.RaiseLocked(
        "Accessing page " + std::to_string(FPageNo) + " of storage \"" + Client().FName + "\"",
        "Offset " + std::to_string(offset) + " and size " + std::to_string(count) +
            " are outside the page");
  return FStorageTile->FMemory.get() + FTileOffset + offset;
}

void TTdbStoragePageSite::ReadLocked(int offset, void* data, int count) {
  std::memcpy(data, AddressLocked(offset, count), static_cast<std::size_t>(count));
}

void TTdbStoragePageSite::WriteLocked(int offset, const void* data, int count) {
  std::uint8_t* address = AddressLocked(offset, count);
  TTdbPageManager& manager = *Client().FPageManager;
  manager.FCriticalSection.AssertHeld();
  manager.ModifyLocked(*this);  // refuses before anything changes
  std::memmove(address, data, static_cast<std::size_t>(count));
}

void TTdbStoragePageSite::CopyTo(int offsetFrom, void* dest, int count) {
  TdwMutexLock lock(Client().FPageManager->FCriticalSection);
  ReadLocked(offsetFrom, dest, count);
}

void TTdbStoragePageSite::CopyFrom(const void* source, int offsetTo, int count) {
  TdwMutexLock lock(Client().FPageManager->FCriticalSection);
  WriteLocked(offsetTo, source, count);
}

void TTdbStoragePageSite::CopyFrom(TTdbStoragePageSite& sourceSite, int offsetFrom, int offsetTo,
                                   int count) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max(0, count)));
  sourceSite.CopyTo(offsetFrom, bytes.data(), count);
  CopyFrom(bytes.data(), offsetTo, count);
}

void TTdbStoragePageSite::Copy(int offsetFrom, int offsetTo, int count) {
  TdwMutexLock lock(Client().FPageManager->FCriticalSection);
  const std::uint8_t* from = AddressLocked(offsetFrom, count);
  WriteLocked(offsetTo, from, count);
}

void TTdbStoragePageSite::Fill(int offset, int count, std::uint8_t value) {
  TdwMutexLock lock(Client().FPageManager->FCriticalSection);
  std::uint8_t* address = AddressLocked(offset, count);
  Client().FPageManager->ModifyLocked(*this);
  std::memset(address, value, static_cast<std::size_t>(count));
}

namespace {

template <typename T>
T LoadLittleEndian(const std::uint8_t* bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) value |= std::uint64_t{bytes[i]} << (8 * i);
  return static_cast<T>(value);
}

template <typename T>
void StoreLittleEndian(std::uint8_t* bytes, T value) {
  const auto raw = static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<T>>(value));
  for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<std::uint8_t>(raw >> (8 * i));
}

}  // namespace

std::int8_t TTdbStoragePageSite::ReadInt8(int offset) {
  std::uint8_t bytes[1];
  CopyTo(offset, bytes, 1);
  return LoadLittleEndian<std::int8_t>(bytes);
}

std::int16_t TTdbStoragePageSite::ReadInt16(int offset) {
  std::uint8_t bytes[2];
  CopyTo(offset, bytes, 2);
  return LoadLittleEndian<std::int16_t>(bytes);
}

std::int32_t TTdbStoragePageSite::ReadInt32(int offset) {
  std::uint8_t bytes[4];
  CopyTo(offset, bytes, 4);
  return LoadLittleEndian<std::int32_t>(bytes);
}

void TTdbStoragePageSite::WriteInt8(int offset, std::int8_t value) {
  std::uint8_t bytes[1];
  StoreLittleEndian(bytes, value);
  CopyFrom(bytes, offset, 1);
}

void TTdbStoragePageSite::WriteInt16(int offset, std::int16_t value) {
  std::uint8_t bytes[2];
  StoreLittleEndian(bytes, value);
  CopyFrom(bytes, offset, 2);
}

void TTdbStoragePageSite::WriteInt32(int offset, std::int32_t value) {
  std::uint8_t bytes[4];
  StoreLittleEndian(bytes, value);
  CopyFrom(bytes, offset, 4);
}

std::string TTdbStoragePageSite::ReadWPAnsiString(int offset) {
  TdwMutexLock lock(Client().FPageManager->FCriticalSection);
  std::uint8_t lengthBytes[kStringLengthSize];
  ReadLocked(offset, lengthBytes, kStringLengthSize);
  const int length = LoadLittleEndian<std::int16_t>(lengthBytes);
  // A negative or oversized stored length is refused by the bounds check.
  std::string value(static_cast<std::size_t>(std::max(0, length)), '\0');
  ReadLocked(offset + kStringLengthSize, value.data(), length);
  return value;
}

void TTdbStoragePageSite::WriteWPAnsiString(int offset, const std::string& value) {
  TdwMutexLock lock(Client().FPageManager->FCriticalSection);
  const int length = static_cast<int>(std::min<std::size_t>(value.size(), INT16_MAX));
  AddressLocked(offset, kStringLengthSize + length);  // whole range checked first
  std::uint8_t lengthBytes[kStringLengthSize];
  StoreLittleEndian(lengthBytes, static_cast<std::int16_t>(length));
  WriteLocked(offset, lengthBytes, kStringLengthSize);
  WriteLocked(offset + kStringLengthSize, value.data(), length);
}

std::u16string TTdbStoragePageSite::ReadWPWideString(int offset) {
  TdwMutexLock lock(Client().FPageManager->FCriticalSection);
  std::uint8_t lengthBytes[kStringLengthSize];
  ReadLocked(offset, lengthBytes, kStringLengthSize);
  const int length = LoadLittleEndian<std::int16_t>(lengthBytes);
  // A negative stored length is refused by the bounds check.
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max(0, length)) * 2);
  ReadLocked(offset + kStringLengthSize, bytes.data(), length * 2);
  std::u16string value(bytes.size() / 2, u'\0');
  for (int i = 0; i < length; ++i) value[i] = LoadLittleEndian<std::uint16_t>(&bytes[i * 2]);
  return value;
}

void TTdbStoragePageSite::WriteWPWideString(int offset, const std::u16string& value) {
  TdwMutexLock lock(Client().FPageManager->FCriticalSection);
  const int length = static_cast<int>(std::min<std::size_t>(value.size(), INT16_MAX / 2));
  AddressLocked(offset, kStringLengthSize + length * 2);
  std::vector<std::uint8_t> bytes(kStringLengthSize + static_cast<std::size_t>(length) * 2);
  StoreLittleEndian(bytes.data(), static_cast<std::int16_t>(length));
  for (int i = 0; i < length; ++i) StoreLittleEndian(&bytes[kStringLengthSize + i * 2], value[i]);
  WriteLocked(offset, bytes.data(), static_cast<int>(bytes.size()));
}

void TTdbStoragePageSite::Modify() {
  TdwMutexLock lock(Client().FPageManager->FCriticalSection);
  Client().FPageManager->ModifyLocked(*this);
}

std::unique_ptr<TTdbStoragePageSite> TTdbStoragePageSite::CreateSibling() {
  return Client().CreatePageSite();
}

}  // namespace kestrel
