// Exported relation functions of the flat call interface.
#include <cstring>

#include "engine/api/api_dispatch.h"
#include "engine/api/kestrel.h"
#include "engine/api/text_buffer.h"

using namespace kestrel;

namespace {

// Runs an index lookup of a relation: a missing index answers -16 (and is
// recorded), other engine failures -100.
template <typename TBody>
std::int32_t IndexLookup(const TTdbRelationRef& relation, TBody&& body) {
  try {
    return body();
  } catch (const ETdbEngine& error) {
    if (error.Number() != tdbErrIndexNotFound) throw;
    relation.FSession->Services().SetLastError(error);
    return kResultIndexNotExists;
  }
}

}  // namespace

extern "C" {

int32_t TdbRltnGetTableInfo(int16_t RltnHdl, TTdbTableInfo* TableInfo) {
  return WithRelation(RltnHdl, kResultEngineError, [&](const TTdbRelationRef& relation) {
    if (!TableInfo) return kResultBufferTooSmall;
    const TTdbRelationInfo info = relation.FTable->GetTableInfo();
    TTdbTableInfo result;
    std::memset(&result, 0, sizeof result);
    result.Level = static_cast<std::int16_t>(info.FLevel);
    result.EncryptionMethod = info.FEncryptionMethod;
    result.Capacity = info.FCapacity;
    if (!WriteTextFit(info.FFileName, result.FileName, std::size(result.FileName)) ||
        !WriteTextFit(info.FCollationName, result.Language, std::size(result.Language)))
      return kResultBufferTooSmall;
    *TableInfo = result;
    return kResultOk;
  });
}

int32_t TdbRltnGetIndexNames(int16_t RltnHdl, TdbChar* Names, int32_t MaxLen) {
  return WithRelation(RltnHdl, kResultEngineError, [&](const TTdbRelationRef& relation) {
    const std::vector<std::u16string> names = relation.FTable->GetIndexNames();
    const auto count = static_cast<std::int32_t>(names.size());
    if (!Names && MaxLen == 0) return count;
    std::size_t needed = 1;
    for (const std::u16string& name : names) needed += name.size() + 1;
    if (!Names || MaxLen < 0 || needed > static_cast<std::size_t>(MaxLen))
      return kResultBufferTooSmall;
    TdbChar* out = Names;
    for (const std::u16string& name : names) {
      std::memcpy(out, name.data(), name.size() * sizeof(TdbChar));
      out += name.size();
      *out++ = u'\0';
    }
    *out = u'\0';
    return count;
  });
}

int32_t TdbRltnGetIndexDesc(int16_t RltnHdl, const TdbChar* IndexName, TdbChar* Desc,
                            int32_t MaxLen) {
  return WithRelation(RltnHdl, kResultEngineError, [&](const TTdbRelationRef& relation) {
    return IndexLookup(relation, [&]() -> std::int32_t {
      const std::u16string text = relation.FTable->GetIndexDescription(ReadText(IndexName));
      return WriteTextWhole(text, Desc, MaxLen) ? kResultOk : kResultBufferTooSmall;
    });
  });
}

int32_t TdbRltnGetRealIndexName(int16_t RltnHdl, const TdbChar* IndexName, TdbChar* RealIndexName,
                                int32_t MaxLen) {
  return WithRelation(RltnHdl, kResultEngineError, [&](const TTdbRelationRef& relation) {
    return IndexLookup(relation, [&]() -> std::int32_t {
      const std::u16string name = relation.FTable->GetRealIndexName(ReadText(IndexName));
      return WriteTextWhole(name, RealIndexName, MaxLen) ? kResultOk : kResultBufferTooSmall;
    });
  });
}

int32_t TdbRltnActivateEditLocks(int16_t RltnHdl, uint8_t Value) {
  return WithRelation(RltnHdl, kResultEngineError, [&](const TTdbRelationRef& relation) {
    relation.FTable->ActivateEditLocks(Value != 0);
    return kResultOk;
  });
}

}  // extern "C"
