// TFixedClock: a clock that stands still. Its local time and the random bits
// it hands out are set by the test, so date, time and random functions give
// exact values; ticks advance only by Sleep.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "engine/fs/clock.h"

namespace kestrel::test {

class TFixedClock : public TdwClock {
 public:
  explicit TFixedClock(TdwLocalTime local) : FLocal(local) {}

  std::uint64_t GetTickCount() override { return FTicks; }
  void Sleep(std::uint32_t milliseconds) override { FTicks += milliseconds; }
  std::uint32_t Random(std::uint32_t range) override {
    return range == 0 ? 0 : static_cast<std::uint32_t>(RandomBits() % range);
  }
  // The set bits in turn, from the first again after the last; 0 when none.
  std::uint64_t RandomBits() override {
    if (FBits.empty()) return 0;
    const std::uint64_t bits = FBits[FNextBits];
    FNextBits = (FNextBits + 1) % FBits.size();
    return bits;
  }
  std::chrono::system_clock::time_point Now() override { return {}; }
  TdwLocalTime LocalNow() override { return FLocal; }

  TdwLocalTime FLocal;
  std::vector<std::uint64_t> FBits;

 private:
  std::uint64_t FTicks = 0;
  size_t FNextBits = 0;
};

}  // namespace kestrel::test
