/* Compiles the engine's public header as C (the record layouts are checked
 * by its static assertions) and makes a few calls through it. Exits 0 when
 * every check holds. */
#include <stdio.h>

#include "engine/api/kestrel.h"

static int failures = 0;

static void Check(int condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "failed: %s\n", what);
    ++failures;
  }
}

static void OnMoved(void* user, int16_t sess, int16_t table, int32_t newRecNo, int32_t oldRecNo) {
  (void)user;
  (void)sess;
  (void)table;
  (void)newRecNo;
  (void)oldRecNo;
}

int main(void) {
  static const TdbChar kEmpty[] = {0};
  TdbChar text[8] = {0};
  TTdbChangeCallback callback = OnMoved;
  int32_t session;

  Check(TdbGetVersion() == TDB_VERSION, "version");
  Check(TdbGetErrorMsg(TDB_ERR_INVALID_TABLE, text, 3) == 0, "error text");
  Check(text[0] == 'T' && text[1] == 'h' && text[2] == 'e' && text[3] == 0, "cut to MaxLen");
  Check(TdbTableFirst(0) == TDB_ERR_INVALID_TABLE, "table handle 0");
  Check(TdbTableSetChangeCallback(0, callback, NULL) == TDB_ERR_INVALID_TABLE, "callback");
  Check(TdbRltnGetTableInfo(0, NULL) == TDB_ERR_INVALID_RELATION, "relation handle 0");
  session = TdbCreateSession(kEmpty);
  Check(session > 0, "session");
  Check(TdbSessIsSingleFile((int16_t)session) == 0, "no database yet");
  Check(TdbSessDelete((int16_t)session) == 0, "delete");
  Check(TdbSessDelete((int16_t)session) == TDB_ERR_INVALID_SESSION, "deleted session");
  return failures == 0 ? 0 : 1;
}
