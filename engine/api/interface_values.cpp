// The numbers kestrel.h repeats for C callers are defined once in the
// engine; these checks keep the two in step.
#include "engine/api/kestrel.h"
#include "engine/base/column_type.h"
#include "engine/cursor/cursor.h"
#include "engine/session/catalog.h"
#include "engine/table/column_definition.h"
#include "engine/session/result_codes.h"
#include "engine/table/relation.h"

namespace kestrel {

static_assert(TDB_TYPE_CHAR == tctChar && TDB_TYPE_STRING == tctString && TDB_TYPE_INT16 == tctInt16);
static_assert(TDB_TYPE_FLOAT == tctFloat && TDB_TYPE_BYTE == tctByte && TDB_TYPE_BOOLEAN == tctBoolean);
static_assert(TDB_TYPE_DATE == tctDate && TDB_TYPE_MEMO == tctMemo && TDB_TYPE_ENUM == tctEnum);
static_assert(TDB_TYPE_RECORD_ID == tctRecordId && TDB_TYPE_LINK == tctLink && TDB_TYPE_BLOB == tctBlob);
static_assert(TDB_TYPE_RELATION == tctRelation && TDB_TYPE_TIME == tctTime && TDB_TYPE_LONG_INT == tctLongInt);
static_assert(TDB_TYPE_DATE_TIME == tctDateTime && TDB_TYPE_WIDE_STRING == tctWideString);
static_assert(TDB_TYPE_WIDE_MEMO == tctWideMemo && TDB_TYPE_INT64 == tctInt64 && TDB_TYPE_GUID == tctGuid);
static_assert(TDB_FIELD_RECOMPUTED == kColumnOptionRecompute && TDB_FIELD_NULL_BYTE == kColumnOptionNullByte);
static_assert(TDB_FIELD_NULLABLE == kColumnOptionNullable);
static_assert(TDB_FILTER_STATIC == kFilterModeStatic && TDB_FILTER_INCREMENTAL == kFilterModeIncremental);
static_assert(TDB_FILTER_SELECT_ADD == kFilterModeSelectAdd && TDB_FILTER_SELECT_KEEP == kFilterModeSelectKeep &&
              TDB_FILTER_SELECT_ADD_VISIBLE == kFilterModeSelectAddVisible);
static_assert(TDB_OK == kResultOk);
static_assert(TDB_ERR_CANNOT_OPEN_TABLE == kResultCannotOpenTable);
static_assert(TDB_ERR_OUT_OF_MEMORY == kResultOutOfMemory);
static_assert(TDB_ERR_RECORD_NOT_EXISTS == kResultRecordNotExists);
static_assert(TDB_ERR_WRONG_PASSWORD == kResultWrongPassword);
static_assert(TDB_ERR_INDEX_NOT_EXISTS == kResultIndexNotExists);
static_assert(TDB_ERR_INVALID_RELATION == kResultInvalidRelation);
static_assert(TDB_ERR_INVALID_CONDITION == kResultInvalidCondition);
static_assert(TDB_ERR_CANNOT_CREATE_SESSION == kResultCannotCreateSession);
static_assert(TDB_ERR_DATABASE_NOT_FOUND == kResultDatabaseNotFound);
static_assert(TDB_ERR_ENGINE == kResultEngineError);
static_assert(TDB_ERR_INVALID_TABLE == kResultInvalidTable);
static_assert(TDB_ERR_EXCEPTION == kResultException);
static_assert(TDB_ERR_BUFFER_TOO_SMALL == kResultBufferTooSmall);
static_assert(TDB_ERR_INVALID_SESSION == kResultInvalidSession);
static_assert(TDB_ERR_READ_TABLE == kResultReadTable);

static_assert(TDB_DB_READ_ONLY == kDbAttrReadOnly);
static_assert(TDB_DB_EXCLUSIVE == kDbAttrExclusive);
static_assert(TDB_DB_SECURE_FLUSH == kDbAttrSecureFlush);
static_assert(TDB_DB_SHARED_READ_ONLY == kDbAttrSharedReadOnly);

static_assert(TDB_RIGHT_APPEND == tarAppend);
static_assert(TDB_RIGHT_EDIT == tarEdit);
static_assert(TDB_RIGHT_DELETE == tarDelete);
static_assert(TDB_RIGHT_INDEX == tarIndex);
static_assert(TDB_RIGHT_EXCLUSIVE == kRightExclusive);
static_assert(TDB_RIGHT_SECURE_FLUSH == kRightSecureFlush);
static_assert(TDB_RIGHT_SHARED_READ_ONLY == kRightSharedReadOnly);

static_assert(TDB_MANAGEMENT_UNMANAGED == tmlUnmanaged);
static_assert(TDB_MANAGEMENT_MANAGED == tmlManaged);

}  // namespace kestrel
