// The processor clock measurement (see processor_clock.h). Order, as for any
// priority change that must be undone: raise the process, then the thread;
// restore the thread, then the process.
#include "app/processor_clock.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#define VENDRIK_HAS_TSC 1
#endif

namespace vendrik {
namespace {

using namespace std::chrono_literals;

constexpr auto kSettleTime = 10ms;
constexpr auto kMeasureTime = 500ms;
constexpr int kHighestNice = -20;

// Raises the process's scheduling priority and the calling thread's to the
// top while it lives; gives back the previous settings when it goes.
class TPriorityRaise {
 public:
  TPriorityRaise() {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    if (errno == 0) {
      FOldNice = nice;
      FNiceRaised = setpriority(PRIO_PROCESS, 0, kHighestNice) == 0;
    }
    FThread = pthread_self();
    if (pthread_getschedparam(FThread, &FOldPolicy, &FOldParam) == 0) {
      sched_param top{};
      top.sched_priority = sched_get_priority_max(SCHED_FIFO);
      FThreadRaised = pthread_setschedparam(FThread, SCHED_FIFO, &top) == 0;
    }
  }
  ~TPriorityRaise() {
    if (FThreadRaised) pthread_setschedparam(FThread, FOldPolicy, &FOldParam);
    if (FNiceRaised) setpriority(PRIO_PROCESS, 0, FOldNice);
  }
  TPriorityRaise(const TPriorityRaise&) = delete;
  TPriorityRaise& operator=(const TPriorityRaise&) = delete;

 private:
  pthread_t FThread{};
  int FOldPolicy = SCHED_OTHER;
  sched_param FOldParam{};
  int FOldNice = 0;
  bool FThreadRaised = false;
  bool FNiceRaised = false;
};

}  // namespace

std::optional<double> MeasureProcessorClockMHz() {
#ifdef VENDRIK_HAS_TSC
  std::uint64_t startTicks = 0, endTicks = 0;
  std::chrono::steady_clock::time_point startTime, endTime;
  {
    TPriorityRaise raise;
    std::this_thread::sleep_for(kSettleTime);
    startTime = std::chrono::steady_clock::now();
    startTicks = __rdtsc();
    std::this_thread::sleep_for(kMeasureTime);
    endTicks = __rdtsc();
    endTime = std::chrono::steady_clock::now();
  }
  const double microseconds = std::chrono::duration<double, std::micro>(endTime - startTime).count();
  if (endTicks <= startTicks || microseconds <= 0) return std::nullopt;
  return static_cast<double>(endTicks - startTicks) / microseconds;
#else
  return std::nullopt;
#endif
}

}  // namespace vendrik
