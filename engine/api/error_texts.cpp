// The result codes of the flat call interface with their texts.
#include "engine/api/error_texts.h"

namespace kestrel {

const std::vector<TErrorText>& ResultCodeTexts() {
  static const std::vector<TErrorText> kTexts = {
      {0, "No error"},
      {-1, "Cannot open table"},
      {-2, "Out of memory"},
      {-3, "Cannot open module"},
      {-5, "Record is invalid"},
      {-7, "Invalid expression"},
      {-10, "Unknown table column"},
      {-11, "The record does not exist"},
      {-12, "Wrong password"},
      {-14, "Could not create table"},
      {-15, "Invalid access"},
      {-16, "The index does not exist"},
      {-17, "Invalid relation handle"},
      {-18, "Invalid index definition"},
      {-19, "Function can not be called in this context"},
      {-20, "Cannot delete record"},
      {-21, "Restructuring of table failed"},
      {-22, "Relation does not have a record id column"},
      {-23, "Column has not the correct data type"},
      {-25, "Could not write record to table"},
      {-26, "Record violates unique constraint"},
      {-27, "The index is still in use"},
      {-30, "The database table is read-only"},
      {-31, "Table access not possible at this time"},
      {-32, "Index is not available"},
      {-33, "Record is null"},
      {-38, "Record is unchanged"},
      {-40, "The procedure does not exist"},
      {-41, "The module does not exist"},
      {-42, "The procedure already exists"},
      {-43, "The identifier is not a valid Kestrel identifier"},
      {-44, "Search-condition is invalid"},
      {-45, "The relation is already open"},
      {-46, "Error while executing SQL command"},
      {-47, "The database table is locked"},
      {-48, "Cannot delete index"},
      {-49, "Could not close relation"},
      {-50, "Invalid equate join"},
      {-51, "Could not delete table"},
      {-52, "Relation table (*.rel) not found"},
      {-53, "Could not create session"},
      {-54, "File already exists, directory not found or no write access"},
      {-55, "There is already a blob/memo transfer active"},
      {-56, "There is no active blob/memo transfer"},
      {-57, "Record is not in edit mode"},
      {-58, "Database not found"},
      {-59, "The SQL command has an error at row %d, column %d"},
      {-60, "Cannot execute SQL command"},
      {-61, "Compiler error"},
      {-62, "Error while executing program"},
      {-63, "Cannot begin or end the transaction"},
      {-64, "SQL command could not be prepared"},
      {-100, "Error in Kestrel Engine"},
      {-101, "The table handle is invalid"},
      {-102, "An error occured in the database engine. Please save your work and re-start the application"},
      {-103, "The passed buffer is too small for the data."},
      {-104, "The statement handle is invalid"},
      {-105, "The session handle is invalid"},
      {-106, "A timeout occured during the server communication. Check whether the server is available and the timeout setting is correct"},
      {-107, "This function is not supported by the remote server"},
      {-108, "A communication error with the remote server has been detected"},
      {-201, "Error while reading from table"},
      {-202, "The program versions of Kestrel server and client are not compatible"},
      {-203, "Unspecified error"},
      {-204, "Export failed"},
      {-205, "Import failed"},
  };
  return kTexts;
}

std::string ResultCodeText(int code) {
  const char* text = FindErrorText(ResultCodeTexts(), code);
  return text ? text : "Unknown error";
}

}  // namespace kestrel
