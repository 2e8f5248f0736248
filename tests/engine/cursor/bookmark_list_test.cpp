// The record-number list of static filters: Sort against std::sort on lists
// with holes, duplicates, and record numbers up to the largest; record
// numbers gathered as bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/cursor/bookmark_list.h"

namespace kestrel::test {
namespace {

TEST(BookmarkList, SortOrdersLiveEntriesAndDropsHoles) {
  // Distinct numbers, as a filter collects them, dense or sparse for their
  // span; the others repeat the highest number every seventh entry.
  struct Case {
    int Count;
    std::int32_t Highest;
    bool Distinct;
  };
  const Case cases[] = {{0, 1, false},        {1, 5, false},          {2, 2, false},
                        {300, 40, false},     {5000, 2047, false},    {5000, 2048, false},
                        {20000, 3000000, false}, {20000, 2147483647, false}, {3000, 3000, true},
                        {5000, 6000, true},   {100, 12800, true},     {100, 12799, true},
                        {1000, 100000, true}};
  std::mt19937 random(11);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Count) + " entries up to " + std::to_string(c.Highest) +
                 (c.Distinct ? ", distinct" : ""));
    std::uniform_int_distribution<std::int32_t> pick(1, c.Highest);
    TTdbBookmarkList list;
    std::vector<std::int32_t> model;
    std::vector<std::int32_t> distinct;
    if (c.Distinct) {
      for (std::int32_t r = 1; r < c.Highest; ++r) distinct.push_back(r);
      std::shuffle(distinct.begin(), distinct.end(), random);
      distinct.resize(static_cast<std::size_t>(c.Count - 1));
      distinct.push_back(c.Highest);
      std::shuffle(distinct.begin(), distinct.end(), random);
    }
    for (int i = 0; i < c.Count; ++i) {
      const std::int32_t recNo = c.Distinct ? distinct[static_cast<std::size_t>(i)] : i % 7 == 3 ? c.Highest : pick(random);
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

TEST(RecordNoBits, ReadOutAscendingOnceEach) {
  // Room for 100 at first; 64, 65 and 5000 lie beyond a word or the room,
  // 0 and negative numbers are no records, 7 comes twice.
  TTdbRecordNoBits bits(100);
  for (std::int32_t recNo : {5000, 7, 65, 0, 1, 64, -3, 7, 100, 63})
    bits.Add(recNo);
  TTdbBookmarkList list;
  list.Append(2);
  bits.AppendTo(list);
  EXPECT_EQ(list.Items(), (std::vector<std::int32_t>{2, 1, 7, 63, 64, 65, 100, 5000}));
  EXPECT_EQ(list.Count(), 8);
}

}  // namespace
}  // namespace kestrel::test
