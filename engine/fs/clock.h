// TdwClock: time, sleeping and chance for the engine. Lock polling, time-outs,
// the unlock thread, the date and time functions of conditions, and every
// random number (station numbers, GUIDs, key check strings) ask this
// interface instead of the operating system, so tests can run them on a
// clock of their own.
//
// DefaultClock() is the process-wide clock on the operating system; it is
// thread-safe. Other clocks are passed explicitly to the objects that use them.
#pragma once

#include <chrono>
#include <cstdint>

namespace kestrel {

class TdwFileWatch;

// A moment in the local time zone.
struct TdwLocalTime {
  int FYear = 1;
  int FMonth = 1;   // 1..12
  int FDay = 1;     // 1..31
  int FHour = 0;    // 0..23
  int FMinute = 0;  // 0..59
  int FSecond = 0;  // 0..59
  int FMillisecond = 0;
};

class TdwClock {
 public:
  virtual ~TdwClock();
  // Milliseconds of a monotonic counter (never goes back).
  virtual std::uint64_t GetTickCount() = 0;
  // Waits for the given number of milliseconds.
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Waits until the watched file is written or the milliseconds passed;
  // true when it was written. The operating system's clock sleeps on the
  // watch; any other clock lets the time pass as Sleep does and answers false.
  virtual bool SleepOn(TdwFileWatch& watch, std::uint32_t milliseconds);
  // A pseudo-random number in [0, range); 0 when range is 0.
  virtual std::uint32_t Random(std::uint32_t range) = 0;
  // 64 pseudo-random bits.
  virtual std::uint64_t RandomBits() = 0;
  // The current date and time.
  virtual std::chrono::system_clock::time_point Now() = 0;
  // Now() in the local time zone (the operating system's zone rules).
  virtual TdwLocalTime LocalNow();
};

// The operating system's clock.
TdwClock& DefaultClock();

}  // namespace kestrel
