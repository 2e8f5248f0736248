// The database component: registry, connect and disconnect, relations.
#include "access/tdb_database.h"

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "access/db_error.h"
#include "access/tdb_dataset.h"
#include "access/text_codec.h"
#include "engine/api/kestrel.h"

namespace kestrel::access {
namespace {

constexpr char kRemoteLocationMark = '@';
constexpr std::uint16_t kBaseOpenRights = 0xF8F0;
constexpr std::size_t kNetTextLength = 255;
constexpr int kEngineErrorCreatePermission = 141;
constexpr int kResultNoRelationSlot = -2;
constexpr int kFieldTypeLink = 10;
constexpr int kFieldTypeRelation = 12;
constexpr std::int32_t kLastErrorLength = 255;

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<TTdbDatabase*>& Registry() {
  static std::vector<TTdbDatabase*> registry;
  return registry;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return lower(x) == lower(y); });
}

void CopyText(TdbChar* target, std::size_t room, const std::string& text) {
  std::u16string wide = Utf8ToUtf16(text);
  if (wide.size() > std::min(room - 1, kNetTextLength)) wide.resize(std::min(room - 1, kNetTextLength));
  std::copy(wide.begin(), wide.end(), target);
  target[wide.size()] = 0;
}

std::int32_t LastEngineError(std::int16_t sessHdl) {
  std::int32_t code = 0;
  TdbChar message[kLastErrorLength + 1] = {};
  if (TdbSessGetLastError(sessHdl, &code, message, kLastErrorLength) != 0) return 0;
  return code;
}

// A location holding the remote mark is still local when it names an
// existing directory: the mark is then part of a directory name.
bool IsLocalDirectory(const std::string& location) {
  std::error_code error;
  return std::filesystem::is_directory(location, error);
}

}  // namespace

TTdbDatabase::TTdbDatabase() {
  std::lock_guard lock(RegistryMutex());
  Registry().push_back(this);
}

TTdbDatabase::~TTdbDatabase() {
  try {
    Disconnect();
  } catch (...) {
  }
  std::lock_guard lock(RegistryMutex());
  std::erase(Registry(), this);
}

// ---- Properties ---------------------------------------------------------------

void TTdbDatabase::SetDatabaseName(const std::string& name) {
  if (Connected()) throw EDatabaseError("Cannot change the database name when connected");
  FDatabaseName = name;
}

void TTdbDatabase::SetLocation(const std::string& location) {
  if (Connected()) throw EDatabaseError("Cannot change location while database is open");
  FLocation = location;
}

void TTdbDatabase::SetExclusive(bool value) {
  if (value != FExclusive && Connected()) Disconnect();
  FExclusive = value;
}

void TTdbDatabase::SetReadOnly(bool value) {
  if (Connected()) Disconnect();
  FReadOnly = value;
}

void TTdbDatabase::SetSharedReadOnly(bool value) {
  if (value != FSharedReadOnly && Connected()) Disconnect();
  FSharedReadOnly = value;
}

void TTdbDatabase::SetDatabaseType(TTdbDatabaseType value) {
  if (value != FDatabaseType && Connected()) Disconnect();
  FDatabaseType = value;
}

void TTdbDatabase::SetIndexPageSize(int value) {
  FIndexPageSize = value;
  if (Connected()) TdbSessSetSystemSettings(FSessionHdl, FIndexPageSize, FBlobBlockSize);
}

void TTdbDatabase::SetBlobBlockSize(int value) {
  FBlobBlockSize = value;
  if (Connected()) TdbSessSetSystemSettings(FSessionHdl, FIndexPageSize, FBlobBlockSize);
}

// ---- Connection -----------------------------------------------------------------

void TTdbDatabase::SetConnected(bool value) {
  if (value == Connected()) return;
  if (value)
    Connect();
  else
    Disconnect();
}

void TTdbDatabase::Connect() {
  if (BeforeConnect) BeforeConnect(*this);
  {
    std::lock_guard lock(RegistryMutex());
    for (TTdbDatabase* other : Registry())
      if (other != this && other->Connected() && other->FDatabaseName == FDatabaseName)
        throw EDatabaseError(FormatText("Duplicate database name: \"%s\"", {FDatabaseName}));
  }
  const bool remote = FLocation.find(kRemoteLocationMark) != std::string::npos && !IsLocalDirectory(FLocation);
  const std::int32_t session = TdbCreateSession(Utf8ToUtf16(remote ? FLocation : std::string()).c_str());
  if (session < 0) RaiseTdbError(session, FormatText("Connecting to database \"%s\"", {FLocation}), 0);
  FSessionHdl = static_cast<std::int16_t>(session);

  TTdbNetParams params{};
  TdbSessGetDefaultNetParams(FSessionHdl, &params);
  params.NetDirs[0] = 0;
  CopyText(params.PrivateDir, std::size(params.PrivateDir), FPrivateDir);
  CopyText(params.StationName, std::size(params.StationName), FConnectionName);
  FConnectionId = params.StationNo;
  if (FServerTimeout == 0)
    FServerTimeout = params.ServerTimeout;
  else
    params.ServerTimeout = FServerTimeout;
  TdbSessSetNetParams(FSessionHdl, &params);
  TdbSessSetSystemSettings(FSessionHdl, FIndexPageSize, FBlobBlockSize);

  int attributes = (FReadOnly ? TDB_DB_READ_ONLY : 0) | (FExclusive ? TDB_DB_EXCLUSIVE : 0) |
                   (FFlushMode == TTdbFlushMode::tfmSecure ? TDB_DB_SECURE_FLUSH : 0) |
                   (FSharedReadOnly ? TDB_DB_SHARED_READ_ONLY : 0);
  const std::u16string location = Utf8ToUtf16(FLocation);
  const std::u16string user = Utf8ToUtf16(FUserName);
  const std::u16string password = Utf8ToUtf16(FPassword);
  auto openDb = [&] {
    return TdbSessOpenDb(FSessionHdl, location.c_str(), user.c_str(), password.c_str(), FCacheSize, attributes);
  };
  std::int32_t result = openDb();
  if (result == TDB_ERR_DATABASE_NOT_FOUND && !FReadOnly && !FExclusive) {
    attributes |= TDB_DB_READ_ONLY | TDB_DB_EXCLUSIVE;
    result = openDb();
    if (result == 0) FReadOnly = FExclusive = true;
  } else if (result < 0 && !FReadOnly && LastEngineError(FSessionHdl) == kEngineErrorCreatePermission) {
    // The control file cannot be written (a read-only directory): the
    // database opens read-only and its tables with it.
    attributes |= TDB_DB_READ_ONLY;
    result = openDb();
    if (result == 0) FReadOnly = true;
  }
  if (result != 0) {
    try {
      RaiseTdbError(result, FormatText("Opening database \"%s\"", {FLocation}), FSessionHdl);
    } catch (...) {
      TdbSessDelete(FSessionHdl);
      FSessionHdl = 0;
      throw;
    }
  }

  TTdbDbInfo info{};
  if (TdbSessGetDbInfo(FSessionHdl, &info) == 0) {
    FManagementLevel = info.ManagementLevel == TDB_MANAGEMENT_MANAGED ? TTdbManagementLevel::tmlManaged
                                                                      : TTdbManagementLevel::tmlUnmanaged;
    FEncryptionMethod = info.EncryptionMethod;
  }
  TdbSessSetSettings(FSessionHdl, FCaseSensitive, FCaretSwitch, FAutoCreateIndexes, FLockingTimeout);
  TdbSessSetLogLevel(FSessionHdl, FLogLevel);
  FDatabaseType = TdbSessIsSingleFile(FSessionHdl) == 1 ? TTdbDatabaseType::dbtSingleFile
                                                        : TTdbDatabaseType::dbtDirectory;
  if (AfterConnect) AfterConnect(*this);
}

void TTdbDatabase::Disconnect() {
  if (!Connected()) return;
  if (BeforeDisconnect) BeforeDisconnect(*this);
  // Close the datasets last first; each unregisters itself as it closes.
  while (!FDataSets.empty()) {
    TTdbDataSet* dataSet = FDataSets.back();
    dataSet->Close();
    std::erase(FDataSets, dataSet);
  }
  TdbSessCloseDb(FSessionHdl);
  TdbSessDelete(FSessionHdl);
  FSessionHdl = 0;
  if (AfterDisconnect) AfterDisconnect(*this);
}

void TTdbDatabase::CheckConnected() const {
  if (!Connected()) throw EDatabaseError("Cannot perform this action on a disconnected database");
}

// ---- Relations --------------------------------------------------------------------

std::uint16_t TTdbDatabase::CalcOpenRights(bool exclusive, TTdbAccessRights rights, TTdbFlushMode flushMode) const {
  std::uint16_t word = kBaseOpenRights | static_cast<std::uint16_t>(rights & kAllAccessRights);
  if (exclusive || FExclusive) word |= TDB_RIGHT_EXCLUSIVE;
  if (flushMode == TTdbFlushMode::tfmSecure ||
      (flushMode == TTdbFlushMode::tfmDefault && FFlushMode == TTdbFlushMode::tfmSecure))
    word |= TDB_RIGHT_SECURE_FLUSH;
  return word;
}

std::int32_t TTdbDatabase::OpenRelation(const std::string& tableName, std::string key, bool force,
                                        std::uint16_t rights) {
  CheckConnected();
  const std::u16string name = Utf8ToUtf16(tableName);
  const std::int32_t open = TdbSessFindRltnHdl(FSessionHdl, name.c_str());
  if (open > 0) return open;
  std::int32_t result = 0;
  bool closedUnneeded = false;
  for (;;) {
    result = TdbSessOpenTable(FSessionHdl, name.c_str(), Utf8ToUtf16(key).c_str(), rights, 1, force ? 1 : 0);
    if (result == kResultNoRelationSlot && !closedUnneeded) {
      CloseUnneededTables();
      closedUnneeded = true;
      continue;
    }
    if (result == TDB_ERR_WRONG_PASSWORD && OnPassword) {
      key.clear();
      bool retry = false;
      OnPassword(*this, tableName, retry, key);
      if (retry) continue;
    }
    break;
  }
  if (result <= 0) return result;

  // Open the tables that link and relation columns name, beside this one.
  const std::int32_t cursor = TdbTableCreate(static_cast<std::int16_t>(result), u"CheckRelationOpen_Temp");
  if (cursor > 0) {
    const auto table = static_cast<std::int16_t>(cursor);
    const std::string directory = tableName.substr(0, tableName.find_last_of('/') + 1);
    const std::int32_t count = TdbTableGetNumFields(table);
    for (std::int32_t fieldNo = 1; fieldNo <= count; ++fieldNo) {
      TTdbFieldSpec spec{};
      if (TdbTableGetFieldSpec(table, fieldNo, &spec) != 0) continue;
      if (spec.FldType != kFieldTypeLink && spec.FldType != kFieldTypeRelation) continue;
      const std::string linked = directory + Utf16ToUtf8(spec.SelectOrLink);
      if (!linked.empty() && TdbSessFindRltnHdl(FSessionHdl, Utf8ToUtf16(linked).c_str()) == 0)
        OpenRelation(linked, key, force, rights);
    }
    TdbTableDelete(table);
  }
  return result;
}

std::int32_t TTdbDatabase::OpenTable(const std::string& tableName, const std::string& key, bool exclusive,
                                     TTdbAccessRights rights, TTdbFlushMode flushMode) {
  CheckConnected();
  const std::int32_t result = OpenRelation(tableName, key, false, CalcOpenRights(exclusive, rights, flushMode));
  if (result < 1) RaiseTdbError(result, FormatText("Opening table \"%s\"", {tableName}), FSessionHdl);
  return result;
}

void TTdbDatabase::CloseUnneededTables() {
  CheckConnected();
  const std::int32_t result = TdbSessCloseUnneededTables(FSessionHdl);
  if (result < 0) RaiseTdbError(result, "Closing tables", FSessionHdl);
}

void TTdbDatabase::RegisterClient(TTdbDataSet* dataSet) {
  if (std::find(FDataSets.begin(), FDataSets.end(), dataSet) == FDataSets.end()) FDataSets.push_back(dataSet);
}

void TTdbDatabase::UnRegisterClient(TTdbDataSet* dataSet) { std::erase(FDataSets, dataSet); }

TTdbDatabase* TTdbDatabase::FindDatabase(const std::string& name, const TTdbDatabase* asking) {
  std::lock_guard lock(RegistryMutex());
  TTdbDatabase* found = nullptr;
  for (TTdbDatabase* database : Registry()) {
    if (database == asking || !SameTextIgnoringCase(database->FDatabaseName, name)) continue;
    if (found != nullptr) throw EDatabaseError(FormatText("Database name \"%s\" is not unique", {name}));
    found = database;
  }
  return found;
}

void TTdbDatabase::ForEachDatabase(const std::function<void(TTdbDatabase&)>& visit) {
  std::lock_guard lock(RegistryMutex());
  for (TTdbDatabase* database : Registry()) visit(*database);
}

}  // namespace kestrel::access
