// The process's unlock thread.
#include "engine/locking/unlock_thread.h"

#include <algorithm>

namespace kestrel {

ITdbUnlockable::~ITdbUnlockable() = default;

TTdbUnlockThread& TTdbUnlockThread::Instance() {
  static TTdbUnlockThread thread;
  return thread;
}

TTdbUnlockThread::~TTdbUnlockThread() {
  if (FThread.joinable()) {
    FThread.request_stop();
    FThread.join();
  }
}

void TTdbUnlockThread::Register(ITdbUnlockable* table) {
  std::lock_guard lock(FMutex);
  if (std::find(FTables.begin(), FTables.end(), table) == FTables.end()) FTables.push_back(table);
  if (!FThread.joinable()) FThread = std::jthread([this](std::stop_token stop) { Run(stop); });
}

void TTdbUnlockThread::Unregister(ITdbUnlockable* table) {
  std::lock_guard lock(FMutex);
  std::erase(FTables, table);
}

void TTdbUnlockThread::Run(std::stop_token stop) {
  TdwClock& clock = DefaultClock();
  while (!stop.stop_requested()) {
    clock.Sleep(kUnlockThreadPeriodMs);
    std::lock_guard lock(FMutex);
    const std::uint64_t ticks = clock.GetTickCount();
    for (ITdbUnlockable* table : FTables) table->CheckUnlock(ticks);
  }
}

}  // namespace kestrel
