// The result codes of the flat call interface: 0 for success, a negative
// number for each kind of failure. Cursors answer some of them directly
// (ITdbCursorApi), the call interface all; engine/api/error_texts.cpp holds
// their texts and engine/api/kestrel.h repeats the public ones (checked
// there at compile time).
#pragma once

#include <cstdint>

namespace kestrel {

using TTdbResultCode = std::int32_t;

inline constexpr TTdbResultCode kResultOk = 0;
inline constexpr TTdbResultCode kResultCannotOpenTable = -1;
inline constexpr TTdbResultCode kResultOutOfMemory = -2;
inline constexpr TTdbResultCode kResultCannotOpenModule = -3;
inline constexpr TTdbResultCode kResultInvalidRecord = -5;
inline constexpr TTdbResultCode kResultInvalidExpression = -7;
inline constexpr TTdbResultCode kResultUnknownColumn = -10;
inline constexpr TTdbResultCode kResultRecordNotExists = -11;
inline constexpr TTdbResultCode kResultWrongPassword = -12;
inline constexpr TTdbResultCode kResultCannotCreateTable = -14;
inline constexpr TTdbResultCode kResultInvalidAccess = -15;
inline constexpr TTdbResultCode kResultIndexNotExists = -16;
inline constexpr TTdbResultCode kResultInvalidRelation = -17;
inline constexpr TTdbResultCode kResultInvalidIndexDefinition = -18;
inline constexpr TTdbResultCode kResultWrongContext = -19;
inline constexpr TTdbResultCode kResultCannotDeleteRecord = -20;
inline constexpr TTdbResultCode kResultRestructureFailed = -21;
inline constexpr TTdbResultCode kResultNoRecordIdColumn = -22;
inline constexpr TTdbResultCode kResultWrongColumnType = -23;
inline constexpr TTdbResultCode kResultCannotWriteRecord = -25;
inline constexpr TTdbResultCode kResultNotUnique = -26;
inline constexpr TTdbResultCode kResultIndexInUse = -27;
inline constexpr TTdbResultCode kResultReadOnly = -30;
inline constexpr TTdbResultCode kResultTableNotAccessible = -31;
inline constexpr TTdbResultCode kResultIndexNotAvailable = -32;
inline constexpr TTdbResultCode kResultRecordIsNull = -33;
inline constexpr TTdbResultCode kResultRecordUnchanged = -38;
inline constexpr TTdbResultCode kResultProcedureNotExists = -40;
inline constexpr TTdbResultCode kResultModuleNotExists = -41;
inline constexpr TTdbResultCode kResultProcedureExists = -42;
inline constexpr TTdbResultCode kResultInvalidIdentifier = -43;
inline constexpr TTdbResultCode kResultInvalidCondition = -44;
inline constexpr TTdbResultCode kResultRelationAlreadyOpen = -45;
inline constexpr TTdbResultCode kResultSqlExecution = -46;
inline constexpr TTdbResultCode kResultTableLocked = -47;
inline constexpr TTdbResultCode kResultCannotDeleteIndex = -48;
inline constexpr TTdbResultCode kResultCannotCloseRelation = -49;
inline constexpr TTdbResultCode kResultInvalidEquateJoin = -50;
inline constexpr TTdbResultCode kResultCannotDeleteTable = -51;
inline constexpr TTdbResultCode kResultRelationTableNotFound = -52;
inline constexpr TTdbResultCode kResultCannotCreateSession = -53;
inline constexpr TTdbResultCode kResultCannotCreateFile = -54;
inline constexpr TTdbResultCode kResultTransferActive = -55;
inline constexpr TTdbResultCode kResultNoTransfer = -56;
inline constexpr TTdbResultCode kResultNotEditing = -57;
inline constexpr TTdbResultCode kResultDatabaseNotFound = -58;
inline constexpr TTdbResultCode kResultSqlSyntax = -59;
inline constexpr TTdbResultCode kResultCannotExecuteSql = -60;
inline constexpr TTdbResultCode kResultCompilerError = -61;
inline constexpr TTdbResultCode kResultProgramError = -62;
inline constexpr TTdbResultCode kResultTransactionFailed = -63;
inline constexpr TTdbResultCode kResultSqlNotPrepared = -64;
inline constexpr TTdbResultCode kResultEngineError = -100;
inline constexpr TTdbResultCode kResultInvalidTable = -101;
inline constexpr TTdbResultCode kResultException = -102;
inline constexpr TTdbResultCode kResultBufferTooSmall = -103;
inline constexpr TTdbResultCode kResultInvalidStatement = -104;
inline constexpr TTdbResultCode kResultInvalidSession = -105;
inline constexpr TTdbResultCode kResultServerTimeout = -106;
inline constexpr TTdbResultCode kResultNotSupportedByServer = -107;
inline constexpr TTdbResultCode kResultCommunication = -108;
inline constexpr TTdbResultCode kResultReadTable = -201;
inline constexpr TTdbResultCode kResultVersionMismatch = -202;
inline constexpr TTdbResultCode kResultUnspecified = -203;
inline constexpr TTdbResultCode kResultExportFailed = -204;
inline constexpr TTdbResultCode kResultImportFailed = -205;

}  // namespace kestrel
