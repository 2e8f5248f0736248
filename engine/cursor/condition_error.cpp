// Condition errors in the last-error record.
#include "engine/cursor/condition_error.h"

#include "engine/cond/sql_errors.h"
#include "engine/session/services.h"

namespace kestrel {

void RecordConditionError(TTdbServices& services, const ETdbCompilerError& error, const std::u16string& text) {
  services.SetLastError(error);
  services.SetLastErrorPosition(text, error.ErrorLineNo(), error.ErrorPos());
}

}  // namespace kestrel
