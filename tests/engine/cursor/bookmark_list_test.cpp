// The record-number list of static filters: Sort against std::sort on lists
// with holes, duplicates, and record numbers up to the largest.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/cursor/bookmark_list.h"

namespace kestrel::test {
namespace {

TEST(BookmarkList, SortOrdersLiveEntriesAndDropsHoles) {
  struct Case {
    int Count;
    std::int32_t Highest;
  };
  const Case cases[] = {{0, 1}, {1, 5}, {2, 2}, {300, 40}, {5000, 2047}, {5000, 2048}, {20000, 3000000},
                        {20000, 2147483647}};
  std::mt19937 random(11);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Count) + " entries up to " + std::to_string(c.Highest));
    std::uniform_int_distribution<std::int32_t> pick(1, c.Highest);
    TTdbBookmarkList list;
    std::vector<std::int32_t> model;
    for (int i = 0; i < c.Count; ++i) {
      const std::int32_t recNo = i % 7 == 3 ? c.Highest : pick(random);
      list.Append(recNo);
      model.push_back(recNo);
    }
    // Holes in the middle of the list.
    for (int i = 0; i < c.Count / 10; ++i) {
      const std::int32_t gone = model[static_cast<std::size_t>(i * 7 % c.Count)];
      if (list.Delete(gone) >= 0) model.erase(std::find(model.begin(), model.end(), gone));
    }
    std::sort(model.begin(), model.end());
    list.Sort();
    EXPECT_EQ(list.Size(), list.Count());
    EXPECT_EQ(list.Items(), model);
  }
}

}  // namespace
}  // namespace kestrel::test
