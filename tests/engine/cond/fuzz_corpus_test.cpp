// Replays every input of the condition fuzzer's seed corpus (and the crashes
// it found, kept there) through the same checks the fuzzer makes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/fuzz/cond_text_check.h"

namespace kestrel {
namespace {

TEST(ConditionFuzzCorpus, EveryInputPassesTheChecks) {
  const std::filesystem::path corpus = std::filesystem::path(VENDRIK_SOURCE_DIR) / "tests/fuzz/corpus/cond_parser";
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::ifstream file(entry.path(), std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    EXPECT_EQ(test::CheckConditionText(content.str()), "") << entry.path();
    ++inputs;
  }
  EXPECT_GT(inputs, 0) << "no corpus in " << corpus;
}

}  // namespace
}  // namespace kestrel
