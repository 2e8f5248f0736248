// Summaries and output of the benchmark (see bench_report.h).
#include "bench/bench_report.h"

#include <algorithm>
#include <cstdio>

namespace vendrik::bench {

namespace {

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// "op" -> "op [tag]", "op [secure]" -> "op [secure, tag]".
std::string TaggedName(const std::string& operation, const std::string& tag) {
  if (tag.empty()) return operation;
  if (!operation.empty() && operation.back() == ']')
    return operation.substr(0, operation.size() - 1) + ", " + tag + "]";
  return operation + " [" + tag + "]";
}

}  // namespace

void Summarise(std::int32_t records, bool secure, const std::vector<std::pair<TRunResult, TRunResult>>& runs,
               TSummary& summary, const std::string& tag) {
  const bool flat = tag == "flat";
  TSummary::TMemory memory{records, secure, 0, 0};
  const std::vector<TOpResult>& first = runs.front().first.Ops;
  for (std::size_t op = 0; op < first.size(); ++op) {
    TSummaryRow row{TaggedName(first[op].Operation, tag), first[op].Unit, records, first[op].Steps, 0, 0, 0, 0, true};
    std::vector<double> ours, sqlite, oursCpu, sqliteCpu;
    for (const auto& [oursRun, sqliteRun] : runs) {
      ours.push_back(oursRun.Ops[op].Micros);
      sqlite.push_back(sqliteRun.Ops[op].Micros);
      oursCpu.push_back(oursRun.Ops[op].CpuMicros);
      sqliteCpu.push_back(sqliteRun.Ops[op].CpuMicros);
      row.ChecksumEqual = row.ChecksumEqual && oursRun.Ops[op].Checksum == first[op].Checksum &&
                          sqliteRun.Ops[op].Checksum == first[op].Checksum;
    }
    row.OursMicros = Median(ours);
    row.SqliteMicros = Median(sqlite);
    row.OursCpuMicros = Median(oursCpu);
    row.SqliteCpuMicros = Median(sqliteCpu);
    summary.Rows.push_back(row);
  }
  for (const auto& [oursRun, sqliteRun] : runs) {
    memory.OursKB = std::max(memory.OursKB, oursRun.PeakGrowthKB);
    memory.SqliteKB = std::max(memory.SqliteKB, sqliteRun.PeakGrowthKB);
  }
  if (!tag.empty()) {
    const std::int64_t variantKB = flat ? memory.OursKB : memory.SqliteKB;
    for (TSummary::TMemory& known : summary.Memory)
      if (known.Records == records && known.Secure == secure) {
        (flat ? known.FlatKB : known.WalKB) = variantKB;
        return;
      }
    memory = {records, secure, 0, 0, flat ? variantKB : -1, flat ? -1 : variantKB};
  }
  summary.Memory.push_back(memory);
}

void PrintTable(std::ostream& out, const TSummary& summary) {
  char line[256];
  std::snprintf(line, sizeof line, "%-50s %8s %6s %-6s %11s %11s %6s %10s %10s %6s  %s\n", "operation", "records",
                "steps", "per", "ours us", "SQLite us", "ratio", "ours cpu", "SQLite cpu", "ratio", "checksum");
  out << line;
  for (const TSummaryRow& row : summary.Rows) {
    const double cpuRatio = row.SqliteCpuMicros > 0 ? row.OursCpuMicros / row.SqliteCpuMicros : 0;
    std::snprintf(line, sizeof line, "%-50s %8d %6lld %-6s %11.3f %11.3f %6.2f %10.3f %10.3f %6.2f  %s\n",
                  row.Operation.c_str(), row.Records, static_cast<long long>(row.Steps), row.Unit.c_str(),
                  row.OursMicros, row.SqliteMicros, row.Ratio(), row.OursCpuMicros, row.SqliteCpuMicros, cpuRatio,
                  row.ChecksumEqual ? "equal" : "*** MISMATCH ***");
    out << line;
  }
  out << "\npeak memory growth of the process that ran each engine (largest of its runs):\n";
  for (const TSummary::TMemory& memory : summary.Memory) {
    std::snprintf(line, sizeof line, "  %9d records%-10s ours %8lld KB   SQLite %8lld KB", memory.Records,
                  memory.Secure ? " [secure]" : "", static_cast<long long>(memory.OursKB),
                  static_cast<long long>(memory.SqliteKB));
    out << line;
    if (memory.FlatKB >= 0) {
      std::snprintf(line, sizeof line, "   ours [flat] %8lld KB", static_cast<long long>(memory.FlatKB));
      out << line;
    }
    if (memory.WalKB >= 0) {
      std::snprintf(line, sizeof line, "   SQLite WAL %8lld KB", static_cast<long long>(memory.WalKB));
      out << line;
    }
    out << "\n";
  }
}

void PrintJson(std::ostream& out, const TSummary& summary) {
  out << "[\n";
  for (std::size_t i = 0; i < summary.Rows.size(); ++i) {
    const TSummaryRow& row = summary.Rows[i];
    out << "  {\"operation\": " << JsonString(row.Operation) << ", \"records\": " << row.Records
        << ", \"ours_us\": " << Format("%.3f", row.OursMicros) << ", \"sqlite_us\": "
        << Format("%.3f", row.SqliteMicros) << ", \"ratio\": " << Format("%.3f", row.Ratio())
        << ", \"checksum_equal\": " << (row.ChecksumEqual ? "true" : "false")
        << ", \"ours_cpu_us\": " << Format("%.3f", row.OursCpuMicros)
        << ", \"sqlite_cpu_us\": " << Format("%.3f", row.SqliteCpuMicros) << "}"
        << (i + 1 < summary.Rows.size() ? "," : "") << "\n";
  }
  out << "]\n";
}

}  // namespace vendrik::bench
