// ETdbEngine: the one exception type inside the engine. It carries an engine
// error number (see error_texts.h) and the arguments its message format takes.
// Every public engine operation catches it and answers the negated number;
// it never crosses the flat call interface.
#pragma once

#include <exception>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace kestrel {

// Engine error numbers raised by name in the engine's code.
enum TTdbErrorNo : int {
  tdbErrCannotOpenFile = 1,
  tdbErrReadFile = 2,
  tdbErrWriteFile = 3,
  tdbErrIndexInsert = 4,
  tdbErrIndexDelete = 5,
  tdbErrNoSuitableIndex = 6,
  tdbErrSearchCondition = 7,
  tdbErrCloseFile = 10,
  tdbErrIndexDataTooLarge = 11,
  tdbErrOpenIndex = 12,
  tdbErrIndexMismatch = 13,
  tdbErrNotADataField = 14,
  tdbErrRecordNotFound = 19,
  tdbErrIndexFileExists = 22,
  tdbErrIndexAlreadyOpen = 23,
  tdbErrSyntax = 25,
  tdbErrInvalidFileName = 26,
  tdbErrIndexInconsistent = 28,
  tdbErrWrongFileVersion = 29,
  tdbErrNotUnique = 30,
  tdbErrOpenMemo = 31,
  tdbErrMemoBlobNotAllowed = 32,
  tdbErrWriteMemo = 33,
  tdbErrPermission = 34,
  tdbErrTableAlreadyOpen = 35,
  tdbErrIndexNotFound = 36,
  tdbErrFileNotFound = 37,
  tdbErrCredentials = 38,
  tdbErrExpressionIncomplete = 41,
  tdbErrOperatorNotAllowed = 42,
  tdbErrOutOfRange = 43,
  tdbErrTypeMismatch = 44,
  tdbErrCharNotAllowed = 45,
  tdbErrInvalidNumber = 46,
  tdbErrNullNotAccepted = 47,
  tdbErrLogicalOperandMissing = 48,
  tdbErrInvalidParameter = 49,
  tdbErrUnknownIdentifier = 50,
  tdbErrUnknown = 52,
  tdbErrNumberExpected = 55,
  tdbErrExpected = 56,
  tdbErrInvalidTableName = 58,
  tdbErrTooManyColumns = 59,
  tdbErrTooDeep = 60,
  tdbErrTooManyLevels = 61,
  tdbErrNoRecordIdColumn = 64,
  tdbErrTooManyIndexes = 67,
  tdbErrDuplicateIdentifier = 71,
  tdbErrFileExists = 72,
  tdbErrMoreThanOneAutoInc = 76,
  tdbErrNotEnoughSpaceOnPage = 79,
  tdbErrValueRange = 81,
  tdbErrDataFieldNotFound = 83,
  tdbErrTableNotFound = 88,
  tdbErrWriteIndex = 90,
  tdbErrReadIndex = 91,
  tdbErrTooManyTables = 94,
  tdbErrIndexCorrupt = 95,
  tdbErrInvalidIndexSpec = 98,
  tdbErrOutOfMemory = 99,
  tdbErrTableInUse = 103,
  tdbErrTableLocked = 104,
  tdbErrRecordBeingEdited = 105,
  tdbErrTimeout = 108,
  tdbErrLocking = 110,
  tdbErrOpenBlob = 111,
  tdbErrMemoDamaged = 112,
  tdbErrBlobDamaged = 113,
  tdbErrCanceled = 114,
  tdbErrNoWriteAccess = 115,
  tdbErrIndexInUse = 116,
  tdbErrLevelFeature = 117,
  tdbErrException = 123,
  tdbErrOldVersion = 124,
  tdbErrFileInUse = 130,
  tdbErrUnknownVersion = 134,
  tdbErrPlain = 135,
  tdbErrInvalidDate = 137,
  tdbErrNoCollation = 138,
  tdbErrInvalidTime = 140,
  tdbErrCreatePermission = 141,
  tdbErrReadPermission = 142,
  tdbErrZeroFieldSize = 143,
  tdbErrUnknownType = 144,
  tdbErrMemoBlobTooLarge = 156,
  tdbErrAutoIncModified = 157,
  tdbErrInvalidTimestamp = 158,
  tdbErrLanguageDriver = 159,
  tdbErrNoWritePermission = 160,
  tdbErrNotAValue = 161,
  tdbErrConstraint = 167,
  tdbErrBlobExpected = 168,
  tdbErrMemoExpected = 169,
  tdbErrLocksOnTable = 170,
  tdbErrCapacityReached = 171,
  tdbErrInvalidIdentifier = 173,
  tdbErrInvalidIndexName = 176,
  tdbErrDivisionByZero = 178,
  tdbErrNotInEditMode = 181,
  tdbErrNotPositioned = 182,
  tdbErrTransactionRunning = 183,
  tdbErrLockFileInvalid = 185,
  tdbErrInvalidPassword = 186,
  tdbErrNotSupported = 187,
  tdbErrStringLength = 189,
  tdbErrNoText = 9999,
};

class ETdbEngine : public std::exception {
 public:
  // Raises engine error `number`; each argument is a string or a number and
  // fills the next placeholder of the number's message format.
  template <typename... TArgs>
  explicit ETdbEngine(int number, TArgs&&... args)
      : FNumber(number), FArgs{ToArg(std::forward<TArgs>(args))...} {
    FormatMessage();
  }

  int Number() const noexcept { return FNumber; }
  const std::vector<std::string>& Args() const noexcept { return FArgs; }
  // The formatted message, UTF-8.
  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  static std::string ToArg(const std::string& s) { return s; }
  static std::string ToArg(std::string&& s) { return std::move(s); }
  static std::string ToArg(const char* s) { return s ? s : ""; }
  static std::string ToArg(std::string_view s) { return std::string(s); }
  template <typename T, typename = std::enable_if_t<std::is_arithmetic_v<std::decay_t<T>>>>
  static std::string ToArg(T value) {
    return std::to_string(value);
  }

  void FormatMessage();

  int FNumber;
  std::vector<std::string> FArgs;
  std::string FMessage;
};

}  // namespace kestrel
