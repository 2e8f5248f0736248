// TTdbUnlockThread: the process's background thread that gives back table
// locks nobody needs any more. A table object that holds a lock in its lock
// file keeps it after its last End call (so calls that follow one another
// closely touch the file once); every 5 ms this thread asks each registered
// table to lower what it holds (ITdbUnlockable::CheckUnlock), and the table
// does so once it has been idle for a while.
//
// The thread holds its list's mutex while it visits the tables, so
// Unregister returns only when no visit of that table runs any more. A
// table's CheckUnlock must never wait for a lock its own thread might hold
// while calling Unregister (it only tries its locking mutex).
#pragma once

#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/fs/clock.h"

namespace kestrel {

class ITdbUnlockable {
 public:
  virtual ~ITdbUnlockable();
  // Gives back what is no longer needed; ticks: the clock's tick count now.
  virtual void CheckUnlock(std::uint64_t ticks) noexcept = 0;
};

inline constexpr std::uint32_t kUnlockThreadPeriodMs = 5;

class TTdbUnlockThread {
 public:
  // The process's thread; it starts with the first registration.
  static TTdbUnlockThread& Instance();
  TTdbUnlockThread(const TTdbUnlockThread&) = delete;
  TTdbUnlockThread& operator=(const TTdbUnlockThread&) = delete;
  ~TTdbUnlockThread();

  void Register(ITdbUnlockable* table);
  void Unregister(ITdbUnlockable* table);

 private:
  TTdbUnlockThread() = default;
  void Run(std::stop_token stop);

  std::mutex FMutex;
  std::vector<ITdbUnlockable*> FTables;
  std::jthread FThread;
};

}  // namespace kestrel
