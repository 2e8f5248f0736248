// The system report (see system_report.h).
#include "app/system_report.h"

#include <sys/utsname.h>

#include <cmath>
#include <map>

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include "app/processor_clock.h"

namespace vendrik {
namespace {

const QString kMemInfoPath = QStringLiteral("/proc/meminfo");
const QString kCpuInfoPath = QStringLiteral("/proc/cpuinfo");
constexpr quint64 kBytesPerKilobyte = 1024;

// x86 processor types by family, as the platform's processor type codes
// number them: 386 and 486, then 586 for the Pentium and every later family.
constexpr int kIntel386 = 386;
constexpr int kIntel486 = 486;
constexpr int kIntelPentium = 586;
constexpr int kFamily386 = 3;
constexpr int kFamily486 = 4;
constexpr int kModelShift = 8;  // revision = model << 8 | stepping

// "key : value" lines of a /proc text, up to the first blank line (the first
// processor of /proc/cpuinfo; all of /proc/meminfo). Keys are kept as written.
std::map<QByteArray, QByteArray> ReadFields(const QByteArray& text) {
  std::map<QByteArray, QByteArray> fields;
  for (const QByteArray& line : text.split('\n')) {
    if (line.trimmed().isEmpty()) {
      if (!fields.empty()) break;
      continue;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon < 0) continue;
    fields.emplace(line.left(colon).trimmed(), line.mid(colon + 1).trimmed());
  }
  return fields;
}

// The number of `key`, read in base 10, or 16 after "0x"; a trailing unit
// ("kB") is ignored.
std::optional<quint64> FieldNumber(const std::map<QByteArray, QByteArray>& fields, const char* key) {
  const auto found = fields.find(QByteArray(key));
  if (found == fields.end()) return std::nullopt;
  QByteArray value = found->second.split(' ').front();
  int base = 10;
  if (value.startsWith("0x") || value.startsWith("0X")) {
    value = value.mid(2);
    base = 16;
  }
  bool ok = false;
  const quint64 number = value.toULongLong(&ok, base);
  if (!ok) return std::nullopt;
  return number;
}

QByteArray ReadProcFile(const QString& path) {
  QFile file(path);
  // /proc files report size 0: read until the end instead.
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

}  // namespace

QString PlatformFamily() { return QStringLiteral("Linux"); }

TOsVersion ParseKernelRelease(const QByteArray& release) {
  static const QRegularExpression leading(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
  const QRegularExpressionMatch match = leading.match(QString::fromLatin1(release));
  TOsVersion version;
  if (!match.hasMatch()) return version;
  version.FMajor = match.captured(1).toInt();
  version.FMinor = match.captured(2).toInt();
  version.FBuild = match.captured(3).toInt();
  return version;
}

std::optional<TMemoryStatus> ParseMemInfo(const QByteArray& text) {
  const auto fields = ReadFields(text);
  const std::optional<quint64> total = FieldNumber(fields, "MemTotal");
  std::optional<quint64> available = FieldNumber(fields, "MemAvailable");
  if (!available) {
    const auto free = FieldNumber(fields, "MemFree");
    const auto buffers = FieldNumber(fields, "Buffers");
    const auto cached = FieldNumber(fields, "Cached");
    if (free && buffers && cached) available = *free + *buffers + *cached;
  }
  if (!total || *total == 0 || !available) return std::nullopt;
  const quint64 used = *available < *total ? *total - *available : 0;
  TMemoryStatus status;
  status.FTotalBytes = *total * kBytesPerKilobyte;
  status.FLoadPercent = static_cast<int>((used * 100 + *total / 2) / *total);
  return status;
}

std::optional<TProcessorInfo> ParseCpuInfo(const QByteArray& text) {
  const auto fields = ReadFields(text);
  const auto family = FieldNumber(fields, "cpu family");
  if (family) {
    const auto model = FieldNumber(fields, "model");
    const auto stepping = FieldNumber(fields, "stepping");
    TProcessorInfo processor;
    processor.FType = *family == kFamily386   ? kIntel386
                      : *family == kFamily486 ? kIntel486
                                              : kIntelPentium;
    processor.FRevision = static_cast<int>((model.value_or(0) << kModelShift) | stepping.value_or(0));
    return processor;
  }
  const auto architecture = FieldNumber(fields, "CPU architecture");
  if (architecture) {
    TProcessorInfo processor;
    processor.FType = static_cast<int>(*architecture);
    processor.FRevision = static_cast<int>(FieldNumber(fields, "CPU revision").value_or(0));
    return processor;
  }
  return std::nullopt;
}

QString FormatOperatingSystem(const QString& family, const TOsVersion& version) {
  return QStringLiteral("%1  (%2.%3.%4)").arg(family).arg(version.FMajor).arg(version.FMinor).arg(version.FBuild);
}

QString FormatPhysicalMemory(quint64 totalBytes, const QLocale& locale) {
  const auto kilobytes = static_cast<qulonglong>(std::llround(static_cast<double>(totalBytes) / kBytesPerKilobyte));
  const QString digits = kilobytes == 0 ? QString() : locale.toString(kilobytes);
  return digits + QStringLiteral(" KB");
}

QString FormatMemoryLoad(int percent) { return QStringLiteral("%1 %").arg(percent); }

QString FormatProcessorSpeed(double megahertz, const QLocale& locale) {
  QLocale plain = locale;
  plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
  return plain.toString(megahertz, 'f', 2) + QStringLiteral(" MHz");
}

QString FormatProcessor(const TProcessorInfo& processor) {
  return QStringLiteral("%1  Rev. %2").arg(processor.FType).arg(processor.FRevision);
}

TSystemReport GatherSystemReport() {
  TSystemReport report;
  report.FPlatformFamily = PlatformFamily();
  utsname names{};
  if (uname(&names) == 0) report.FVersion = ParseKernelRelease(QByteArray(names.release));
  report.FMemory = ParseMemInfo(ReadProcFile(kMemInfoPath));
  report.FClockMHz = MeasureProcessorClockMHz();
  report.FProcessor = ParseCpuInfo(ReadProcFile(kCpuInfoPath));
  return report;
}

QStringList SystemInfoViewerNames() {
  return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter")};
}

QString FindSystemInfoViewer() {
  for (const QString& name : SystemInfoViewerNames()) {
    const QString path = QStandardPaths::findExecutable(name);
    if (!path.isEmpty()) return path;
  }
  return {};
}

}  // namespace vendrik
