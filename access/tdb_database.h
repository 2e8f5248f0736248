// TTdbDatabase: the database component. It owns one engine session, knows
// where the database lives (Location: a directory), connects and
// disconnects, and opens the engine relations that table components need.
// Every instance is listed in one process-wide registry (guarded by one
// mutex) so that a table component finds its database by name.
//
// Connected is exactly "Handle() > 0". Relations opened through the
// component stay open in the session until it disconnects; all table
// components of one session that name the same table share one relation.
//
// Errors are thrown: EDatabaseError for refused property changes and name
// clashes, EKestrelError (via RaiseTdbError) for engine failures with the
// action texts "Connecting to database \"%s\"", "Opening database \"%s\"",
// "Closing tables", "Opening table \"%s\"". A failed connect leaves the
// component disconnected with no session.
//
// Not thread-safe: one component is used from one thread (the registry
// itself may be searched from any thread).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kestrel::access {

class TTdbDataSet;

enum class TTdbFlushMode { tfmDefault, tfmSecure, tfmFast };
enum class TTdbDatabaseType { dbtDirectory, dbtSingleFile };
enum class TTdbManagementLevel { tmlUnmanaged, tmlManaged };
enum TTdbAccessRight : unsigned { tarAppend = 1, tarEdit = 2, tarDelete = 4, tarIndex = 8 };
using TTdbAccessRights = unsigned;
inline constexpr TTdbAccessRights kAllAccessRights = tarAppend | tarEdit | tarDelete | tarIndex;

class TTdbDatabase {
 public:
  // Asked for a table key when the engine reports a wrong one: may set the
  // key and `retry`.
  using TPasswordEvent =
      std::function<void(TTdbDatabase& database, const std::string& tableName, bool& retry, std::string& key)>;
  using TNotifyEvent = std::function<void(TTdbDatabase&)>;

  TTdbDatabase();
  // Disconnects (if connected) and leaves the registry.
  ~TTdbDatabase();
  TTdbDatabase(const TTdbDatabase&) = delete;
  TTdbDatabase& operator=(const TTdbDatabase&) = delete;

  // ---- Properties ----------------------------------------------------------
  const std::string& DatabaseName() const { return FDatabaseName; }
  // Refused while connected: "Cannot change the database name when connected".
  void SetDatabaseName(const std::string& name);
  const std::string& Location() const { return FLocation; }
  // Refused while connected: "Cannot change location while database is open".
  void SetLocation(const std::string& location);
  bool Exclusive() const { return FExclusive; }
  void SetExclusive(bool value);          // disconnects first when it changes
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool value);           // disconnects first whenever connected
  bool SharedReadOnly() const { return FSharedReadOnly; }
  void SetSharedReadOnly(bool value);     // disconnects first when it changes
  TTdbDatabaseType DatabaseType() const { return FDatabaseType; }
  void SetDatabaseType(TTdbDatabaseType value);  // disconnects first when it changes
  TTdbFlushMode FlushMode() const { return FFlushMode; }
  void SetFlushMode(TTdbFlushMode value) { FFlushMode = value; }
  int IndexPageSize() const { return FIndexPageSize; }
  int BlobBlockSize() const { return FBlobBlockSize; }
  // Stored; when connected both sizes go to the session at once.
  void SetIndexPageSize(int value);
  void SetBlobBlockSize(int value);
  // Whether the session may make temporary indexes for conditions that no
  // index serves (on by default); handed to the session when it connects.
  bool AutoCreateIndexes() const { return FAutoCreateIndexes; }
  void SetAutoCreateIndexes(bool value) { FAutoCreateIndexes = value; }
  int CacheSizeKB() const { return FCacheSize; }
  void SetCacheSizeKB(int value) { FCacheSize = value; }
  int LockingTimeout() const { return FLockingTimeout; }
  void SetLockingTimeout(int value) { FLockingTimeout = value; }
  const std::string& PrivateDir() const { return FPrivateDir; }
  void SetPrivateDir(const std::string& value) { FPrivateDir = value; }
  const std::string& ConnectionName() const { return FConnectionName; }
  void SetConnectionName(const std::string& value) { FConnectionName = value; }
  std::uint32_t ConnectionId() const { return FConnectionId; }
  const std::string& UserName() const { return FUserName; }
  void SetUserName(const std::string& value) { FUserName = value; }
  void SetPassword(const std::string& value) { FPassword = value; }
  TTdbManagementLevel ManagementLevel() const { return FManagementLevel; }
  int EncryptionMethod() const { return FEncryptionMethod; }
  // Created on the fly by a table component: frees itself (through its
  // creator) when its last dataset unregisters.
  bool Automatic() const { return FAutomatic; }
  void SetAutomatic(bool value) { FAutomatic = value; }

  TNotifyEvent BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;
  TPasswordEvent OnPassword;

  // ---- Connection ----------------------------------------------------------
  bool Connected() const { return FSessionHdl > 0; }
  void SetConnected(bool value);
  void Open() { SetConnected(true); }
  void Close() { SetConnected(false); }
  std::int16_t Handle() const { return FSessionHdl; }

  // ---- For table components ------------------------------------------------
  // The 16-bit rights word for TdbSessOpenTable.
  std::uint16_t CalcOpenRights(bool exclusive, TTdbAccessRights rights, TTdbFlushMode flushMode) const;
  // Opens (or finds open) a table of this database: the relation handle, or
  // the engine's negative result.
  std::int32_t OpenRelation(const std::string& tableName, std::string key, bool force, std::uint16_t rights);
  // Opens a table for a caller outside the table component; throws
  // "Opening table \"%s\"" on failure and refuses when disconnected.
  std::int32_t OpenTable(const std::string& tableName, const std::string& key, bool exclusive,
                         TTdbAccessRights rights, TTdbFlushMode flushMode);
  // Closes relations no cursor uses any more.
  void CloseUnneededTables();
  void RegisterClient(TTdbDataSet* dataSet);
  void UnRegisterClient(TTdbDataSet* dataSet);
  int DataSetCount() const { return static_cast<int>(FDataSets.size()); }
  TTdbDataSet* DataSet(int index) const { return FDataSets[static_cast<std::size_t>(index)]; }

  // The registered database other than `asking` whose name equals `name`
  // without regard to ASCII case, or null; throws "Database name \"%s\" is
  // not unique" when there are several.
  static TTdbDatabase* FindDatabase(const std::string& name, const TTdbDatabase* asking = nullptr);
  // Runs `visit` on every registered database under the registry lock.
  static void ForEachDatabase(const std::function<void(TTdbDatabase&)>& visit);

 private:
  void Connect();
  void Disconnect();
  void CheckConnected() const;

  std::int16_t FSessionHdl = 0;
  bool FAutomatic = false;
  std::string FConnectionName;
  std::uint32_t FConnectionId = 0;
  std::string FPrivateDir;
  std::string FDatabaseName;
  std::string FLocation;
  bool FExclusive = false;
  bool FReadOnly = false;
  bool FCaseSensitive = false;
  bool FCaretSwitch = false;
  bool FAutoCreateIndexes = true;
  TTdbFlushMode FFlushMode = TTdbFlushMode::tfmDefault;
  bool FSharedReadOnly = false;
  TTdbDatabaseType FDatabaseType = TTdbDatabaseType::dbtDirectory;
  TTdbManagementLevel FManagementLevel = TTdbManagementLevel::tmlUnmanaged;
  int FEncryptionMethod = 0;
  std::string FUserName;
  std::string FPassword;
  int FBlobBlockSize = 512;
  int FIndexPageSize = 4096;
  int FLogLevel = 0;
  int FCacheSize = 40960;
  int FLockingTimeout = 20000;
  int FServerTimeout = 0;
  std::vector<TTdbDataSet*> FDataSets;
};

}  // namespace kestrel::access
