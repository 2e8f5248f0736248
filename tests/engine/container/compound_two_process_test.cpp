// Sharing a container between processes: readers take different lock
// bytes and coexist, a writer waits for them and gives up when they stay,
// and a process sees what another wrote at its next lock (the change
// counter drops its cached tiles). Each child (fork) opens the container on
// its own and answers through its exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "engine/container/compound_file_intf.h"
#include "temp_dir.h"

namespace kestrel {
namespace {

using test::TTempDir;

// Starts `probe` in a child process; Wait answers its result (0..255).
class TChild {
 public:
  explicit TChild(const std::function<int()>& probe) {
    FPid = ::fork();
    if (FPid == 0) ::_exit(probe());
  }
  int Wait() {
    int status = 0;
    ::waitpid(FPid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
  }

 private:
  pid_t FPid = -1;
};

class CompoundTwoProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TdwCompoundFileIntf container(FName);
    container.NewFile();
    container.Open();
    WriteText(container, "old");
  }
  // A container object of this process alone, as another process has it.
  std::unique_ptr<TdwCompoundFileIntf> OwnContainer() {
    auto container = std::make_unique<TdwCompoundFileIntf>(FName);
    container->FSharedAccess = false;
    container->Open();
    return container;
  }
  static void WriteText(TdwCompoundFileIntf& container, const std::string& text) {
    const TdwFileHandle handle = container.CreateFile("f");
    container.FileWrite(handle, 0, text.data(), static_cast<std::int64_t>(text.size()));
    container.CloseFile(handle);
  }
  static std::string ReadText(TdwCompoundFileIntf& container, TdwFileHandle handle) {
    std::string text(100, '\0');
    const std::int64_t got = container.FileRead(handle, 0, text.data(), 100);
    text.resize(static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
    return text;
  }

  TTempDir FDir;
  std::string FName = FDir.File("db.tdbd");
};

TEST_F(CompoundTwoProcessTest, ReadersShareAndWriterWaits) {
  auto container = OwnContainer();
  ASSERT_TRUE(container->BeginRead());
  // Another reader gets a lock byte of its own; a writer gives up after its
  // tries while this process reads.
  EXPECT_EQ(TChild([&] { return OwnContainer()->BeginRead() ? 1 : 0; }).Wait(), 1);
  EXPECT_EQ(TChild([&] {
              auto other = OwnContainer();
              const bool read = other->BeginRead();
              TChild writer([&] { return OwnContainer()->BeginWrite() ? 1 : 0; });
              return read && writer.Wait() == 0 ? 1 : 0;
            }).Wait(),
            1)
      << "two readers hold off a writer";
  // A writer that starts while this process reads gets the lock once the
  // reader lets go.
  TChild writer([&] {
    auto other = OwnContainer();
    if (!other->BeginWrite()) return 0;
    other->EndWrite();
    return 1;
  });
  ::usleep(200 * 1000);
  container->EndRead();
  EXPECT_EQ(writer.Wait(), 1);
}

TEST_F(CompoundTwoProcessTest, ChangesOfAnotherProcessAreSeenAtTheNextLock) {
  auto container = OwnContainer();
  const TdwFileHandle handle = container->OpenFile("f", kFmOpenRead | kFmShareDenyNone);
  ASSERT_EQ(ReadText(*container, handle), "old");  // now in this process's tiles
  struct Case {
    std::string text;
  } cases[] = {{"new, and longer than before"}, {"short"}, {std::string(20000, 'z')}};
  for (const Case& c : cases) {
    EXPECT_EQ(TChild([&] {
                auto other = OwnContainer();
                const TdwFileHandle h = other->OpenFile("f", kFmOpenReadWrite | kFmShareDenyNone);
                other->SetFileSize(h, 0);
                other->FileWrite(h, 0, c.text.data(), static_cast<std::int64_t>(c.text.size()));
                other->CloseFile(h);
                return 1;
              }).Wait(),
              1);
    EXPECT_EQ(container->GetFileSize(handle), static_cast<std::int64_t>(c.text.size()));
    EXPECT_EQ(ReadText(*container, handle), c.text.substr(0, 100));
  }
  container->CloseFile(handle);
}

}  // namespace
}  // namespace kestrel
