// TdwOSFileSystem::WatchFile: a waiter sleeps on an inotify descriptor that
// reports writes to one file, instead of polling the file.
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

#include "engine/fs/os_file_system.h"

namespace kestrel {

namespace {

class TOSFileWatch final : public TdwFileWatch {
 public:
  explicit TOSFileWatch(int fd) : FFd(fd) {}
  TOSFileWatch(const TOSFileWatch&) = delete;
  TOSFileWatch& operator=(const TOSFileWatch&) = delete;
  ~TOSFileWatch() override { ::close(FFd); }

  bool Wait(int timeoutMs) override {
    pollfd ready{FFd, POLLIN, 0};
    int polled = 0;
    do {
      polled = ::poll(&ready, 1, timeoutMs < 0 ? 0 : timeoutMs);
    } while (polled < 0 && errno == EINTR);
    if (polled <= 0) return false;
    // Every event so far is taken: the next Wait sleeps until a new write.
    alignas(inotify_event) char events[4096];
    while (::read(FFd, events, sizeof events) > 0) {
    }
    return true;
  }

 private:
  int FFd;
};

}  // namespace

std::unique_ptr<TdwFileWatch> TdwOSFileSystem::WatchFile(const std::string& fileName) {
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return nullptr;
  if (::inotify_add_watch(fd, ExpandFileName(fileName).c_str(), IN_MODIFY) < 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<TOSFileWatch>(fd);
}

}  // namespace kestrel
