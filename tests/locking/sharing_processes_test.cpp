// Several programs on one table: lock_actor processes driven over their
// standard input, logging in at once, taking and waiting for table and
// record locks, dying with kill -9 while they hold locks, and raising
// counters together without losing an update.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace kestrel::test {
namespace {

// One lock_actor process.
class TActor {
 public:
  TActor() {
    int toChild[2], fromChild[2];
    if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) throw std::runtime_error("pipe");
    FPid = ::fork();
    if (FPid == 0) {
      ::dup2(toChild[0], 0);
      ::dup2(fromChild[1], 1);
      ::close(toChild[1]);
      ::close(fromChild[0]);
      ::execl(LOCK_ACTOR, LOCK_ACTOR, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    FIn = ::fdopen(toChild[1], "w");
    FOut = ::fdopen(fromChild[0], "r");
    EXPECT_EQ(Line(), "ready");
  }
  TActor(const TActor&) = delete;
  TActor& operator=(const TActor&) = delete;
  ~TActor() {
    if (FIn) std::fclose(FIn);
    if (FOut) std::fclose(FOut);
    if (FPid > 0) {
      if (!FKilled) ::kill(FPid, SIGKILL);
      ::waitpid(FPid, nullptr, 0);
    }
  }

  // Sends a command and answers its reply line.
  std::string Do(const std::string& command) {
    std::fprintf(FIn, "%s\n", command.c_str());
    std::fflush(FIn);
    return Line();
  }
  void Send(const std::string& command) {
    std::fprintf(FIn, "%s\n", command.c_str());
    std::fflush(FIn);
  }
  std::string Line() {
    char buffer[1024];
    if (!std::fgets(buffer, sizeof buffer, FOut)) return "<no answer>";
    std::string line(buffer);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }
  void Kill() {
    ::kill(FPid, SIGKILL);
    ::waitpid(FPid, nullptr, 0);
    FKilled = true;
    FPid = -1;
  }

 private:
  pid_t FPid = -1;
  FILE* FIn = nullptr;
  FILE* FOut = nullptr;
  bool FKilled = false;
};

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

class SharingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TActor maker;
    ASSERT_EQ(maker.Do("create " + FDir.Path() + " 5"), "ok");
  }
  // n actors with the table open; timeoutMs: their record-lock time-out.
  std::vector<std::unique_ptr<TActor>> Open(int n, int timeoutMs = 300) {
    std::vector<std::unique_ptr<TActor>> actors;
    for (int i = 0; i < n; ++i) actors.push_back(std::make_unique<TActor>());
    // They log in at the same time.
    for (auto& actor : actors) actor->Send("open " + FDir.Path() + " " + std::to_string(timeoutMs));
    for (auto& actor : actors) EXPECT_EQ(actor->Line(), "ok");
    return actors;
  }
  std::string Check() { return Kestrel("check " + FDir.File("Cnt.dat")); }
  // Runs the kestrel tool: its exit status, a blank, its output.
  static std::string Kestrel(const std::string& arguments) {
    const std::string command = std::string(VENDRIK_BINARY_DIR) + "/bin/kestrel " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    const int status = ::pclose(pipe);
    return std::to_string(WEXITSTATUS(status)) + " " + output;
  }

  TTempDir FDir;
};

TEST_F(SharingTest, ProgramsLogInTogetherAndTheLastRemovesTheLockFiles) {
  {
    auto actors = Open(4);
    EXPECT_TRUE(StartsWith(actors[0]->Do("usage"), "ok users=4 ")) << actors[0]->Do("usage");
    EXPECT_TRUE(::access(FDir.File("Cnt.net").c_str(), F_OK) == 0);
    for (auto& actor : actors) EXPECT_EQ(actor->Do("close"), "ok");
  }
  EXPECT_NE(::access(FDir.File("Cnt.net").c_str(), F_OK), 0);
  EXPECT_NE(::access(FDir.File("Cnt.mov").c_str(), F_OK), 0);
}

TEST_F(SharingTest, TableLocksAreGrantedRefusedAndWaitedFor) {
  auto actors = Open(3);
  TActor& a = *actors[0];
  TActor& b = *actors[1];
  TActor& c = *actors[2];
  ASSERT_EQ(a.Do("lock w 1"), "ok");
  EXPECT_TRUE(StartsWith(b.Do("lock r 0"), "err -47 104 ")) << "a read lock beside a write lock";
  EXPECT_TRUE(StartsWith(c.Do("lock w 0"), "err -47 104 "));
  // b waits for its read lock while a still writes; a gives it up.
  b.Send("lock r 1");
  a.Do("incr 1");
  EXPECT_EQ(a.Do("unlock w"), "ok");
  EXPECT_EQ(b.Line(), "ok");
  EXPECT_EQ(b.Do("get 1"), "ok 1 1") << "b reads a's change";
  EXPECT_EQ(c.Do("lock r 1"), "ok") << "readers share";
  EXPECT_EQ(b.Do("unlock r"), "ok");
  EXPECT_EQ(c.Do("unlock r"), "ok");
  EXPECT_EQ(c.Do("lock w 1"), "ok");
  EXPECT_EQ(c.Do("unlock w"), "ok");
}

TEST_F(SharingTest, RecordEditLocksReachOtherPrograms) {
  auto actors = Open(2);
  TActor& a = *actors[0];
  TActor& b = *actors[1];
  ASSERT_EQ(a.Do("edit 2"), "ok");
  EXPECT_TRUE(StartsWith(b.Do("edit 2"), "err -100 105 ")) << "refused after the locking time-out";
  EXPECT_TRUE(StartsWith(b.Do("delete 2"), "err -100 105 ")) << "a record being edited is not deleted";
  EXPECT_EQ(b.Do("edit 3"), "ok") << "other records are free";
  EXPECT_EQ(b.Do("cancel"), "ok");
  // b waits while a finishes its edit.
  b.Send("incr 2");
  EXPECT_EQ(a.Do("post"), "ok");
  EXPECT_EQ(b.Line(), "ok");
  EXPECT_EQ(a.Do("get 2"), "ok 2 2") << "no update lost";
}

TEST_F(SharingTest, ADeletionLooksForEditLocksAgainOnceItsWriteLockWasGivenBack) {
  auto actors = Open(2);
  TActor& a = *actors[0];
  TActor& b = *actors[1];
  // a's deletion saw no edit lock while it held the write lock; b can edit
  // only once a has given that lock back, and a must then see b's edit.
  ASSERT_EQ(a.Do("delete 5"), "ok");
  ASSERT_EQ(b.Do("edit 2"), "ok");
  EXPECT_TRUE(StartsWith(a.Do("delete 2"), "err -100 105 ")) << "a record being edited is not deleted";
  EXPECT_EQ(b.Do("cancel"), "ok");
  EXPECT_EQ(a.Do("delete 2"), "ok");
}

TEST_F(SharingTest, MovesOfDeletedRecordsAreSeenByOthers) {
  auto actors = Open(2);
  TActor& a = *actors[0];
  TActor& b = *actors[1];
  ASSERT_EQ(b.Do("incr 5"), "ok");
  ASSERT_EQ(a.Do("delete 2"), "ok");
  EXPECT_EQ(b.Do("count"), "ok 4");
  EXPECT_EQ(b.Do("get 2"), "ok 5 1") << "the last record moved into the hole";
  EXPECT_EQ(b.Do("incr 2"), "ok");
  EXPECT_EQ(a.Do("get 2"), "ok 5 2");
}

// A program that never stays idle long enough for its lock to be given
// back lazily (a reader walking the table over and over, a writer changing a
// record over and over) still lets a program that waits for the other kind
// of lock in, well before its wait times out, while it goes on.
TEST_F(SharingTest, AProgramThatNeverPausesDoesNotStarveAWaitingOne) {
  auto actors = Open(2);
  TActor& a = *actors[0];
  TActor& b = *actors[1];
  a.Send("walk 60");
  ::usleep(200000);
  EXPECT_EQ(b.Do("incr 1"), "ok") << "the writer waits for the walking reader";
  EXPECT_EQ(a.Line(), "ok changed") << "the reader saw the change while it walked";

  a.Send("pound 2 5");
  ::usleep(200000);
  EXPECT_EQ(b.Do("lock r 1"), "ok") << "the reader waits for the changing writer";
  const std::string seen = b.Do("get 2");
  EXPECT_EQ(b.Do("unlock r"), "ok");
  const std::string last = a.Line();
  ASSERT_TRUE(StartsWith(seen, "ok 2 ") && StartsWith(last, "ok ")) << seen << " / " << last;
  EXPECT_LT(std::stoll(seen.substr(5)), std::stoll(last.substr(3)))
      << "the reader got its lock while the writer went on changing, not only after it stopped";
  EXPECT_TRUE(StartsWith(Check(), "0 ")) << Check();
}

TEST_F(SharingTest, SurvivorsGoOnWhenAHolderIsKilled) {
  struct TCase {
    const char* What;
    std::vector<std::string> VictimCommands;
    std::string SurvivorCommand;
  };
  const std::vector<TCase> cases = {
      {"holder of the write lock", {"lock w 1"}, "lock w 1"},
      {"holder of a read lock", {"lock r 1"}, "lock w 1"},
      {"editor of a record", {"edit 1"}, "incr 1"},
      {"holder of the write lock with an edit", {"edit 3", "lock w 1"}, "incr 3"},
  };
  for (const TCase& c : cases) {
    auto actors = Open(2, 2000);
    TActor& victim = *actors[0];
    TActor& survivor = *actors[1];
    for (const std::string& command : c.VictimCommands) ASSERT_EQ(victim.Do(command), "ok") << c.What;
    victim.Kill();
    EXPECT_EQ(survivor.Do(c.SurvivorCommand), "ok") << c.What;
    EXPECT_TRUE(StartsWith(survivor.Do("usage"), "ok users=1 ")) << c.What;
    EXPECT_EQ(survivor.Do("close"), "ok") << c.What;
  }
  EXPECT_TRUE(StartsWith(Check(), "0 ")) << Check();
}

TEST_F(SharingTest, ADeadProgramsTransactionIsRolledBackBeforeSurvivorsRead) {
  struct TCase {
    const char* What;
    std::vector<std::string> VictimCommands;  // after topen
    std::string FirstSurvivorCommand;          // what notices the death
    std::string Count, Sum, First;             // what the survivors read then
  };
  const std::vector<TCase> cases = {
      // A large transaction's pages reach the files before its end (tflush).
      {"edits, an append and a delete on disk; the next reader rolls back",
       {"tbegin", "tincr 1", "tflush", "tincr 2", "tappend 50", "tdelete 3", "tflush"}, "get 1", "ok 5", "ok 0",
       "ok 1 0"},
      {"the same; the next writer rolls back",
       {"tbegin", "tincr 1", "tflush", "tincr 2", "tappend 50", "tdelete 3", "tflush"}, "lock w 1", "ok 5", "ok 0",
       "ok 1 0"},
      {"changes still in the cache", {"tbegin", "tincr 1", "tincr 2", "tappend 50", "tdelete 3"}, "sum", "ok 5",
       "ok 0", "ok 1 0"},
      {"a committed transaction stays, the running one goes",
       {"tbegin", "tincr 1", "tcommit", "tbegin", "tincr 1", "tdelete 1", "tappend 60"}, "count", "ok 5", "ok 1",
       "ok 1 1"},
  };
  for (const TCase& c : cases) {
    // Each case starts from the table as the one before left it: rolled back.
    SCOPED_TRACE(c.What);
    auto actors = Open(2, 2000);
    TActor victim;
    ASSERT_EQ(victim.Do("topen " + FDir.Path()), "ok");
    for (const std::string& command : c.VictimCommands) ASSERT_TRUE(StartsWith(victim.Do(command), "ok")) << command;
    victim.Kill();
    TActor& first = *actors[0];
    TActor& second = *actors[1];
    EXPECT_TRUE(StartsWith(first.Do(c.FirstSurvivorCommand), "ok"));
    if (c.FirstSurvivorCommand == "lock w 1") {
      EXPECT_EQ(first.Do("unlock w"), "ok");
    }
    EXPECT_EQ(first.Do("count"), c.Count);
    EXPECT_EQ(second.Do("sum"), c.Sum);
    EXPECT_EQ(second.Do("get 1"), c.First);
    EXPECT_NE(::access(FDir.File("Cnt.tra").c_str(), F_OK), 0) << "the redo log is gone";
    for (auto& actor : actors) EXPECT_EQ(actor->Do("close"), "ok");
    EXPECT_TRUE(StartsWith(Check(), "0 ")) << Check();
  }
}

TEST_F(SharingTest, ALiveProgramsTransactionSurvivesAnotherProgramsDeath) {
  auto actors = Open(2, 10000);
  TActor& victim = *actors[0];
  TActor& other = *actors[1];
  TActor owner;
  ASSERT_EQ(owner.Do("topen " + FDir.Path()), "ok");
  ASSERT_EQ(victim.Do("edit 4"), "ok");
  ASSERT_EQ(owner.Do("tbegin"), "ok");
  ASSERT_EQ(owner.Do("tincr 1"), "ok");
  EXPECT_TRUE(StartsWith(other.Do("lock r 0"), "err -47 104 ")) << "the transaction keeps its write lock";
  victim.Kill();
  // other finds the dead editor's slot while the transaction runs and waits
  // for the write lock.
  other.Send("incr 4");
  ::usleep(300000);
  EXPECT_EQ(owner.Do("tincr 2"), "ok");
  EXPECT_EQ(owner.Do("tcommit"), "ok");
  EXPECT_EQ(other.Line(), "ok");
  EXPECT_EQ(other.Do("sum"), "ok 3") << "the live transaction was kept";
  EXPECT_EQ(owner.Do("tclose"), "ok");
  EXPECT_EQ(other.Do("close"), "ok");
  EXPECT_TRUE(StartsWith(Check(), "0 ")) << Check();
}

TEST_F(SharingTest, AnIndexAnotherProgramCreatesIsSeenWithoutReopening) {
  auto actors = Open(1);
  TActor& reader = *actors[0];
  for (const char* recNo : {"1", "2", "3", "5"}) ASSERT_EQ(reader.Do(std::string("incr ") + recNo), "ok");
  EXPECT_EQ(reader.Do("indexes"), "ok ID");
  TActor creator;
  ASSERT_EQ(creator.Do("topen " + FDir.Path()), "ok");
  ASSERT_TRUE(StartsWith(creator.Do("tindex ByN"), "ok "));
  EXPECT_EQ(reader.Do("indexes"), "ok ID,ByN");
  EXPECT_EQ(reader.Do("setindex ByN"), "ok");
  EXPECT_EQ(reader.Do("first"), "ok 4 0") << "ordered by N";
  // The new index follows the other program's changes.
  EXPECT_EQ(creator.Do("tincr 4"), "ok");
  EXPECT_EQ(creator.Do("tappend 9"), "ok 6");
  EXPECT_EQ(reader.Do("first"), "ok 9 0");
  EXPECT_EQ(creator.Do("tclose"), "ok");
  EXPECT_EQ(reader.Do("close"), "ok");
  EXPECT_TRUE(StartsWith(Check(), "0 ")) << Check();
}

TEST_F(SharingTest, TheToolLogsInLikeAnyOtherProgram) {
  WriteWholeFile(FDir.File("in.csv"), "ID,N\n10,0\n11,0\n");
  auto actors = Open(1);
  TActor& a = *actors[0];
  ASSERT_EQ(a.Do("lock w 1"), "ok");
  // The import waits for the write lock that a holds, then succeeds.
  FILE* import = ::popen((std::string(VENDRIK_BINARY_DIR) + "/bin/kestrel import " + FDir.File("Cnt.dat") + " " +
                          FDir.File("in.csv") + " 2>&1")
                             .c_str(),
                         "r");
  ::usleep(200000);
  EXPECT_EQ(a.Do("incr 1"), "ok");
  EXPECT_EQ(a.Do("unlock w"), "ok");
  char line[256] = {};
  EXPECT_NE(std::fgets(line, sizeof line, import), nullptr);
  EXPECT_EQ(WEXITSTATUS(::pclose(import)), 0);
  EXPECT_STREQ(line, "2 records imported\n");
  EXPECT_EQ(a.Do("count"), "ok 7");
  EXPECT_EQ(a.Do("get 1"), "ok 1 1");
  // Rebuilding indexes needs the table alone, and says why it cannot have it.
  const std::string reindex = Kestrel("reindex " + FDir.File("Cnt.dat"));
  EXPECT_TRUE(StartsWith(reindex, "1 ")) << reindex;
  EXPECT_NE(reindex.find("is still in use by this or another application"), std::string::npos) << reindex;
}

TEST_F(SharingTest, FourProgramsRaiseCountersWithoutLosingAnUpdate) {
  constexpr int kRounds = 40;
  auto actors = Open(4, 10000);
  // Each program raises every counter in turn, appends and deletes records
  // of its own meanwhile; all at the same time.
  for (int round = 0; round < kRounds; ++round) {
    for (std::size_t i = 0; i < actors.size(); ++i) actors[i]->Send("incr " + std::to_string(1 + (round + i) % 5));
    for (auto& actor : actors) ASSERT_EQ(actor->Line(), "ok") << "round " << round;
    if (round % 10 == 5) {
      for (std::size_t i = 0; i < actors.size(); ++i) actors[i]->Send("append " + std::to_string(100 * (round + 1) + i));
      for (auto& actor : actors) ASSERT_TRUE(StartsWith(actor->Line(), "ok ")) << "round " << round;
    }
  }
  EXPECT_EQ(actors[0]->Do("sum"), "ok " + std::to_string(kRounds * 4));
  EXPECT_EQ(actors[1]->Do("count"), "ok " + std::to_string(5 + 4 * 4));
  for (auto& actor : actors) EXPECT_EQ(actor->Do("close"), "ok");
  EXPECT_TRUE(StartsWith(Check(), "0 ")) << Check();
}

}  // namespace
}  // namespace kestrel::test
