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

// Engine error numbers; error_formats.cpp holds the message format of each.
enum TTdbErrorNo : int {
  tdbErrCannotOpenFile = 1,
  tdbErrReadFile = 2,
  tdbErrWriteFile = 3,
  tdbErrIndexInsert = 4,
  tdbErrIndexDelete = 5,
  tdbErrNoSuitableIndex = 6,
  tdbErrSearchCondition = 7,
  tdbErrImport = 8,
  tdbErrOutputFormat = 9,
  tdbErrCloseFile = 10,
  tdbErrIndexDataTooLarge = 11,
  tdbErrOpenIndex = 12,
  tdbErrIndexMismatch = 13,
  tdbErrNotADataField = 14,
  tdbErrLinkAcrossDatabases = 16,
  tdbErrInvalidTextFile = 18,
  tdbErrRecordNotFound = 19,
  tdbErrModuleNotFound = 20,
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
  tdbErrArrayExpected = 51,
  tdbErrUnknown = 52,
  tdbErrTooManyVariables = 53,
  tdbErrAssignmentMissing = 54,
  tdbErrNumberExpected = 55,
  tdbErrExpected = 56,
  tdbErrColumnCountMismatch = 57,
  tdbErrInvalidTableName = 58,
  tdbErrTooManyColumns = 59,
  tdbErrTooDeep = 60,
  tdbErrTooManyLevels = 61,
  tdbErrNoRecordIdColumn = 64,
  tdbErrLinkedTableNotFound = 65,
  tdbErrRestructureRight = 66,
  tdbErrTooManyIndexes = 67,
  tdbErrEmptySelection = 68,
  tdbErrMissingFormula = 69,
  tdbErrInvalidRangeConstraint = 70,
  tdbErrDuplicateIdentifier = 71,
  tdbErrFileExists = 72,
  tdbErrTooManyLinkFields = 73,
  tdbErrTooManyDigits = 74,
  tdbErrStatementTooLong = 75,
  tdbErrMoreThanOneAutoInc = 76,
  tdbErrTooFewPlaceholders = 77,
  tdbErrTooManyPlaceholders = 78,
  tdbErrNotEnoughSpaceOnPage = 79,
  tdbErrSeveralStandardIndexes = 80,
  tdbErrValueRange = 81,
  tdbErrCommandNotAllowed = 82,
  tdbErrDataFieldNotFound = 83,
  tdbErrNoStandardIndex = 84,
  tdbErrDefinitionMissing = 85,
  tdbErrReportBandOrder = 86,
  tdbErrInvalidAccess = 87,
  tdbErrTableNotFound = 88,
  tdbErrVariableExpected = 89,
  tdbErrWriteIndex = 90,
  tdbErrReadIndex = 91,
  tdbErrSubreportEnd = 92,
  tdbErrKeywordNotAllowed = 93,
  tdbErrTooManyTables = 94,
  tdbErrIndexCorrupt = 95,
  tdbErrBlockNotTerminated = 97,
  tdbErrInvalidIndexSpec = 98,
  tdbErrOutOfMemory = 99,
  tdbErrLocalProcedures = 101,
  tdbErrEndprocExpected = 102,
  tdbErrTableInUse = 103,
  tdbErrTableLocked = 104,
  tdbErrRecordBeingEdited = 105,
  tdbErrLogin = 106,
  tdbErrInvalidConnection = 107,
  tdbErrTimeout = 108,
  tdbErrNetwork = 109,
  tdbErrLocking = 110,
  tdbErrOpenBlob = 111,
  tdbErrMemoDamaged = 112,
  tdbErrBlobDamaged = 113,
  tdbErrCanceled = 114,
  tdbErrNoWriteAccess = 115,
  tdbErrIndexInUse = 116,
  tdbErrLevelFeature = 117,
  tdbErrExternalProcedure = 118,
  tdbErrExternalProcedureNotFound = 119,
  tdbErrOdbcInit = 120,
  tdbErrOdbcDataSource = 121,
  tdbErrSqlQuery = 122,
  tdbErrException = 123,
  tdbErrOldVersion = 124,
  tdbErrAssignToConstant = 125,
  tdbErrObjectNeeded = 126,
  tdbErrArrayTooLarge = 127,
  tdbErrFullTextCondition = 128,
  tdbErrUnknownDbaseVersion = 129,
  tdbErrFileInUse = 130,
  tdbErrUnknownClass = 132,
  tdbErrInvalidObjectReference = 133,
  tdbErrUnknownVersion = 134,
  tdbErrPlain = 135,
  tdbErrNotAMember = 136,
  tdbErrInvalidDate = 137,
  tdbErrNoCollation = 138,
  tdbErrAggregateNotNumeric = 139,
  tdbErrInvalidTime = 140,
  tdbErrCreatePermission = 141,
  tdbErrReadPermission = 142,
  tdbErrZeroFieldSize = 143,
  tdbErrUnknownType = 144,
  tdbErrAutoIncUndefined = 145,
  tdbErrIncompatibleJoin = 146,
  tdbErrMixedLanguageDrivers = 147,
  tdbErrCreateIndexPermission = 149,
  tdbErrTooManyValues = 150,
  tdbErrEquateJoinSides = 151,
  tdbErrDbaseStructure = 152,
  tdbErrExternalTable = 153,
  tdbErrRelationTableOpen = 154,
  tdbErrDeleteFiles = 155,
  tdbErrMemoBlobTooLarge = 156,
  tdbErrAutoIncModified = 157,
  tdbErrInvalidTimestamp = 158,
  tdbErrLanguageDriver = 159,
  tdbErrNoWritePermission = 160,
  tdbErrNotAValue = 161,
  tdbErrFieldTypeRequired = 162,
  tdbErrOleCall = 165,
  tdbErrModuleRecursion = 166,
  tdbErrConstraint = 167,
  tdbErrBlobExpected = 168,
  tdbErrMemoExpected = 169,
  tdbErrLocksOnTable = 170,
  tdbErrCapacityReached = 171,
  tdbErrGroupBy = 172,
  tdbErrInvalidIdentifier = 173,
  tdbErrAmbiguousIdentifier = 174,
  tdbErrTableStillAccessed = 175,
  tdbErrInvalidIndexName = 176,
  tdbErrTooFewArguments = 177,
  tdbErrDivisionByZero = 178,
  tdbErrParentRowMissing = 179,
  tdbErrIntegrityRule = 180,
  tdbErrNotInEditMode = 181,
  tdbErrNotPositioned = 182,
  tdbErrTransactionRunning = 183,
  tdbErrParentTableNotFound = 184,
  tdbErrLockFileInvalid = 185,
  tdbErrInvalidPassword = 186,
  tdbErrNotSupported = 187,
  tdbErrOrderBy = 188,
  tdbErrStringLength = 189,
  tdbErrInvalidRelationTable = 190,
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

  // Records where a damaged file was detected (`file` and `line`, as
  // __builtin_FILE() and __builtin_LINE() give them at the check) in debug
  // builds; release builds keep nothing. Answers the error, for `throw
  // ETdbEngine(...).At(file, line)`. The message does not change.
  ETdbEngine& At(const char* file, unsigned line) noexcept;
  // Takes over the check location of `cause`, for an error raised in place
  // of it (the same damage told with another number). Answers the error.
  ETdbEngine& AtCheckOf(const ETdbEngine& cause) noexcept;
  // "file:line" of the check that detected the damage; "" in release builds
  // and for errors raised without At.
  std::string SourceLocation() const;

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
  const char* FSourceFile = nullptr;
  unsigned FSourceLine = 0;
};

}  // namespace kestrel
