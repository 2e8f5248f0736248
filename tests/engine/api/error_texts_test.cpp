// Message formatting of engine errors and result-code lookups.
#include <gtest/gtest.h>

#include "engine/api/error_texts.h"
#include "engine/base/engine_error.h"

namespace kestrel {
namespace {

TEST(ErrorTexts, ResultCodes) {
  struct Case {
    int code;
    const char* text;
  } cases[] = {
      {0, "No error"},
      {-101, "The table handle is invalid"},
      {-205, "Import failed"},
      {1, "Unknown error"},
      {-9, "Unknown error"},
  };
  for (const Case& c : cases) EXPECT_EQ(ResultCodeText(c.code), c.text) << c.code;
}

TEST(ErrorTexts, EngineMessages) {
  struct Case {
    ETdbEngine error;
    const char* message;
  } cases[] = {
      {ETdbEngine(tdbErrCannotOpenFile, "a.dat"), "Cannot open file \"a.dat\""},
      {ETdbEngine(tdbErrStringLength, 300, 1, 255),
       "String type has a length of 300, which is outside the allowed range of 1 to 255"},
      {ETdbEngine(tdbErrStringLength, "x", 1, 255),
       "Invalid error message: String type has a length of %d, which is outside the allowed range of %d to %d"},
      {ETdbEngine(tdbErrCannotOpenFile), "Invalid error message: Cannot open file \"%s\""},
      {ETdbEngine(tdbErrNoText), ""},
      {ETdbEngine(tdbErrInvalidRelationTable), "Ungültige Relationstabelle"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.error.Message(), c.message) << c.error.Number();
}

}  // namespace
}  // namespace kestrel
