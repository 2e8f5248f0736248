// The access set: our component layer against SQLite's C API.
#include "bench/access_set.h"

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <map>
#include <stdexcept>

#include "access/data_link.h"
#include "access/tdb_table.h"
#include "access/text_codec.h"
#include "bench/bench_data.h"
#include "bench/kestrel_engine.h"
#include "bench/sqlite_engine.h"

namespace vendrik::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kGridRows = 15;
constexpr int kRowsPerCommit = 50000;
constexpr int kRepeats = 200;
constexpr int kOpenRepeats = 10;
constexpr int kFilterRepeats = 5;
const char* const kOperations[] = {"open",         "first",        "last", "find nearest + 15", "page forward and back",
                                   "switch index", "record count", "filter + count, range", "filter + count, scan"};

// The filters applied and counted, alternating between two conditions so
// that every repetition evaluates afresh: one the code index bounds, one
// that every record must be read for. {ours, SQLite's WHERE clause}.
struct TFilterCase {
  const char* Operation;
  const char* Ours[2];
  const char* Sqlite[2];
};
const TFilterCase kFilterCases[] = {
    {"filter + count, range",
     {"KOD >= '5' And KOD < '51'", "KOD >= '6' And KOD < '61'"},
     {"kod >= '5' AND kod < '51'", "kod >= '6' AND kod < '61'"}},
    {"filter + count, scan", {"KOD <> '5'", "KOD <> '6'"}, {"kod <> '5'", "kod <> '6'"}},
};
// The count a filter case found, reported beside the times so that both
// sides can be compared.
std::string CountKey(const char* operation) { return std::string(operation) + " count"; }

// Times `repeats` calls of `step`: microseconds per call.
double Time(int repeats, const std::function<void(int)>& step) {
  const auto start = Clock::now();
  for (int i = 0; i < repeats; ++i) step(i);
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / repeats;
}

// The median of `repeats` timed calls of `step`, in microseconds: for steps
// whose first call also pays for what later calls find ready.
double MedianTime(int repeats, const std::function<void(int)>& step) {
  std::vector<double> micros;
  for (int i = 0; i < repeats; ++i) micros.push_back(Time(1, [&](int) { step(i); }));
  std::sort(micros.begin(), micros.end());
  return micros[micros.size() / 2];
}

std::vector<std::u16string> Keys(std::uint64_t seed) {
  TBenchRandom random(seed);
  std::vector<std::u16string> keys;
  for (int i = 0; i < kRepeats; ++i) keys.push_back(TBenchData::RandomCodeKey(random));
  return keys;
}

// ---- Ours ---------------------------------------------------------------------

std::map<std::string, double> RunOurs(const std::string& directory, std::int64_t cacheBytes, std::uint64_t seed) {
  using namespace kestrel::access;
  std::map<std::string, double> micros;
  const std::vector<std::u16string> keys = Keys(seed);
  TTdbDatabase database;
  database.SetDatabaseName("Bench");
  database.SetLocation(directory);
  database.SetCacheSizeKB(static_cast<int>(cacheBytes / 1024));
  TTdbTable table;
  table.SetDatabaseName("Bench");
  table.SetTableName("Vnd03");
  table.SetIndexName("KOD");
  TDataSource source;
  source.SetDataSet(&table);
  TDataLink grid;
  grid.SetDataSource(&source);
  grid.SetBufferCount(kGridRows);
  // Each open connects the database and each close disconnects it, as
  // SQLite's side opens and closes its file.
  micros["open"] = MedianTime(kOpenRepeats, [&](int) {
    table.Open();
    table.Close();
    database.Close();
  });
  table.Open();
  std::uint64_t sink = 0;
  micros["first"] = Time(kRepeats, [&](int) {
    table.First();
    sink += static_cast<std::uint64_t>(grid.RecordCount());
  });
  micros["last"] = Time(kRepeats, [&](int) {
    table.Last();
    sink += static_cast<std::uint64_t>(grid.RecordCount());
  });
  micros["find nearest + 15"] = Time(kRepeats, [&](int i) {
    table.FindNearest({Utf16ToUtf8(keys[static_cast<std::size_t>(i)])});
    sink += static_cast<std::uint64_t>(grid.RecordCount());
  });
  table.FindNearest({"5"});
  micros["page forward and back"] = Time(kRepeats, [&](int) {
    table.MoveBy(kGridRows);
    table.MoveBy(-kGridRows);
  });
  micros["switch index"] = Time(kRepeats, [&](int i) { table.SetIndexName(i % 2 == 0 ? "INDMN" : "KOD"); });
  micros["record count"] = Time(kRepeats, [&](int) { sink += static_cast<std::uint64_t>(table.RecordCount()); });
  for (const TFilterCase& c : kFilterCases) {
    int count = 0;
    micros[c.Operation] = MedianTime(kFilterRepeats, [&](int i) {
      table.SetFiltered(false);
      table.SetFilter(c.Ours[i % 2]);
      table.SetFiltered(true);
      count = table.RecordCount();
    });
    micros[CountKey(c.Operation)] = count;
    table.SetFiltered(false);
  }
  if (sink == 0) throw std::runtime_error("nothing was read");
  return micros;
}

// ---- SQLite -------------------------------------------------------------------------

class TSqlite {
 public:
  explicit TSqlite(const std::string& path, std::int64_t cacheBytes) {
    if (sqlite3_open_v2(path.c_str(), &FDb, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
      throw std::runtime_error("SQLite: cannot open " + path);
    sqlite3_exec(FDb, ("PRAGMA cache_size = -" + std::to_string(cacheBytes / 1024)).c_str(), nullptr, nullptr, nullptr);
  }
  ~TSqlite() {
    for (auto& [sql, statement] : FStatements) sqlite3_finalize(statement);
    sqlite3_close(FDb);
  }
  // Runs `sql` with text parameters; answers the rows read and keeps the
  // first and last row's first two columns.
  int Query(const char* sql, std::initializer_list<std::string> parameters) {
    sqlite3_stmt*& statement = FStatements[sql];
    if (!statement && sqlite3_prepare_v2(FDb, sql, -1, &statement, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string("SQLite: ") + sqlite3_errmsg(FDb));
    int index = 1;
    for (const std::string& parameter : parameters)
      sqlite3_bind_text(statement, index++, parameter.c_str(), static_cast<int>(parameter.size()), SQLITE_TRANSIENT);
    int rows = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
      const auto text = [&](int column) {
        const unsigned char* value = sqlite3_column_text(statement, column);
        return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
      };
      if (rows == 0) FFirst = {text(0), sqlite3_column_count(statement) > 1 ? text(1) : std::string()};
      FLast = {text(0), sqlite3_column_count(statement) > 1 ? text(1) : std::string()};
      ++rows;
    }
    sqlite3_reset(statement);
    return rows;
  }
  std::pair<std::string, std::string> FFirst, FLast;

 private:
  sqlite3* FDb = nullptr;
  std::map<std::string, sqlite3_stmt*> FStatements;
};

std::map<std::string, double> RunSqlite(const std::string& path, std::int64_t cacheBytes, std::uint64_t seed) {
  std::map<std::string, double> micros;
  const std::vector<std::u16string> keys = Keys(seed);
  int sink = 0;
  micros["open"] = MedianTime(kOpenRepeats, [&](int) {
    TSqlite db(path, cacheBytes);
    sink += db.Query("SELECT kod, megnev FROM vnd03 ORDER BY kod LIMIT 15", {});
  });
  TSqlite db(path, cacheBytes);
  micros["first"] = Time(kRepeats, [&](int) { sink += db.Query("SELECT kod, megnev FROM vnd03 ORDER BY kod LIMIT 15", {}); });
  micros["last"] =
      Time(kRepeats, [&](int) { sink += db.Query("SELECT kod, megnev FROM vnd03 ORDER BY kod DESC LIMIT 15", {}); });
  micros["find nearest + 15"] = Time(kRepeats, [&](int i) {
    sink += db.Query("SELECT kod, megnev FROM vnd03 WHERE kod >= ?1 ORDER BY kod LIMIT 15",
                     {kestrel::access::Utf16ToUtf8(keys[static_cast<std::size_t>(i)])});
  });
  db.Query("SELECT kod, megnev FROM vnd03 WHERE kod >= '5' ORDER BY kod LIMIT 15", {});
  micros["page forward and back"] = Time(kRepeats, [&](int) {
    const std::string last = db.FLast.first;
    sink += db.Query("SELECT kod, megnev FROM vnd03 WHERE kod > ?1 ORDER BY kod LIMIT 15", {last});
    const std::string first = db.FFirst.first;
    sink += db.Query("SELECT kod, megnev FROM vnd03 WHERE kod < ?1 ORDER BY kod DESC LIMIT 15", {first});
  });
  const auto current = db.FFirst;
  micros["switch index"] = Time(kRepeats, [&](int i) {
    if (i % 2 == 0)
      sink += db.Query("SELECT kod, megnev FROM vnd03 WHERE megnev >= ?1 ORDER BY megnev LIMIT 15", {current.second});
    else
      sink += db.Query("SELECT kod, megnev FROM vnd03 WHERE kod >= ?1 ORDER BY kod LIMIT 15", {current.first});
  });
  micros["record count"] = Time(kRepeats, [&](int) { sink += db.Query("SELECT count(*) FROM vnd03", {}); });
  for (const TFilterCase& c : kFilterCases) {
    micros[c.Operation] = MedianTime(kFilterRepeats, [&](int i) {
      db.Query((std::string("SELECT count(*) FROM vnd03 WHERE ") + c.Sqlite[i % 2]).c_str(), {});
    });
    micros[CountKey(c.Operation)] = std::stod(db.FFirst.first);
  }
  if (sink == 0) throw std::runtime_error("nothing was read");
  return micros;
}

// ---- Children -------------------------------------------------------------------------

struct TChildResult {
  bool Ok = false;
  std::map<std::string, double> Micros;
  long PeakKB = 0;
  std::string Error;
};

TChildResult InChild(const std::function<std::map<std::string, double>()>& run) {
  int fds[2];
  if (pipe(fds) != 0) return {false, {}, 0, "pipe failed"};
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    std::string report;
    try {
      for (const auto& [operation, value] : run()) report += operation + "\t" + std::to_string(value) + "\n";
    } catch (const std::exception& error) {
      report = std::string("error\t") + error.what() + "\n";
    }
    if (write(fds[1], report.data(), report.size()) < 0) _exit(2);
    _exit(0);
  }
  close(fds[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<std::size_t>(got));
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  TChildResult result;
  result.PeakKB = usage.ru_maxrss;
  std::size_t start = 0;
  while (start < report.size()) {
    const std::size_t end = report.find('\n', start);
    const std::string line = report.substr(start, end - start);
    start = end == std::string::npos ? report.size() : end + 1;
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    if (line.substr(0, tab) == "error") {
      result.Error = line.substr(tab + 1);
      return result;
    }
    result.Micros[line.substr(0, tab)] = std::stod(line.substr(tab + 1));
  }
  result.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && !result.Micros.empty();
  if (!result.Ok && result.Error.empty()) result.Error = "the child failed";
  return result;
}

void Build(const std::string& ours, const std::string& sqlite, const TBenchData& data, std::int64_t cacheBytes) {
  std::filesystem::create_directories(ours);
  std::filesystem::create_directories(sqlite);
  TKestrelBenchEngine kestrel({ours, cacheBytes, false});
  TSqliteBenchEngine lite({sqlite, cacheBytes, false});
  kestrel.Create(ours + "/Vnd03");
  lite.Create("vnd03");
  for (IBenchEngine* engine : {static_cast<IBenchEngine*>(&kestrel), static_cast<IBenchEngine*>(&lite)}) {
    for (std::int32_t row = 1; row <= data.Records(); row += kRowsPerCommit) {
      engine->BeginTransaction();
      for (std::int32_t r = row; r < row + kRowsPerCommit && r <= data.Records(); ++r) engine->Append(data.Row(r));
      engine->Commit();
    }
    engine->Close();
  }
}

}  // namespace

int RunAccessSet(const std::vector<std::int32_t>& sizes, const std::string& directory, std::int64_t cacheBytes,
                 std::uint64_t seed, std::ostream& out) {
  int failures = 0;
  out << "access set: the windows' operations through the component layer against SQLite's C API\n"
      << "  microseconds per operation; a grid of " << kGridRows << " records; memory: peak resident KB of the child\n\n"
      << std::left << std::setw(10) << "records" << std::setw(24) << "operation" << std::right << std::setw(12)
      << "ours" << std::setw(12) << "SQLite" << std::setw(9) << "ratio" << "\n";
  for (std::int32_t records : sizes) {
    const std::string ours = directory + "/access-" + std::to_string(records) + "-ours";
    const std::string sqlite = directory + "/access-" + std::to_string(records) + "-sqlite";
    {
      const TBenchData data(records, seed);
      Build(ours, sqlite, data, cacheBytes);
    }
    const TChildResult mine = InChild([&] { return RunOurs(ours, cacheBytes, seed); });
    const TChildResult theirs = InChild([&] { return RunSqlite(sqlite + "/vnd03.db", cacheBytes, seed); });
    for (const TChildResult* result : {&mine, &theirs})
      if (!result->Ok) {
        out << "  " << (result == &mine ? "ours" : "SQLite") << " failed: " << result->Error << "\n";
        ++failures;
      }
    if (!mine.Ok || !theirs.Ok) continue;
    for (const char* operation : kOperations) {
      const double a = mine.Micros.at(operation), b = theirs.Micros.at(operation);
      out << std::left << std::setw(10) << records << std::setw(24) << operation << std::right << std::fixed
          << std::setprecision(1) << std::setw(12) << a << std::setw(12) << b << std::setprecision(2) << std::setw(9)
          << (b > 0 ? a / b : 0) << "\n";
    }
    for (const TFilterCase& c : kFilterCases)
      if (mine.Micros.at(CountKey(c.Operation)) != theirs.Micros.at(CountKey(c.Operation))) {
        out << "  " << c.Operation << ": ours counted " << mine.Micros.at(CountKey(c.Operation)) << ", SQLite "
            << theirs.Micros.at(CountKey(c.Operation)) << "\n";
        ++failures;
      }
    out << std::left << std::setw(10) << records << std::setw(24) << "peak memory (KB)" << std::right << std::setw(12)
        << mine.PeakKB << std::setw(12) << theirs.PeakKB << std::setprecision(2) << std::setw(9)
        << (theirs.PeakKB > 0 ? static_cast<double>(mine.PeakKB) / static_cast<double>(theirs.PeakKB) : 0) << "\n";
    std::error_code ignored;
    std::filesystem::remove_all(ours, ignored);
    std::filesystem::remove_all(sqlite, ignored);
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace vendrik::bench
