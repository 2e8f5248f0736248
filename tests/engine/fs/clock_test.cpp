// The operating system's clock: random numbers stay in their range and the
// tick counter never goes back.
#include "engine/fs/clock.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(Clock, RandomStaysInRangeAndTicksDoNotGoBack) {
  TdwClock& clock = DefaultClock();
  EXPECT_EQ(clock.Random(0), 0u);
  for (std::uint32_t range : {1u, 2u, 5u, 1000u})
    for (int i = 0; i < 200; ++i) EXPECT_LT(clock.Random(range), range);
  const std::uint64_t start = clock.GetTickCount();
  clock.Sleep(2);
  EXPECT_GE(clock.GetTickCount(), start + 2);
}

}  // namespace
}  // namespace kestrel
