// kestrel import TABLE FILE.csv [--delimiter C] [--encoding NAME]: appends
// every row in one transaction, streaming the file ("-" for standard input).
// When standard error is a terminal, a progress line shows how far a long
// import has come.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "tools/command.h"
#include "tools/csv.h"
#include "tools/table_spec.h"

namespace kestrel::tool {

namespace {

constexpr const char* kImportUsage = "usage: kestrel import TABLE FILE.csv [--delimiter C] [--encoding NAME]";
constexpr auto kProgressEvery = std::chrono::milliseconds(500);
constexpr int kRowsPerClockLook = 1024;
constexpr double kBytesPerMB = 1024.0 * 1024.0;

// Rewrites one line on standard error every half second once the import
// has run that long; ends it with a line feed when it was shown.
class TProgressLine {
 public:
  explicit TProgressLine(const TCsvReader& reader)
      : FReader(reader), FEnabled(::isatty(STDERR_FILENO) == 1),
        FNext(std::chrono::steady_clock::now() + kProgressEvery) {}
  ~TProgressLine() {
    if (FShown) std::fputc('\n', stderr);
  }
  void Row() {
    ++FRows;
    if (!FEnabled || FRows % kRowsPerClockLook != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now < FNext) return;
    FNext = now + kProgressEvery;
    const double read = static_cast<double>(FReader.BytesRead()) / kBytesPerMB;
    if (FReader.InputSize() > 0)
      std::fprintf(stderr, "\rkestrel import: %ld rows, %.1f of %.1f MB", FRows, read,
                   static_cast<double>(FReader.InputSize()) / kBytesPerMB);
    else
      std::fprintf(stderr, "\rkestrel import: %ld rows, %.1f MB", FRows, read);
    std::fflush(stderr);
    FShown = true;
  }

 private:
  const TCsvReader& FReader;
  bool FEnabled;
  bool FShown = false;
  long FRows = 0;
  std::chrono::steady_clock::time_point FNext;
};

}  // namespace

int RunImport(const std::vector<std::string>& args) {
  return RunGuarded("import", [&] {
    std::vector<std::string> positional;
    TCsvDialect dialect;
    bool delimiterGiven = false, encodingGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "--delimiter" && i + 1 < args.size() && !delimiterGiven) {
        dialect.Delimiter = ParseDelimiter(args[++i]);
        delimiterGiven = true;
      } else if (args[i] == "--encoding" && i + 1 < args.size() && !encodingGiven) {
        dialect.Encoding = args[++i];
        encodingGiven = true;
      } else if (args[i].rfind("--", 0) == 0) {
        throw std::runtime_error(kImportUsage);
      } else {
        positional.push_back(args[i]);
      }
    }
    if (positional.size() != 2) throw std::runtime_error(kImportUsage);
    TCsvReader reader(positional[1], dialect);
    TToolTable tool;
    TTdbBaseTable& table = tool.Open(positional[0], kAccessRightsMask);
    int count = 0;
    {
      TProgressLine progress(reader);
      count = ImportCsv(table, reader, [&] { progress.Row(); });
    }
    table.Close();
    std::printf("%d records imported\n", count);
    return 0;
  });
}

}  // namespace kestrel::tool
