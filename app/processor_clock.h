// Measures the processor's clock from its time-stamp counter: the counter is
// read twice, half a second apart, while the calling thread runs at the
// highest priority the system grants it, so that the two readings lie as
// close as possible to the ends of the interval. A raise the system refuses
// (an ordinary user may not take real-time priority) is ignored; the old
// priorities are restored afterwards in either case.
//
// The counter's ticks are divided by the interval measured on the monotonic
// clock, not by the half second asked for, so that a late wake-up does not
// inflate the result. Plain C++ and POSIX.
#pragma once

#include <optional>

namespace vendrik {

// Blocks the calling thread for a little more than half a second and returns
// the clock in MHz; no value when the processor has no time-stamp counter
// this program can read, or the clock did not advance. Thread-safe.
std::optional<double> MeasureProcessorClockMHz();

}  // namespace vendrik
