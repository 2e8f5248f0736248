// Lock annotations for clang's thread-safety analysis (-Wthread-safety), and
// TdwMutex, a mutex the analysis understands. A member marked
// TDW_GUARDED_BY(m) may only be touched with m held; a function marked
// TDW_REQUIRES(m) may only be called with m held. With other compilers the
// annotations are empty; debug builds still check TdwMutex::AssertHeld.
#pragma once

#include <atomic>
#include <cassert>
#include <mutex>
#include <thread>

#if defined(__clang__)
#define TDW_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define TDW_THREAD_ANNOTATION(x)
#endif

#define TDW_CAPABILITY(name) TDW_THREAD_ANNOTATION(capability(name))
#define TDW_SCOPED_CAPABILITY TDW_THREAD_ANNOTATION(scoped_lockable)
#define TDW_GUARDED_BY(m) TDW_THREAD_ANNOTATION(guarded_by(m))
#define TDW_PT_GUARDED_BY(m) TDW_THREAD_ANNOTATION(pt_guarded_by(m))
#define TDW_REQUIRES(...) TDW_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define TDW_ACQUIRE(...) TDW_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define TDW_RELEASE(...) TDW_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TDW_ASSERT_CAPABILITY(m) TDW_THREAD_ANNOTATION(assert_capability(m))
#define TDW_EXCLUDES(...) TDW_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))

namespace kestrel {

// A non-recursive mutex. Debug builds remember the owning thread, so
// AssertHeld can check a lock requirement at run time too.
class TDW_CAPABILITY("mutex") TdwMutex {
 public:
  void lock() TDW_ACQUIRE() {
    FMutex.lock();
#ifndef NDEBUG
    FOwner.store(std::this_thread::get_id(), std::memory_order_relaxed);
#endif
  }
  void unlock() TDW_RELEASE() {
#ifndef NDEBUG
    FOwner.store(std::thread::id(), std::memory_order_relaxed);
#endif
    FMutex.unlock();
  }
  // Checks (debug builds) that the calling thread holds the mutex.
  void AssertHeld() const TDW_ASSERT_CAPABILITY(this) {
#ifndef NDEBUG
    assert(FOwner.load(std::memory_order_relaxed) == std::this_thread::get_id());
#endif
  }

 private:
  std::mutex FMutex;
#ifndef NDEBUG
  std::atomic<std::thread::id> FOwner{};
#endif
};

// Holds a TdwMutex for its lifetime.
class TDW_SCOPED_CAPABILITY TdwMutexLock {
 public:
  explicit TdwMutexLock(TdwMutex& mutex) TDW_ACQUIRE(mutex) : FMutex(mutex) { FMutex.lock(); }
  ~TdwMutexLock() TDW_RELEASE() { FMutex.unlock(); }
  TdwMutexLock(const TdwMutexLock&) = delete;
  TdwMutexLock& operator=(const TdwMutexLock&) = delete;

 private:
  TdwMutex& FMutex;
};

}  // namespace kestrel
