// The operating system's clock behind TdwClock: steady_clock for ticks,
// sleep_for, and a mutex-guarded generator seeded from random_device.
#include "engine/fs/clock.h"

#include <ctime>
#include <mutex>
#include <random>
#include <thread>

#include "engine/fs/file_system.h"

namespace kestrel {

TdwClock::~TdwClock() = default;

TdwLocalTime TdwClock::LocalNow() {
  const auto now = Now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
          local.tm_min,         local.tm_sec,     static_cast<int>(millis < 0 ? millis + 1000 : millis)};
}

bool TdwClock::SleepOn(TdwFileWatch&, std::uint32_t milliseconds) {
  Sleep(milliseconds);
  return false;
}

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
  std::uint64_t RandomBits() override {
    std::lock_guard<std::mutex> guard(FMutex);
    return (static_cast<std::uint64_t>(FGenerator()) << 32) | FGenerator();
  }
  std::chrono::system_clock::time_point Now() override { return std::chrono::system_clock::now(); }
  bool SleepOn(TdwFileWatch& watch, std::uint32_t milliseconds) override {
    return watch.Wait(static_cast<int>(milliseconds));
  }

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
