// Recording a condition error with its position in a session's last-error
// record (kept apart from the cursor's unit, which sees the table object's
// constants, not the session's).
#pragma once

#include <string>

namespace kestrel {

class TTdbServices;
class ETdbCompilerError;

// Sets the last error to `error` and adds the condition text and the
// error's line and position.
void RecordConditionError(TTdbServices& services, const ETdbCompilerError& error, const std::u16string& text);

}  // namespace kestrel
