// The operating system's clock behind TdwClock: steady_clock for ticks,
// sleep_for, and a mutex-guarded generator seeded from random_device.
#include "engine/fs/clock.h"

#include <mutex>
#include <random>
#include <thread>

namespace kestrel {

TdwClock::~TdwClock() = default;

namespace {

class TdwOSClock final : public TdwClock {
 public:
  std::uint64_t GetTickCount() override {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
  }
  void Sleep(std::uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  std::uint32_t Random(std::uint32_t range) override {
    if (range == 0) return 0;
    std::lock_guard<std::mutex> guard(FMutex);
    return std::uniform_int_distribution<std::uint32_t>(0, range - 1)(FGenerator);
  }
  std::chrono::system_clock::time_point Now() override { return std::chrono::system_clock::now(); }

 private:
  std::mutex FMutex;
  std::mt19937 FGenerator{std::random_device{}()};
};

}  // namespace

TdwClock& DefaultClock() {
  static TdwOSClock clock;
  return clock;
}

}  // namespace kestrel
