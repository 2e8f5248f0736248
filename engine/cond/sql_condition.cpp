// TTdbSqlCondition and its parameter list (see sql_condition.h).
#include "engine/cond/sql_condition.h"

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/cond/cond_evaluate.h"
#include "engine/cond/cond_prepare.h"
#include "engine/cond/sql_optimizer.h"
#include "engine/cond/sql_parser.h"

namespace kestrel {

namespace {

// Variable names are kept in upper case, without their ":".
std::u16string VariableKey(std::u16string_view name) {
  if (!name.empty() && name[0] == u':') name.remove_prefix(1);
  std::u16string key(name);
  for (char16_t& c : key)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return key;
}

}  // namespace

void TTdbVariables::Set(std::u16string_view name, const TCondDataType& type, const TCondValue& value) {
  TVariable& variable = Get(name);
  variable.FHasType = true;
  variable.FDataType = type;
  variable.FHasValue = true;
  variable.FValue = value;
}

TTdbVariables::TVariable& TTdbVariables::Get(std::u16string_view name) { return FVariables[VariableKey(name)]; }

std::unique_ptr<TTdbSearchCondition> ParseAndOptimize(std::u16string_view text, bool allowLocalFormats,
                                                      char16_t localDecimalSeparator) {
  TSqlParser parser(text, allowLocalFormats, localDecimalSeparator);
  std::unique_ptr<TTdbSearchCondition> condition = parser.ParseCondition();
  Optimize(condition);
  return condition;
}

TTdbSqlCondition::TTdbSqlCondition(std::u16string source) : FSource(std::move(source)) {}

TTdbSqlCondition::~TTdbSqlCondition() = default;

void TTdbSqlCondition::Prepare(const ICondRecordSource& records, TTdbPrepareOptions options,
                               TTdbVariables* variables, const TCondLocalFormats* localFormats) {
  Unprepare();
  if (FSource.empty()) return;
  TCondLocalFormats formats;
  if (localFormats) formats = *localFormats;
  else if (options & tpoLocalFormats) formats = DefaultLocalFormats();
  std::unique_ptr<TTdbSearchCondition> tree;
  try {
    tree = ParseAndOptimize(FSource, options & tpoLocalFormats, formats.FDecimalSeparator);
  } catch (const ESqlParser& error) {
    throw ETdbCompilerError(error.Position(), tdbErrSyntax, error.Message());
  }
  PrepareSearchCondition(*tree, {records, options, variables, formats, FSource});
  FSearchCondition = std::move(tree);
  FRecords = &records;
  FVariables = variables;
}

void TTdbSqlCondition::Unprepare() {
  FSearchCondition.reset();
  FRecords = nullptr;
  FVariables = nullptr;
}

TCondTruth TTdbSqlCondition::EvaluateTruth() {
  if (FSource.empty()) return ctTrue;
  if (!FSearchCondition) throw ETdbEngine(tdbErrSearchCondition, Utf16ToUtf8(FSource));
  return EvaluateSearchCondition(*FSearchCondition, {*FRecords, FVariables, FSource, *FClock});
}

bool TTdbSqlCondition::Evaluate() { return EvaluateTruth() == ctTrue; }

std::unique_ptr<TTdbSqlCondition> TTdbSqlCondition::Clone() const {
  auto clone = std::make_unique<TTdbSqlCondition>(FSource);
  clone->SetClock(*FClock);
  return clone;
}

}  // namespace kestrel
