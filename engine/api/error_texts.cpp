// The result codes of the flat call interface with their texts.
#include "engine/api/error_texts.h"

#include "engine/session/result_codes.h"

namespace kestrel {

const std::vector<TErrorText>& ResultCodeTexts() {
  static const std::vector<TErrorText> kTexts = {
      {kResultOk, "No error"},
      {kResultCannotOpenTable, "Cannot open table"},
      {kResultOutOfMemory, "Out of memory"},
      {kResultCannotOpenModule, "Cannot open module"},
      {kResultInvalidRecord, "Record is invalid"},
      {kResultInvalidExpression, "Invalid expression"},
      {kResultUnknownColumn, "Unknown table column"},
      {kResultRecordNotExists, "The record does not exist"},
      {kResultWrongPassword, "Wrong password"},
      {kResultCannotCreateTable, "Could not create table"},
      {kResultInvalidAccess, "Invalid access"},
      {kResultIndexNotExists, "The index does not exist"},
      {kResultInvalidRelation, "Invalid relation handle"},
      {kResultInvalidIndexDefinition, "Invalid index definition"},
      {kResultWrongContext, "Function can not be called in this context"},
      {kResultCannotDeleteRecord, "Cannot delete record"},
      {kResultRestructureFailed, "Restructuring of table failed"},
      {kResultNoRecordIdColumn, "Relation does not have a record id column"},
      {kResultWrongColumnType, "Column has not the correct data type"},
      {kResultCannotWriteRecord, "Could not write record to table"},
      {kResultNotUnique, "Record violates unique constraint"},
      {kResultIndexInUse, "The index is still in use"},
      {kResultReadOnly, "The database table is read-only"},
      {kResultTableNotAccessible, "Table access not possible at this time"},
      {kResultIndexNotAvailable, "Index is not available"},
      {kResultRecordIsNull, "Record is null"},
      {kResultRecordUnchanged, "Record is unchanged"},
      {kResultProcedureNotExists, "The procedure does not exist"},
      {kResultModuleNotExists, "The module does not exist"},
      {kResultProcedureExists, "The procedure already exists"},
      {kResultInvalidIdentifier, "The identifier is not a valid Kestrel identifier"},
      {kResultInvalidCondition, "Search-condition is invalid"},
      {kResultRelationAlreadyOpen, "The relation is already open"},
      {kResultSqlExecution, "Error while executing SQL command"},
      {kResultTableLocked, "The database table is locked"},
      {kResultCannotDeleteIndex, "Cannot delete index"},
      {kResultCannotCloseRelation, "Could not close relation"},
      {kResultInvalidEquateJoin, "Invalid equate join"},
      {kResultCannotDeleteTable, "Could not delete table"},
      {kResultRelationTableNotFound, "Relation table (*.rel) not found"},
      {kResultCannotCreateSession, "Could not create session"},
      {kResultCannotCreateFile, "File already exists, directory not found or no write access"},
      {kResultTransferActive, "There is already a blob/memo transfer active"},
      {kResultNoTransfer, "There is no active blob/memo transfer"},
      {kResultNotEditing, "Record is not in edit mode"},
      {kResultDatabaseNotFound, "Database not found"},
      {kResultSqlSyntax, "The SQL command has an error at row %d, column %d"},
      {kResultCannotExecuteSql, "Cannot execute SQL command"},
      {kResultCompilerError, "Compiler error"},
      {kResultProgramError, "Error while executing program"},
      {kResultTransactionFailed, "Cannot begin or end the transaction"},
      {kResultSqlNotPrepared, "SQL command could not be prepared"},
      {kResultEngineError, "Error in Kestrel Engine"},
      {kResultInvalidTable, "The table handle is invalid"},
      {kResultException, "An error occured in the database engine. Please save your work and re-start the application"},
      {kResultBufferTooSmall, "The passed buffer is too small for the data."},
      {kResultInvalidStatement, "The statement handle is invalid"},
      {kResultInvalidSession, "The session handle is invalid"},
      {kResultServerTimeout, "A timeout occured during the server communication. Check whether the server is available and the timeout setting is correct"},
      {kResultNotSupportedByServer, "This function is not supported by the remote server"},
      {kResultCommunication, "A communication error with the remote server has been detected"},
      {kResultReadTable, "Error while reading from table"},
      {kResultVersionMismatch, "The program versions of Kestrel server and client are not compatible"},
      {kResultUnspecified, "Unspecified error"},
      {kResultExportFailed, "Export failed"},
      {kResultImportFailed, "Import failed"},
  };
  return kTexts;
}

std::string ResultCodeText(int code) {
  const char* text = FindErrorText(ResultCodeTexts(), code);
  return text ? text : "Unknown error";
}

}  // namespace kestrel
