// Byte images of the lock file's header and session slots, and the names of
// a table's lock file and move log.
#include "engine/locking/lock_file_format.h"

#include <algorithm>
#include <cctype>

#include "engine/base/code_page.h"
#include "engine/base/little_endian.h"

namespace kestrel {

namespace {

constexpr int kWindows1250 = 1250;

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

TTdbLockHeaderBytes EncodeLockHeader(const TTdbTableLockData& header) {
  TTdbLockHeaderBytes bytes{};
  StoreLE<std::uint32_t>(&bytes[0], header.Tag);
  StoreLE<std::int16_t>(&bytes[4], header.Version);
  StoreLE<std::int64_t>(&bytes[6], header.ChangeCount);
  const std::int16_t counts[] = {header.IndexCount,   header.ReadLocks,   header.UpgradeLocks,
                                 header.WriteLocks,   header.LockWaiters, header.WriteWaiters,
                                 header.ItemCount,    header.SessionCount};
  for (std::size_t i = 0; i < std::size(counts); ++i) StoreLE<std::int16_t>(&bytes[14 + 2 * i], counts[i]);
  return bytes;
}

TTdbTableLockData DecodeLockHeader(const std::uint8_t* bytes) {
  TTdbTableLockData header;
  header.Tag = LoadLE<std::uint32_t>(bytes);
  header.Version = LoadLE<std::int16_t>(bytes + 4);
  header.ChangeCount = LoadLE<std::int64_t>(bytes + 6);
  std::int16_t* counts[] = {&header.IndexCount,  &header.ReadLocks,   &header.UpgradeLocks,
                            &header.WriteLocks,  &header.LockWaiters, &header.WriteWaiters,
                            &header.ItemCount,   &header.SessionCount};
  for (std::size_t i = 0; i < std::size(counts); ++i) *counts[i] = LoadLE<std::int16_t>(bytes + 14 + 2 * i);
  return header;
}

TTdbSessionSlotBytes EncodeSessionSlot(const TTdbSessionLockData& slot) {
  TTdbSessionSlotBytes bytes{};
  StoreLE<std::int64_t>(&bytes[0], slot.Id);
  const std::size_t length = std::min<std::size_t>(slot.Name.size(), kSessionNameMax);
  bytes[8] = static_cast<std::uint8_t>(length);
  std::copy_n(slot.Name.begin(), length, bytes.begin() + 9);
  bytes[49] = slot.TableLock;
  bytes[50] = slot.DesiredLock;
  StoreLE<std::int32_t>(&bytes[51], slot.EditRecNo);
  bytes[55] = slot.VitalSign;
  return bytes;
}

TTdbSessionLockData DecodeSessionSlot(const std::uint8_t* bytes, bool withLife) {
  TTdbSessionLockData slot;
  slot.Id = LoadLE<std::int64_t>(bytes);
  const std::size_t length = std::min<std::size_t>(bytes[8], kSessionNameMax);
  slot.Name.assign(reinterpret_cast<const char*>(bytes + 9), length);
  slot.TableLock = bytes[49];
  slot.DesiredLock = bytes[50];
  slot.EditRecNo = LoadLE<std::int32_t>(bytes + 51);
  slot.VitalSign = withLife ? bytes[55] : 0;
  return slot;
}

TTdbLockFileNames LockFileNamesFor(std::string_view tableFileName) {
  const std::size_t slash = tableFileName.find_last_of('/');
  const std::size_t dot = tableFileName.find_last_of('.');
  const bool hasExtension = dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
  const std::string base(hasExtension ? tableFileName.substr(0, dot) : tableFileName);
  const std::string extension = hasExtension ? LowerAscii(tableFileName.substr(dot)) : std::string();
  if (extension == ".tdbt") return {base + ".tdbl", base + ".tdbv"};
  if (extension == ".rel") return {base + ".rnt", base + ".rmv"};
  return {base + ".net", base + ".mov"};
}

std::string SessionNameBytes(std::u16string_view name) {
  std::string bytes = EncodeCodePage(name.substr(0, kSessionNameMax), kWindows1250);
  if (bytes.size() > kSessionNameMax) bytes.resize(kSessionNameMax);
  return bytes;
}

}  // namespace kestrel
