// Exported session functions of the flat call interface and the texts of
// result codes.
#include <cstring>
#include <string>

#include "engine/api/api_dispatch.h"
#include "engine/api/error_texts.h"
#include "engine/api/factories.h"
#include "engine/api/kestrel.h"
#include "engine/api/text_buffer.h"
#include "engine/base/code_page.h"
#include "engine/crypto/encryption.h"
#include "engine/fs/os_file_system.h"

using namespace kestrel;

namespace {

constexpr char16_t kRemoteLocationMark = u'@';

// Deletes the session's cursors, then closes its database.
void CloseSessionDatabase(TTdbLocalSession& session) {
  TTdbHandleTables::Instance().RemoveSessionCursors(session.Handle());
  session.Catalog().CloseDatabase();
}

}  // namespace

extern "C" {

int32_t TdbCreateSession(const TdbChar* Location) {
  return GuardedCall(nullptr, kResultCannotCreateSession, [&]() -> std::int32_t {
    if (ReadText(Location).find(kRemoteLocationMark) != std::u16string::npos)
      return kResultCannotCreateSession;
    const std::int16_t handle = TTdbHandleTables::Instance().AddSession(
        [](std::int16_t hdl) { return std::make_shared<TTdbLocalSession>(hdl, DefaultClock(), GetTableFactory);
        });
    return handle == 0 ? kResultCannotCreateSession : handle;
  });
}

int32_t TdbSessDelete(int16_t SessHdl) {
  return WithSession(SessHdl, kResultEngineError, [&](TTdbLocalSession& session) {
    CloseSessionDatabase(session);
    TTdbHandleTables::Instance().RemoveSession(session.Handle());
    return kResultOk;
  });
}

int32_t TdbSessGetDefaultNetParams(int16_t SessHdl, TTdbNetParams* NetParams) {
  return WithSession(SessHdl, kResultEngineError, [&](TTdbLocalSession& session) {
    if (!NetParams) return kResultBufferTooSmall;
    const TTdbServices& services = session.Services();
    TTdbNetParams params;
    std::memset(&params, 0, sizeof params);
    params.StationNo = services.FStationNo;
    params.ServerTimeout = kDefaultServerTimeout;
    if (!WriteTextFit(services.FPrivateDir, params.PrivateDir, std::size(params.PrivateDir)) ||
        !WriteTextFit(services.FStationName, params.StationName, std::size(params.StationName)) ||
        !WriteTextFit(services.FReadOnlyDirs, params.ReadOnlyDirs, std::size(params.ReadOnlyDirs)))
      return kResultBufferTooSmall;
    *NetParams = params;
    return kResultOk;
  });
}

int32_t TdbSessSetNetParams(int16_t SessHdl, const TTdbNetParams* NetParams) {
  return WithSession(SessHdl, kResultEngineError, [&](TTdbLocalSession& session) {
    if (!NetParams || !IsTerminated(NetParams->StationName, std::size(NetParams->StationName)) ||
        !IsTerminated(NetParams->ReadOnlyDirs, std::size(NetParams->ReadOnlyDirs)) ||
        !IsTerminated(NetParams->PrivateDir, std::size(NetParams->PrivateDir)))
      return kResultBufferTooSmall;
    TTdbServices& services = session.Services();
    if (NetParams->StationNo != 0) services.FStationNo = NetParams->StationNo;
    services.FStationName =
        ReadBoundedText(NetParams->StationName, std::size(NetParams->StationName));
    services.FReadOnlyDirs =
        ReadBoundedText(NetParams->ReadOnlyDirs, std::size(NetParams->ReadOnlyDirs));
    services.FPrivateDir = ReadBoundedText(NetParams->PrivateDir, std::size(NetParams->PrivateDir));
    if (!services.FPrivateDir.empty()) {
      TdwOSFileSystem fileSystem;
      const std::string privateDir = Utf16ToUtf8(services.FPrivateDir);
      if (!fileSystem.DirectoryExists(privateDir)) fileSystem.ForcePath(privateDir);
    }
    return kResultOk;
  });
}

int32_t TdbSessSetSystemSettings(int16_t SessHdl, int32_t IndPageSize, int32_t BlobBlockSize) {
  return WithSession(SessHdl, kResultEngineError, [&](TTdbLocalSession& session) {
    session.Services().FDefIndexPageSize = IndPageSize;
    session.Services().FDefBlobBlockSize = BlobBlockSize;
    return kResultOk;
  });
}

int32_t TdbSessOpenDb(int16_t SessHdl, const TdbChar* Location, const TdbChar* /*UserName*/,
                      const TdbChar* Password, int32_t CacheSize, int32_t Attributes) {
  return WithSession(SessHdl, kResultCannotCreateSession, [&](TTdbLocalSession& session) {
    try {
      session.Catalog().OpenDatabase(ReadText(Location), ReadText(Password), CacheSize, Attributes);
      return kResultOk;
    } catch (const ETdbEngine& error) {
      session.Services().SetLastError(error);
      const bool notFound =
          error.Number() == tdbErrFileNotFound || error.Number() == tdbErrCredentials;
      return notFound ? kResultDatabaseNotFound : kResultCannotCreateSession;
    }
  });
}

int32_t TdbSessGetDbInfo(int16_t SessHdl, TTdbDbInfo* DbInfo) {
  return WithSession(SessHdl, kResultEngineError, [&](TTdbLocalSession& session) {
    if (!DbInfo) return kResultBufferTooSmall;
    DbInfo->ManagementLevel = session.Catalog().ManagementLevel() == tmlManaged
                                  ? TDB_MANAGEMENT_MANAGED
                                  : TDB_MANAGEMENT_UNMANAGED;
    DbInfo->EncryptionMethod = temNone;
    return kResultOk;
  });
}

int32_t TdbSessSetSettings(int16_t SessHdl, uint8_t CaseSensitive, uint8_t /*CaretSwitch*/,
                           uint8_t AutoCreateIndexes, int32_t LockingTimeout) {
  return WithSession(SessHdl, kResultEngineError, [&](TTdbLocalSession& session) {
    session.Services().FCaseSensitive = CaseSensitive != 0;
    session.Services().FAutoCreateIndexes = AutoCreateIndexes != 0;
    session.Services().FLockingTimeout = LockingTimeout;
    return kResultOk;
  });
}

int32_t TdbSessSetLogLevel(int16_t SessHdl, int32_t LogLevel) {
  return WithSession(SessHdl, kResultEngineError, [&](TTdbLocalSession& session) {
    session.Services().FLogLevel = LogLevel;
    return kResultOk;
  });
}

int32_t TdbSessIsSingleFile(int16_t SessHdl) {
  return WithSession(SessHdl, kResultEngineError, [&](TTdbLocalSession& session) {
    return session.Catalog().IsOpen() && session.Catalog().DatabaseType() == dbtSingleFile ? 1 : 0;
  });
}

int32_t TdbSessFindRltnHdl(int16_t SessHdl, const TdbChar* Name) {
  return WithSession(SessHdl, kResultEngineError, [&](TTdbLocalSession& session) -> std::int32_t {
    const int slot = session.Catalog().FindTable(ReadText(Name));
    return slot == 0 ? 0 : TTdbHandleTables::RelationHandle(session.Handle(), slot);
  });
}

int32_t TdbSessOpenTable(int16_t SessHdl, const TdbChar* TableName, const TdbChar* Key,
                         uint16_t Rights, uint8_t WithRelTables, uint8_t Force) {
  return WithSession(SessHdl, kResultCannotOpenTable, [&](TTdbLocalSession& session) {
    try {
      const int slot =
          session.Catalog().OpenTable(ReadText(TableName), ReadText(Key), Rights, Force != 0, WithRelTables != 0);
      return static_cast<std::int32_t>(TTdbHandleTables::RelationHandle(session.Handle(), slot));
    } catch (const ETdbEngine& error) {
      session.Services().SetLastError(error);
      switch (error.Number()) {
        case tdbErrTooManyTables:
          return kResultOutOfMemory;
        case tdbErrCredentials:
          return kResultWrongPassword;
        default:
          return kResultCannotOpenTable;
      }
    }
  });
}

int32_t TdbSessCloseUnneededTables(int16_t SessHdl) {
  return WithSession(SessHdl, kResultEngineError, [&](TTdbLocalSession& session) {
    session.Catalog().CloseUnneededTables();
    return kResultOk;
  });
}

int32_t TdbSessCloseDb(int16_t SessHdl) {
  return WithSession(SessHdl, kResultEngineError, [&](TTdbLocalSession& session) {
    CloseSessionDatabase(session);
    return kResultOk;
  });
}

int32_t TdbSessGetLastError(int16_t SessHdl, int32_t* ErrCode, TdbChar* ErrMsg, int32_t MaxLen) {
  return WithSession(SessHdl, kResultEngineError, [&](TTdbLocalSession& session) {
    if (!ErrCode || !ErrMsg || MaxLen < 0) return kResultBufferTooSmall;
    const TTdbLastError lastError = session.Services().LastError();
    *ErrCode = -lastError.FCode;
    WriteTextCut(lastError.FMessage, ErrMsg, MaxLen);
    return kResultOk;
  });
}

int32_t TdbSessGetLastErrorPos(int16_t SessHdl, TdbChar* ErrMsg, int32_t MaxLen) {
  return WithSession(SessHdl, kResultEngineError, [&](TTdbLocalSession& session) {
    const TTdbLastError lastError = session.Services().LastError();
    if (!WriteTextCut(lastError.FLine, ErrMsg, MaxLen)) return kResultBufferTooSmall;
    return static_cast<std::int32_t>(lastError.FPosition);
  });
}

int32_t TdbGetErrorMsg(int32_t TdbError, TdbChar* ErrorMsg, int32_t MaxLen) {
  return GuardedCall(nullptr, kResultException, [&]() -> std::int32_t {
    const std::u16string text = Utf8ToUtf16(ResultCodeText(TdbError));
    return WriteTextCut(text, ErrorMsg, MaxLen) ? kResultOk : kResultBufferTooSmall;
  });
}

int32_t TdbGetVersion(void) { return TDB_VERSION; }

}  // extern "C"
