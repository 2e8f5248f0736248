// The process's write-back thread (see write_back.h).
#include "engine/fs/write_back.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace kestrel {

namespace {

struct TWriteBackQueue {
  std::mutex Mutex;
  std::condition_variable Changed;
  std::deque<int> Pending;
  int Running = -1;  // the descriptor being written back, -1 none
};

// The process that runs the thread; 0 before it starts. A forked child sees
// its parent's number and never touches the queue (its mutex may have been
// held at the fork).
std::atomic<pid_t> gWorkerPid{0};

// Never destroyed: the detached thread waits on it until the process ends.
TWriteBackQueue& Queue() {
  static TWriteBackQueue* queue = new TWriteBackQueue;
  return *queue;
}

bool WriteBackNow(int fd) { return ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE) == 0; }

void Run() {
  TWriteBackQueue& queue = Queue();
  std::unique_lock lock(queue.Mutex);
  for (;;) {
    queue.Changed.wait(lock, [&] { return !queue.Pending.empty(); });
    queue.Running = queue.Pending.front();
    queue.Pending.pop_front();
    lock.unlock();
    // A failure is left for the next fsync of the file to report.
    WriteBackNow(queue.Running);
    lock.lock();
    queue.Running = -1;
    queue.Changed.notify_all();
  }
}

void StartThread() {
  static std::once_flag once;
  std::call_once(once, [] {
    Queue();
    std::thread(Run).detach();
    gWorkerPid = ::getpid();
  });
}

}  // namespace

bool QueueWriteBack(int fd) {
  if (gWorkerPid.load() == 0) StartThread();
  if (gWorkerPid.load() != ::getpid()) return WriteBackNow(fd);
  TWriteBackQueue& queue = Queue();
  {
    std::lock_guard lock(queue.Mutex);
    if (std::find(queue.Pending.begin(), queue.Pending.end(), fd) != queue.Pending.end()) return true;
    queue.Pending.push_back(fd);
  }
  queue.Changed.notify_all();
  return true;
}

void CancelWriteBack(int fd) {
  if (gWorkerPid.load() != ::getpid()) return;
  TWriteBackQueue& queue = Queue();
  std::unique_lock lock(queue.Mutex);
  std::erase(queue.Pending, fd);
  queue.Changed.wait(lock, [&] { return queue.Running != fd; });
}

}  // namespace kestrel
