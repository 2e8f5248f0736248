/* kestrel.h: the flat call interface of the Kestrel engine (libkestrel.so).
 *
 * Everything above the engine reaches it through these functions. Sessions,
 * relations (open tables) and cursors are named by 16-bit handles; every
 * function answers a 32-bit result: 0 or a positive value (a handle, a record
 * number, a count, a size) for success, a negative result code for failure.
 * TdbGetErrorMsg gives the text of a result code; the details of a failure
 * (engine error number and message) stay in the session's last-error record,
 * read with TdbSessGetLastError.
 *
 * Conventions of every function:
 * - No exception leaves a function. An engine failure answers the function's
 *   failure code and is recorded in the session's last-error record; any
 *   other failure answers -102 and records engine error 123 ("Exception: %s").
 * - Strings are zero-terminated UTF-16 (TdbChar). A null string reads as "".
 * - Booleans are uint8_t, 0 or 1 (any non-zero value reads as 1).
 * - A buffer the engine writes always comes with its size. A buffer that is
 *   too small (or null, or a negative size) answers -103 and nothing is
 *   written. Text buffers take a character count MaxLen: the text is cut to
 *   MaxLen characters and followed by a zero, so the buffer needs room for
 *   MaxLen + 1 characters. Record images come with their size in bytes.
 * - Handles: a session handle is 1..100; a relation handle is
 *   (session handle - 1) * 256 + slot, slot 1..254; a table (cursor) handle
 *   is 1..255 for a local session. An invalid session handle answers -105,
 *   an invalid relation handle -17, an invalid table handle -101, and then
 *   nothing is changed. A cursor function called with a valid handle never
 *   answers -101, -104 or -105: an engine failure that would come back as
 *   one of them (a record lock refused with engine error 105, say) answers
 *   -100 and its details are in the last-error record.
 * - Calls on one session come from one thread at a time; different sessions
 *   may be used from different threads.
 *
 * Compiles as C (C11) and as C++.
 */
#ifndef KESTREL_H
#define KESTREL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
typedef char16_t TdbChar;
#define KESTREL_STATIC_ASSERT(cond, text) static_assert(cond, text)
extern "C" {
#else
typedef uint16_t TdbChar;
#define KESTREL_STATIC_ASSERT(cond, text) _Static_assert(cond, text)
#endif

#define KESTREL_API __attribute__((visibility("default")))

/* The engine version answered by TdbGetVersion. */
#define TDB_VERSION 8102

/* Result codes used by this interface (TdbGetErrorMsg has all texts). */
#define TDB_OK 0
#define TDB_ERR_CANNOT_OPEN_TABLE (-1)
#define TDB_ERR_OUT_OF_MEMORY (-2)
#define TDB_ERR_RECORD_NOT_EXISTS (-11)
#define TDB_ERR_WRONG_PASSWORD (-12)
#define TDB_ERR_INDEX_NOT_EXISTS (-16)
#define TDB_ERR_INVALID_RELATION (-17)
#define TDB_ERR_INVALID_CONDITION (-44)
#define TDB_ERR_CANNOT_CREATE_SESSION (-53)
#define TDB_ERR_DATABASE_NOT_FOUND (-58)
#define TDB_ERR_ENGINE (-100)
#define TDB_ERR_INVALID_TABLE (-101)
#define TDB_ERR_EXCEPTION (-102)
#define TDB_ERR_BUFFER_TOO_SMALL (-103)
#define TDB_ERR_INVALID_SESSION (-105)
#define TDB_ERR_READ_TABLE (-201)

/* TdbSessOpenDb attribute bits. */
#define TDB_DB_READ_ONLY 0x01
#define TDB_DB_EXCLUSIVE 0x02
#define TDB_DB_SECURE_FLUSH 0x04
#define TDB_DB_SHARED_READ_ONLY 0x08

/* Rights word of TdbSessOpenTable. */
#define TDB_RIGHT_APPEND 0x0001
#define TDB_RIGHT_EDIT 0x0002
#define TDB_RIGHT_DELETE 0x0004
#define TDB_RIGHT_INDEX 0x0008
#define TDB_RIGHT_EXCLUSIVE 0x0100
#define TDB_RIGHT_SECURE_FLUSH 0x0200
#define TDB_RIGHT_SHARED_READ_ONLY 0x0400

/* Column type codes (TTdbFieldSpec.FldType, TdbTableGetDataType, the blob
 * type of TdbTableInitGetBlob). Record image layouts, at InternalPosition:
 * CHAR one Windows-1250 byte; STRING a length prefix (1 byte below 256
 * characters, else 2) and Windows-1250 bytes; WIDE_STRING an int16 length
 * and UTF-16LE units; INT16, LONG_INT, INT64 little-endian integers; BYTE,
 * BOOLEAN (0/1), ENUM one byte; FLOAT a little-endian double; DATE an int32
 * year * 512 + month * 32 + day (0: NULL); TIME an int32 of milliseconds
 * (an int16 of minutes when InternalSize is 2); DATE_TIME a date and an
 * int32 of milliseconds (both 0: NULL); MEMO, WIDE_MEMO, BLOB an int32
 * block number (0: empty), their values read and written through
 * TdbTableInitGetBlob / TdbTableSetBlob; GUID 16 bytes. A column with
 * TDB_FIELD_NULL_BYTE in Options has one more byte: 0 NULL, 1 a value; at
 * table level 6 it comes first, below level 6 last. */
#define TDB_TYPE_CHAR 0
#define TDB_TYPE_STRING 1
#define TDB_TYPE_INT16 2
#define TDB_TYPE_FLOAT 3
#define TDB_TYPE_BYTE 4
#define TDB_TYPE_BOOLEAN 5
#define TDB_TYPE_DATE 6
#define TDB_TYPE_MEMO 7
#define TDB_TYPE_ENUM 8
#define TDB_TYPE_RECORD_ID 9
#define TDB_TYPE_LINK 10
#define TDB_TYPE_BLOB 11
#define TDB_TYPE_RELATION 12
#define TDB_TYPE_TIME 13
#define TDB_TYPE_LONG_INT 16
#define TDB_TYPE_DATE_TIME 17
#define TDB_TYPE_WIDE_STRING 18
#define TDB_TYPE_WIDE_MEMO 19
#define TDB_TYPE_INT64 20
#define TDB_TYPE_GUID 21

/* TTdbFieldSpec.Options bits. */
#define TDB_FIELD_RECOMPUTED 0x01 /* the formula is recomputed, not only a default */
#define TDB_FIELD_NULL_BYTE 0x08 /* the stored value has a null indicator byte */
#define TDB_FIELD_NULLABLE 0x20  /* the column may hold NULL ("may be empty") */

/* TdbTableSetSQLFilter Mode: the kind of filter, with option bits added. */
#define TDB_FILTER_STATIC 1       /* selects the records once, when activated */
#define TDB_FILTER_INCREMENTAL 15 /* follows changes of the records */
/* Selection modes: they change the handle's selection (a list of chosen
 * records that, once activated, hides every other record) instead of
 * replacing the filter. */
#define TDB_FILTER_SELECT_ADD 3          /* add the records that satisfy the condition */
#define TDB_FILTER_SELECT_KEEP 6         /* keep only the chosen records that satisfy it */
#define TDB_FILTER_SELECT_ADD_VISIBLE 7  /* add those of them the cursor shows now */
#define TDB_FILTER_CASE_INSENSITIVE 0x10
#define TDB_FILTER_USE_JOKERS 0x20   /* X = 'abc*' means X LIKE 'abc%' */
#define TDB_FILTER_LOCAL_FORMATS 0x40 /* numbers and dates in the platform's formats too */

/* TdbTableLock LockType. */
#define TDB_LOCK_READ 1
#define TDB_LOCK_WRITE 2

/* TdbTableLocateRec2 IndexItemCount: compare every level of the index. */
#define TDB_LOCATE_ALL_LEVELS 256

/* Column spec (TdbTableGetFieldSpec), 4612 bytes. */
typedef struct TTdbFieldSpec {
  int16_t No;                  /* column number, 1-based */
  TdbChar Name[41];            /* zero-terminated */
  uint8_t Options;             /* TDB_FIELD_* bits */
  TdbChar RangeOrFormula[256]; /* calculation expression */
  TdbChar SelectOrLink[2001];  /* linked table; enumeration value names, one a line (10) */
  int16_t FldType;             /* column type code */
  int32_t Param;               /* length or precision */
  int16_t InternalPosition;    /* byte offset in the record image */
  int16_t InternalSize;        /* byte size in the record image */
} TTdbFieldSpec;

KESTREL_STATIC_ASSERT(sizeof(TTdbFieldSpec) == 4612, "TTdbFieldSpec size");
KESTREL_STATIC_ASSERT(offsetof(TTdbFieldSpec, Name) == 2, "TTdbFieldSpec.Name");
KESTREL_STATIC_ASSERT(offsetof(TTdbFieldSpec, Options) == 84, "TTdbFieldSpec.Options");
KESTREL_STATIC_ASSERT(offsetof(TTdbFieldSpec, RangeOrFormula) == 86,
                      "TTdbFieldSpec.RangeOrFormula");
KESTREL_STATIC_ASSERT(offsetof(TTdbFieldSpec, SelectOrLink) == 598, "TTdbFieldSpec.SelectOrLink");
KESTREL_STATIC_ASSERT(offsetof(TTdbFieldSpec, FldType) == 4600, "TTdbFieldSpec.FldType");
KESTREL_STATIC_ASSERT(offsetof(TTdbFieldSpec, Param) == 4604, "TTdbFieldSpec.Param");
KESTREL_STATIC_ASSERT(offsetof(TTdbFieldSpec, InternalPosition) == 4608,
                      "TTdbFieldSpec.InternalPosition");
KESTREL_STATIC_ASSERT(offsetof(TTdbFieldSpec, InternalSize) == 4610, "TTdbFieldSpec.InternalSize");

/* Network parameters of a session, 1628 bytes. */
typedef struct TTdbNetParams {
  TdbChar NetDirs[256];
  TdbChar PrivateDir[256];
  uint32_t StationNo; /* the session's identity in lock files */
  TdbChar StationName[41];
  TdbChar ReadOnlyDirs[257];
  int32_t ServerTimeout; /* milliseconds */
} TTdbNetParams;

KESTREL_STATIC_ASSERT(sizeof(TTdbNetParams) == 1628, "TTdbNetParams size");
KESTREL_STATIC_ASSERT(offsetof(TTdbNetParams, PrivateDir) == 512, "TTdbNetParams.PrivateDir");
KESTREL_STATIC_ASSERT(offsetof(TTdbNetParams, StationNo) == 1024, "TTdbNetParams.StationNo");
KESTREL_STATIC_ASSERT(offsetof(TTdbNetParams, StationName) == 1028, "TTdbNetParams.StationName");
KESTREL_STATIC_ASSERT(offsetof(TTdbNetParams, ReadOnlyDirs) == 1110, "TTdbNetParams.ReadOnlyDirs");
KESTREL_STATIC_ASSERT(offsetof(TTdbNetParams, ServerTimeout) == 1624,
                      "TTdbNetParams.ServerTimeout");

/* Table information of a relation (TdbRltnGetTableInfo), 604 bytes.
 * EncryptionMethod is a 32-bit field holding the public method number
 * (0 default, 1 none, 2 protection, 3 classic, 4 fast, 5 Blowfish,
 * 6 Rijndael). */
typedef struct TTdbTableInfo {
  TdbChar FileName[256]; /* full path of the table file */
  int16_t Level;         /* table level 1..6 */
  TdbChar Language[41];  /* collation name */
  int32_t EncryptionMethod;
  int32_t Capacity;
} TTdbTableInfo;

KESTREL_STATIC_ASSERT(sizeof(TTdbTableInfo) == 604, "TTdbTableInfo size");
KESTREL_STATIC_ASSERT(offsetof(TTdbTableInfo, Level) == 512, "TTdbTableInfo.Level");
KESTREL_STATIC_ASSERT(offsetof(TTdbTableInfo, Language) == 514, "TTdbTableInfo.Language");
KESTREL_STATIC_ASSERT(offsetof(TTdbTableInfo, EncryptionMethod) == 596,
                      "TTdbTableInfo.EncryptionMethod");
KESTREL_STATIC_ASSERT(offsetof(TTdbTableInfo, Capacity) == 600, "TTdbTableInfo.Capacity");

/* Database information (TdbSessGetDbInfo), 8 bytes.
 * ManagementLevel: 0 unmanaged, 1 managed (the directory holds the catalog
 * tables sys_UserTables and sys_UserColumns). EncryptionMethod: the public
 * method number as in TTdbTableInfo; a directory database has none (1). */
typedef struct TTdbDbInfo {
  int32_t ManagementLevel;
  int32_t EncryptionMethod;
} TTdbDbInfo;

KESTREL_STATIC_ASSERT(sizeof(TTdbDbInfo) == 8, "TTdbDbInfo size");
KESTREL_STATIC_ASSERT(offsetof(TTdbDbInfo, EncryptionMethod) == 4, "TTdbDbInfo.EncryptionMethod");

#define TDB_MANAGEMENT_UNMANAGED 0
#define TDB_MANAGEMENT_MANAGED 1

/* One session of a table's lock file (TTdbTableUsage.UserInfo), 276 bytes. */
typedef struct TTdbTableUserInfo {
  uint8_t SessionName[256]; /* length byte, then 8-bit characters */
  uint32_t SessionId;
  uint8_t InUse; /* 1 if the slot is in use */
  uint8_t Unused[3];
  int32_t LockCode; /* none 0, read 1, upgrade 2, write -1 */
  int32_t Reserved; /* 0 */
  int32_t EditRecNo;
} TTdbTableUserInfo;

KESTREL_STATIC_ASSERT(sizeof(TTdbTableUserInfo) == 276, "TTdbTableUserInfo size");
KESTREL_STATIC_ASSERT(offsetof(TTdbTableUserInfo, SessionId) == 256, "TTdbTableUserInfo.SessionId");
KESTREL_STATIC_ASSERT(offsetof(TTdbTableUserInfo, InUse) == 260, "TTdbTableUserInfo.InUse");
KESTREL_STATIC_ASSERT(offsetof(TTdbTableUserInfo, LockCode) == 264, "TTdbTableUserInfo.LockCode");
KESTREL_STATIC_ASSERT(offsetof(TTdbTableUserInfo, EditRecNo) == 272, "TTdbTableUserInfo.EditRecNo");

#define TDB_TABLE_USAGE_USERS 1000

/* Usage of a table by the sessions of its lock file (TdbTableGetUsage). */
typedef struct TTdbTableUsage {
  int32_t ItemCount;
  int32_t UserCount;
  int32_t ReadCount;
  int32_t UpgradeCount;
  int32_t WriteCount;
  int32_t WaitCount;
  int32_t WaitWriteCount;
  int32_t UpdateCount;
  TTdbTableUserInfo UserInfo[TDB_TABLE_USAGE_USERS];
} TTdbTableUsage;

KESTREL_STATIC_ASSERT(sizeof(TTdbTableUsage) == 32 + 276 * 1000, "TTdbTableUsage size");
KESTREL_STATIC_ASSERT(offsetof(TTdbTableUsage, UserInfo) == 32, "TTdbTableUsage.UserInfo");

/* Called by a local cursor when a record it has buffered moved to another
 * record number (a deletion moved the table's last record into the freed
 * slot, or another session's move was replayed). Runs on the thread of the
 * call that caused it; it must not call back into the same cursor. */
typedef void (*TTdbChangeCallback)(void* UserData, int16_t SessHdl, int16_t TableHdl,
                                   int32_t NewRecNo, int32_t OldRecNo);

/* ---- Sessions ---------------------------------------------------------- */

/* Creates a session. A Location containing '@' asks for a remote session,
 * which this engine does not provide: -53 (nothing is recorded, as there is
 * no session). Answers the session handle, or -53 when 100 sessions exist. */
KESTREL_API int32_t TdbCreateSession(const TdbChar* Location);
/* Deletes every cursor of the session, closes its database and frees it. */
KESTREL_API int32_t TdbSessDelete(int16_t SessHdl);
KESTREL_API int32_t TdbSessGetDefaultNetParams(int16_t SessHdl, TTdbNetParams* NetParams);
/* Takes station number (0 keeps the current one), station name, read-only
 * directories and private directory; creates the private directory if it is
 * missing, ignoring failure. A string without a zero in its array answers
 * -103 and nothing changes. ServerTimeout and NetDirs are not used by a
 * local session. */
KESTREL_API int32_t TdbSessSetNetParams(int16_t SessHdl, const TTdbNetParams* NetParams);
KESTREL_API int32_t TdbSessSetSystemSettings(int16_t SessHdl, int32_t IndPageSize,
                                             int32_t BlobBlockSize);
/* Opens the session's database. Location: a directory (empty for the
 * current directory) or a file inside it, a single-file database container,
 * or a name without extension that does not exist (the container NAME.tdbd,
 * created); see TDB_DB_* for Attributes; CacheSize in kilobytes. Answers 0,
 * -58 (not found, wrong credentials, a container that cannot be opened),
 * -53 (any other failure, e.g. a database already open in the session). */
KESTREL_API int32_t TdbSessOpenDb(int16_t SessHdl, const TdbChar* Location, const TdbChar* UserName,
                                  const TdbChar* Password, int32_t CacheSize, int32_t Attributes);
KESTREL_API int32_t TdbSessGetDbInfo(int16_t SessHdl, TTdbDbInfo* DbInfo);
KESTREL_API int32_t TdbSessSetSettings(int16_t SessHdl, uint8_t CaseSensitive, uint8_t CaretSwitch,
                                       uint8_t AutoCreateIndexes, int32_t LockingTimeout);
/* Sets the session's log level (0 logs nothing). */
KESTREL_API int32_t TdbSessSetLogLevel(int16_t SessHdl, int32_t LogLevel);
/* 1 single-file database, 0 directory database (also when none is open). */
KESTREL_API int32_t TdbSessIsSingleFile(int16_t SessHdl);
/* The relation handle of the open table named Name, 0 if none is open. */
KESTREL_API int32_t TdbSessFindRltnHdl(int16_t SessHdl, const TdbChar* Name);
/* Opens a table of the database: RltnHdl, -1 (cannot open), -2 (no free
 * relation slot), -12 (wrong key), -102. Key empty: the database key. */
KESTREL_API int32_t TdbSessOpenTable(int16_t SessHdl, const TdbChar* TableName, const TdbChar* Key,
                                     uint16_t Rights, uint8_t WithRelTables, uint8_t Force);
KESTREL_API int32_t TdbSessCloseUnneededTables(int16_t SessHdl);
KESTREL_API int32_t TdbSessCloseDb(int16_t SessHdl);
/* ErrCode := engine error number of the last failure (0 for none); ErrMsg
 * := its message cut to MaxLen characters. */
KESTREL_API int32_t TdbSessGetLastError(int16_t SessHdl, int32_t* ErrCode, TdbChar* ErrMsg,
                                        int32_t MaxLen);
/* Answers the character position of the last condition error; ErrMsg :=
 * the condition text of that error cut to MaxLen characters. */
KESTREL_API int32_t TdbSessGetLastErrorPos(int16_t SessHdl, TdbChar* ErrMsg, int32_t MaxLen);
/* ErrorMsg := text of a result code ("Unknown error" for any other code)
 * cut to MaxLen characters. Answers 0 (-103 for a null buffer or a negative
 * MaxLen). */
KESTREL_API int32_t TdbGetErrorMsg(int32_t TdbError, TdbChar* ErrorMsg, int32_t MaxLen);
KESTREL_API int32_t TdbGetVersion(void);

/* ---- Relations --------------------------------------------------------- */

KESTREL_API int32_t TdbRltnGetTableInfo(int16_t RltnHdl, TTdbTableInfo* TableInfo);
/* Answers the number of indexes. Names := every index name followed by a
 * zero character, then one more zero (an empty list is two zeros). Names
 * may be null with MaxLen 0 to ask for the count only; otherwise MaxLen is
 * the buffer's room in characters and a list that does not fit answers
 * -103. TDB_INDEX_NAMES_MAXLEN characters always suffice. */
#define TDB_INDEX_NAMES_MAXLEN (41 * 51 + 1)
KESTREL_API int32_t TdbRltnGetIndexNames(int16_t RltnHdl, TdbChar* Names, int32_t MaxLen);
/* Desc := the stored description text of the named index; RealIndexName
 * := the stored name of an index given by its name or an alias. Both are
 * written whole (room for MaxLen + 1 characters) or not at all: 0, -16 (no
 * such index), -103 (longer than MaxLen). */
KESTREL_API int32_t TdbRltnGetIndexDesc(int16_t RltnHdl, const TdbChar* IndexName, TdbChar* Desc,
                                        int32_t MaxLen);
KESTREL_API int32_t TdbRltnGetRealIndexName(int16_t RltnHdl, const TdbChar* IndexName,
                                            TdbChar* RealIndexName, int32_t MaxLen);
KESTREL_API int32_t TdbRltnActivateEditLocks(int16_t RltnHdl, uint8_t Value);

/* ---- Cursors ----------------------------------------------------------- */

/* A cursor on a relation in physical order before the first record: the
 * table handle, -2 when 255 cursors exist, -17. */
KESTREL_API int32_t TdbTableCreate(int16_t RltnHdl, const TdbChar* Name);
/* Deletes the cursor: 0, -101. */
KESTREL_API int32_t TdbTableDelete(int16_t TableHdl);
/* The size of a record image in bytes, -101. */
KESTREL_API int32_t TdbTableGetRecordSize(int16_t TableHdl);
/* The number of columns, -101. */
KESTREL_API int32_t TdbTableGetNumFields(int16_t TableHdl);
/* -103 when a text of the column does not fit its array. */
KESTREL_API int32_t TdbTableGetFieldSpec(int16_t TableHdl, int32_t FieldNo,
                                         TTdbFieldSpec* FieldSpec);
/* The column's TDB_TYPE_* code; -100 for a column number out of range. */
KESTREL_API int32_t TdbTableGetDataType(int16_t TableHdl, int32_t FieldNo);
/* The table level (1..6). */
KESTREL_API int32_t TdbTableGetRltnVersion(int16_t TableHdl);
/* 1 when the cursor may change records, else 0. */
KESTREL_API int32_t TdbTableCanModify(int16_t TableHdl);
/* 1 when the cursor's order has sequence numbers, else 0. */
KESTREL_API int32_t TdbTableIsSequenced(int16_t TableHdl);
/* Orders the cursor by the named index (empty: physical order): 0, -16. */
KESTREL_API int32_t TdbTableSetIndex(int16_t TableHdl, const TdbChar* IndexName, uint8_t Reverse);
/* Move to the first or last record (that passes the filter): 1, -11 when
 * there is none. */
KESTREL_API int32_t TdbTableFirst(int16_t TableHdl);
KESTREL_API int32_t TdbTableLast(int16_t TableHdl);
/* 0, -11 past either end, -201 read failure. */
KESTREL_API int32_t TdbTableMoveBy(int16_t TableHdl, int32_t Delta);
/* Moves to record number RecNo (0: before the first): 0, -11 when there is
 * no such record. */
KESTREL_API int32_t TdbTableSetRecNo(int16_t TableHdl, int32_t RecNo);
/* The current record number; 0 before the first, after the last, on a
 * deleted record and while appending. */
KESTREL_API int32_t TdbTableGetRecNo(int16_t TableHdl);
/* The 1-based position in the cursor's order (0 when there is none);
 * SetSequenceNo moves there and answers the position reached, -11. */
KESTREL_API int32_t TdbTableGetSequenceNo(int16_t TableHdl);
KESTREL_API int32_t TdbTableSetSequenceNo(int16_t TableHdl, int32_t SequenceNo);
/* The number of records (that pass the active filter). */
KESTREL_API int32_t TdbTableRecordCount(int16_t TableHdl);
/* Copies the current record image into Buffer (RecBufSize bytes of room;
 * less than the record size answers -103). */
KESTREL_API int32_t TdbTableGetRecord(int16_t TableHdl, void* Buffer, int32_t RecBufSize);
/* Takes the record image of RecBufSize bytes (less than the record size
 * answers -103). */
KESTREL_API int32_t TdbTableSetRecord(int16_t TableHdl, const void* Buffer, int32_t RecBufSize);
/* Changing records. Append starts a new record (TdbTableSetRecord and
 * TdbTableSetBlob fill it), Edit the change of the current one; Confirm
 * stores it, Cancel drops it. A failure answers a negative result code
 * (-100 for engine errors) with the engine error in the last-error record:
 * a key that must be unique (30), a missing right (160), NULL in a NOT NULL
 * column (47), a value out of range, ...; a refused Confirm stores
 * nothing. DeleteRecord deletes the current record (a failure as above;
 * engine error 182 when the cursor stands on no record). */
KESTREL_API int32_t TdbTableAppend(int16_t TableHdl);
KESTREL_API int32_t TdbTableAppendConfirm(int16_t TableHdl);
KESTREL_API int32_t TdbTableAppendCancel(int16_t TableHdl);
KESTREL_API int32_t TdbTableEdit(int16_t TableHdl);
KESTREL_API int32_t TdbTableEditConfirm(int16_t TableHdl);
KESTREL_API int32_t TdbTableEditCancel(int16_t TableHdl);
KESTREL_API int32_t TdbTableDeleteRecord(int16_t TableHdl);
/* The record id of the buffered record (0 without a RecordId column);
 * SetAutoNo sets the next one: 0 or a negative result code. */
KESTREL_API int32_t TdbTableGetAutoNo(int16_t TableHdl);
KESTREL_API int32_t TdbTableSetAutoNo(int16_t TableHdl, int32_t RecordId);
/* Reads the table's state again (changes of other sessions): 1 when
 * something changed, else 0. */
KESTREL_API int32_t TdbTableRefresh(int16_t TableHdl, uint8_t CheckNet);
/* Key search. RecordBuffer is a record image of RecBufSize bytes holding the
 * key columns (less than the record size answers -103). ExactMatch is read
 * (1: only an equal key is found) and written (whether the found key equals
 * the searched one). Answers the record number, 0 when nothing is found
 * (the cursor stays), -16. */
KESTREL_API int32_t TdbTableLocateRec2(int16_t TableHdl, const TdbChar* IndexName,
                                       const void* RecordBuffer, int32_t RecBufSize,
                                       int32_t IndexItemCount, uint8_t* ExactMatch);
/* Sets (or with an empty text clears) the filter condition: 0, -44. Mode
 * is TDB_FILTER_STATIC, TDB_FILTER_INCREMENTAL or a TDB_FILTER_SELECT_*
 * mode with TDB_FILTER_* option bits; any other kind answers -44 with
 * engine error 49. Background 1 sets the filter aside until
 * ActivateFilter, 0 makes it take effect at once. ActivateFilter switches
 * it on (Active 1) or off: 0, -44. */
KESTREL_API int32_t TdbTableSetSQLFilter(int16_t TableHdl, const TdbChar* SQLFilter, int32_t Mode,
                                         uint8_t Background);
KESTREL_API int32_t TdbTableActivateFilter(int16_t TableHdl, uint8_t Active);
/* Starts reading a memo or blob of the current record (of the record being
 * written while one is): its size in bytes (at most MaxSize when MaxSize
 * is not negative), BlobType := 0, the blob-type word of a value held in
 * the table itself. -55 while a transfer of the same record still has
 * bytes to deliver; -100 (error 168) for a column that is no memo or blob. */
KESTREL_API int32_t TdbTableInitGetBlob(int16_t TableHdl, int32_t FieldNo, int32_t MaxSize,
                                        int32_t* BlobType);
/* Delivers the next Size bytes (fewer at the end) of the value started by
 * TdbTableInitGetBlob: the bytes delivered. The call that delivers the last
 * byte ends the transfer (for an empty value the first, answering 0);
 * without a transfer the answer is -56. */
KESTREL_API int32_t TdbTablePerformGetBlob(int16_t TableHdl, void* BlobBuffer, int32_t Size);
/* Sets the memo or blob value of column FieldNo of the record being
 * appended or edited (Memo: Windows-1250 bytes; WideMemo: UTF-16LE): 0,
 * -57 without such a record, -100 for a column that is no memo or blob
 * (error 168) or a WideMemo value of an odd number of bytes (error 49). */
KESTREL_API int32_t TdbTableSetBlob(int16_t TableHdl, int32_t FieldNo, const void* Blob,
                                    int32_t Size);
/* Installs (or with a null Callback removes) the change callback. */
KESTREL_API int32_t TdbTableSetChangeCallback(int16_t TableHdl, TTdbChangeCallback Callback,
                                              void* UserData);
/* LockType TDB_LOCK_READ, any other write; TimeOut non-zero waits. 0 or
 * -47. The usage record: 0. */
KESTREL_API int32_t TdbTableLock(int16_t TableHdl, int32_t LockType, int32_t TimeOut);
KESTREL_API int32_t TdbTableUnlock(int16_t TableHdl, int32_t LockType);
KESTREL_API int32_t TdbTableGetUsage(int16_t TableHdl, TTdbTableUsage* TableUsage);

#ifdef __cplusplus
}
#endif

#endif /* KESTREL_H */
