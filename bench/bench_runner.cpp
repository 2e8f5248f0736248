// Running one engine's set of operations in a child process (see
// bench_runner.h). The child writes one line per operation
// ("op<TAB>unit<TAB>steps<TAB>micros<TAB>cpu micros<TAB>checksum"), then "peak<TAB>KB", or
// "error<TAB>text", and exits; the parent reads until end of file.
#include "bench/bench_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "bench/bench_operations.h"
#include "bench/flat_engine.h"
#include "bench/kestrel_engine.h"
#include "bench/sqlite_engine.h"

namespace vendrik::bench {

namespace {

// A field of /proc/self/status in KB ("VmRSS", "VmHWM"), 0 when unknown.
std::int64_t StatusKB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field + ":", 0) == 0) return std::stoll(line.substr(field.size() + 1));
  return 0;
}

std::string ChildReport(const TRunPlan& plan, const TBenchData& data) {
  std::ostringstream out;
  try {
    const std::int64_t startKB = StatusKB("VmRSS");
    std::filesystem::create_directories(plan.Directory);
    TBenchSettings settings{plan.Directory, plan.CacheBytes, plan.Secure, plan.LockFile};
    settings.Wal = plan.Engine == ekSqliteWal;
    std::unique_ptr<IBenchEngine> engine;
    if (plan.Engine == ekOurs)
      engine = std::make_unique<TKestrelBenchEngine>(settings);
    else if (plan.Engine == ekFlat)
      engine = std::make_unique<TFlatBenchEngine>(settings);
    else
      engine = std::make_unique<TSqliteBenchEngine>(settings);
    const std::vector<TOpResult> ops =
        plan.Secure ? RunSecureSet(*engine, data, plan.Seed) : RunPlainSet(*engine, data, plan.Seed);
    engine.reset();
    for (const TOpResult& op : ops)
      out << op.Operation << '\t' << op.Unit << '\t' << op.Steps << '\t' << op.Micros << '\t' << op.CpuMicros << '\t' << op.Checksum << '\n';
    out << "peak\t" << StatusKB("VmHWM") - startKB << '\n';
  } catch (const std::exception& e) {
    out.str("");
    out << "error\t" << e.what() << '\n';
  }
  std::error_code ignored;
  std::filesystem::remove_all(plan.Directory, ignored);
  return out.str();
}

TRunResult Parse(const std::string& text) {
  TRunResult result;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string first;
    std::getline(fields, first, '\t');
    if (first == "error") {
      std::getline(fields, result.Error);
      return result;
    }
    if (first == "peak") {
      fields >> result.PeakGrowthKB;
      result.Ok = true;
      continue;
    }
    TOpResult op;
    op.Operation = first;
    std::getline(fields, op.Unit, '\t');
    fields >> op.Steps >> op.Micros >> op.CpuMicros >> op.Checksum;
    result.Ops.push_back(op);
  }
  if (!result.Ok) result.Error = "the child process ended without its figures";
  return result;
}

}  // namespace

TRunResult RunInChild(const TRunPlan& plan, const TBenchData& data) {
  int fds[2];
  if (pipe(fds) != 0) return {false, "pipe failed", {}, 0};
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return {false, "fork failed", {}, 0};
  }
  if (child == 0) {
    close(fds[0]);
    const std::string report = ChildReport(plan, data);
    std::size_t written = 0;
    while (written < report.size()) {
      const ssize_t n = write(fds[1], report.data() + written, report.size() - written);
      if (n <= 0) break;
      written += static_cast<std::size_t>(n);
    }
    close(fds[1]);
    _exit(0);
  }
  close(fds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  TRunResult result = Parse(text);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    result.Ok = false;
    result.Error = "the child process died (status " + std::to_string(status) + ")";
  }
  return result;
}

}  // namespace vendrik::bench
