// TTdbBaseTable and its key: the public encryption method, reading a header
// with the table's key (which method, whether the key fits) and building the
// header of a new encrypted table.
#include "engine/base/engine_error.h"
#include "engine/base/little_endian.h"
#include "engine/table/base_table.h"
#include "engine/table/cryptor_cipher.h"

namespace kestrel {

namespace {

constexpr int kFirstUnicodeLevel = 5;
constexpr int kKeyCheckLevel = 4;

TdwEncryptionMethod ClassicForLevel(TdwEncryptionMethod method, int level) {
  if (method != emClassic1 && method != emClassic5) return method;
  return level < kFirstUnicodeLevel ? emClassic1 : emClassic5;
}

}  // namespace

TTdbEncryptionMethod TTdbBaseTable::EncryptionMethod() const {
  return static_cast<TTdbEncryptionMethod>(EncryptionCodeOf(FCryptor.EncryptionMethod()));
}

void TTdbBaseTable::SetEncryptionMethod(TTdbEncryptionMethod method) {
  if (Active()) throw ETdbEngine(tdbErrTableInUse, FStdName);
  TdwEncryptionMethod own = EncryptionMethodFromCode(method);
  FCryptor.SetEncryptionMethod(ClassicForLevel(own, FLevel));
}

TTdbTableHeader TTdbBaseTable::ReadHeaderWithKey(std::span<const std::uint8_t> prefix, std::uint64_t fileSize,
                                                 ITdbByteSource* more) {
  const TCryptorCipher cipher(FCryptor);
  const auto read = [&](const ITdbBlockCipher* with) {
    TTdbHeaderReader reader(prefix, fileSize, more, FFileName);
    return ReadTableHeader(reader, with);
  };
  const bool unicode = prefix.size() > kUnicodeEncryptionOffset &&
                       LoadLE<std::uint32_t>(prefix.data()) == kHeapTableMagic &&
                       LoadLE<std::int16_t>(prefix.data() + kLevelOffset) >= kFirstUnicodeLevel &&
                       LoadLE<std::int16_t>(prefix.data() + kLevelOffset) <= kMaxTableLevel;
  if (unicode) {
    // The method is stored in the clear; the description block decrypts
    // to its check string only with the right key.
    FCryptor.SetEncryptionMethod(EncryptionMethodFromCode(prefix[kUnicodeEncryptionOffset]));
    if (!FCryptor.Initialize()) throw ETdbEngine(tdbErrCredentials);
    TTdbTableHeader header = read(&cipher);
    if (header.Password != FCryptor.Password()) throw ETdbEngine(tdbErrCredentials);
    return header;
  }

  // Levels 1–4: the password field tells the method; below level 4 a key
  // with an integer code after ";" selects classic encryption.
  TTdbTableHeader header = read(nullptr);
  TdwEncryptionMethod method = header.EncryptionMethod;
  if (method == emProtection) {
    std::int32_t code = 0;
    if (header.Level < kKeyCheckLevel && ClassicCode(FCryptor.Key(), code)) method = emClassic1;
    FCryptor.SetEncryptionMethod(method);
    std::u16string expected = FCryptor.Password();
    if (header.Level < kKeyCheckLevel) expected = PasswordUpperCase(expected);
    if (header.Password != expected) throw ETdbEngine(tdbErrCredentials);
  } else {
    FCryptor.SetEncryptionMethod(method);
  }
  if (!FCryptor.Initialize()) throw ETdbEngine(tdbErrCredentials);
  if (!header.KeyVerified) header = read(&cipher);
  header.EncryptionMethod = method;
  return header;
}

std::vector<std::uint8_t> TTdbBaseTable::NewHeaderImage() {
  FCryptor.SetEncryptionMethod(ClassicForLevel(FCryptor.EncryptionMethod(), FLevel));
  FHeader = TTdbTableHeader{};
  FHeader.Level = FLevel;
  FHeader.EncryptionMethod = FCryptor.EncryptionMethod();
  FHeader.CollationName = FCollationName;
  FHeader.Capacity = FCapacity;
  FHeader.Columns = FColumnDefs;
  FHeader.KeyDefs = FNewKeyDefs;
  FHeader.CheckDefs = FNewCheckDefs;
  FHeader.ForeignKeyDefs = FNewForeignKeyDefs;
  const bool initialized = FCryptor.Initialize();
  if (initialized) FHeader.Password = FCryptor.Password();
  const TCryptorCipher cipher(FCryptor);
  // The level's refusals (117) come before the key's (186).
  const std::vector<std::uint8_t> image = WriteTableHeader(FHeader, FFileName, initialized ? &cipher : nullptr);
  if (!initialized) throw ETdbEngine(tdbErrInvalidPassword);
  // Read back what was written: the offsets the heap file needs.
  TTdbHeaderReader reader(image, image.size(), nullptr, FFileName);
  FHeader = ReadTableHeader(reader, &cipher);
  FHeader.EncryptionMethod = FCryptor.EncryptionMethod();
  return image;
}

}  // namespace kestrel
