// The programs set: forked programs that append to and update one shared
// table at once, started together over pipes (see programs_set.h).
#include "bench/programs_set.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <ostream>
#include <vector>

#include "bench/bench_data.h"
#include "bench/kestrel_engine.h"
#include "engine/base/engine_error.h"

namespace vendrik::bench {

namespace {

constexpr const char* kTableName = "Shared";
// Appended codes lie above every generated one, each program's in a range
// of its own (64 programs of at most 10^7 changes fit in ten digits).
constexpr std::uint64_t kProgramCodeBase = 9000000000ULL;
constexpr std::uint64_t kCodesPerProgram = 1000000000ULL / 64;

struct TProgram {
  pid_t Pid = -1;
  int Go = -1;    // parent -> program: one byte starts a phase
  int Done = -1;  // program -> parent: one byte per finished phase, 'x' on failure
};

bool WriteByte(int fd, char byte) { return ::write(fd, &byte, 1) == 1; }
bool ReadByte(int fd, char& byte) { return ::read(fd, &byte, 1) == 1; }

// The body of one forked program; never returns.
[[noreturn]] void RunProgram(int index, const TBenchData& data, std::int32_t operations,
                             const TBenchSettings& settings, std::uint64_t seed, int go, int done) {
  char byte = 0;
  try {
    TKestrelBenchEngine engine(settings);
    engine.Open(std::string(settings.Directory) + "/" + kTableName, ::getpid());
    TBenchRandom random(seed + static_cast<std::uint64_t>(index));
    WriteByte(done, 'r');
    if (!ReadByte(go, byte)) ::_exit(1);
    for (std::int32_t i = 0; i < operations; ++i) {
      TBenchRow row = data.Row(1 + i % data.Records());
      row.Code = TBenchData::CodeText(kProgramCodeBase + kCodesPerProgram * static_cast<std::uint64_t>(index) +
                                      static_cast<std::uint64_t>(i));
      engine.Append(row);
    }
    WriteByte(done, 'a');
    if (!ReadByte(go, byte)) ::_exit(1);
    for (std::int32_t i = 0; i < operations; ++i) {
      const TBenchRow& row = data.Row(1 + static_cast<std::int32_t>(random.Below(
                                              static_cast<std::uint64_t>(data.Records()))));
      engine.UpdateName(row.Code, data.NewName(random));
    }
    engine.Close();
    WriteByte(done, 'u');
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kestrel-bench: program %d: %s\n", index, error.what());
    WriteByte(done, 'x');
    ::_exit(1);
  }
  ::_exit(0);
}

// Starts a phase in every program and waits until each reports `expected`;
// the wall-clock milliseconds, or a negative number when one failed.
double Phase(const std::vector<TProgram>& programs, char expected) {
  const auto start = std::chrono::steady_clock::now();
  for (const TProgram& program : programs)
    if (!WriteByte(program.Go, 'g')) return -1;
  bool ok = true;
  for (const TProgram& program : programs) {
    char byte = 0;
    ok = ReadByte(program.Done, byte) && byte == expected && ok;
  }
  const std::chrono::duration<double, std::milli> taken = std::chrono::steady_clock::now() - start;
  return ok ? taken.count() : -1;
}

struct TFigures {
  int Programs = 0;
  double AppendMs = 0, UpdateMs = 0;
  bool Ok = false;
  bool Complete = false;
};

TFigures RunOnce(int count, const TBenchData& data, std::int32_t operations, const TBenchSettings& settings,
                 std::uint64_t seed) {
  TFigures figures;
  figures.Programs = count;
  // The parent never logs in to the lock file: that would start the unlock
  // thread, which a forked program does not inherit, so its locks would
  // never be given back lazily.
  TBenchSettings alone = settings;
  alone.LockFile = false;
  {
    TKestrelBenchEngine maker(alone);
    maker.Create(settings.Directory + "/" + kTableName);
    maker.BeginTransaction();
    for (std::int32_t rowNo = 1; rowNo <= data.Records(); ++rowNo) maker.Append(data.Row(rowNo));
    maker.Commit();
    maker.Close();
  }
  std::vector<TProgram> programs;
  for (int index = 0; index < count; ++index) {
    int go[2], done[2];
    if (::pipe(go) != 0 || ::pipe(done) != 0) break;
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(go[1]);
      ::close(done[0]);
      // The pipes of the programs forked before stay the parent's alone:
      // when it closes them, a waiting program sees the end and stops.
      for (const TProgram& earlier : programs) {
        ::close(earlier.Go);
        ::close(earlier.Done);
      }
      RunProgram(index, data, operations, settings, seed, go[0], done[1]);
    }
    ::close(go[0]);
    ::close(done[1]);
    programs.push_back({pid, go[1], done[0]});
  }
  bool ready = static_cast<int>(programs.size()) == count;
  for (const TProgram& program : programs) {
    char byte = 0;
    ready = ReadByte(program.Done, byte) && byte == 'r' && ready;
  }
  if (ready) {
    figures.AppendMs = Phase(programs, 'a');
    if (figures.AppendMs >= 0) figures.UpdateMs = Phase(programs, 'u');
  }
  bool exited = true;
  for (const TProgram& program : programs) {
    ::close(program.Go);
    ::close(program.Done);
    int status = 0;
    ::waitpid(program.Pid, &status, 0);
    exited = exited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  figures.Ok = ready && exited && figures.AppendMs >= 0 && figures.UpdateMs >= 0;
  if (figures.Ok) {
    TKestrelBenchEngine reader(alone);
    reader.Open(settings.Directory + "/" + kTableName, 1);
    figures.Complete = reader.RecordCount() == data.Records() + count * operations;
    reader.Close();
  }
  return figures;
}

}  // namespace

int RunProgramsSet(int programs, std::int32_t records, std::int32_t operations, const std::string& directory,
                   std::int64_t cacheBytes, std::uint64_t seed, std::ostream& out) {
  const TBenchData data(records, seed);
  std::vector<int> counts{1, 2};
  if (programs > 2) counts.push_back(programs);
  out << "kestrel-bench --programs: " << records << " records, " << operations
      << " appends and then as many updates per program, one change at a time, all programs at once;\n"
      << "each program is a process logged in to the table's lock file\n\n"
      << "programs  appends/s  ms/append  updates/s  ms/update  rows\n";
  int failures = 0;
  for (int count : counts) {
    const std::string runDirectory = directory + "/programs-" + std::to_string(count);
    std::filesystem::create_directories(runDirectory);
    const TBenchSettings settings{runDirectory, cacheBytes, false, true};
    TFigures figures;
    try {
      figures = RunOnce(count, data, operations, settings, seed);
    } catch (const kestrel::ETdbEngine& error) {
      std::fprintf(stderr, "kestrel-bench: %s\n", error.what());
    }
    const double changes = static_cast<double>(count) * operations;
    if (!figures.Ok) {
      out << std::setw(8) << count << "  failed\n";
      ++failures;
      continue;
    }
    out << std::fixed << std::setprecision(0) << std::setw(8) << count << std::setw(11)
        << changes / (figures.AppendMs / 1000) << std::setprecision(3) << std::setw(11)
        << figures.AppendMs / operations << std::setprecision(0) << std::setw(11)
        << changes / (figures.UpdateMs / 1000) << std::setprecision(3) << std::setw(11)
        << figures.UpdateMs / operations << "  " << (figures.Complete ? "all there" : "ROWS LOST") << "\n";
    if (!figures.Complete) ++failures;
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace vendrik::bench
