// The about window's report on the computer: operating system family and
// version, processor type and revision, measured processor clock, physical
// memory and memory load; how each is read from this system, and how each is
// written for the window.
//
// On Linux: the family is "Linux" and the version the first three numbers of
// the kernel release (uname); memory total and load come from /proc/meminfo
// (the full total, whatever its size; the load is the share of memory not
// available to programs); the processor from the first processor of
// /proc/cpuinfo. An x86 processor is typed 386 or 486 by its family and 586
// for every later one, and its revision is model × 256 + stepping; an ARM
// processor gives its architecture number and revision. A value the system
// does not give is left out of the report and its label stays empty.
//
// Parsing and formatting are pure; GatherSystemReport reads the system.
#pragma once

#include <optional>

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace vendrik {

struct TOsVersion {
  int FMajor = 0;
  int FMinor = 0;
  int FBuild = 0;
};

struct TMemoryStatus {
  quint64 FTotalBytes = 0;
  int FLoadPercent = 0;  // 0 to 100
};

struct TProcessorInfo {
  int FType = 0;
  int FRevision = 0;
};

struct TSystemReport {
  QString FPlatformFamily;
  TOsVersion FVersion;
  std::optional<TMemoryStatus> FMemory;
  std::optional<double> FClockMHz;
  std::optional<TProcessorInfo> FProcessor;
};

// The operating system family of this build's platform ("Linux").
QString PlatformFamily();

// The leading "major.minor.build" numbers of a kernel release such as
// "6.8.0-45-generic"; numbers that are missing are 0.
TOsVersion ParseKernelRelease(const QByteArray& release);

// Total and load from the text of /proc/meminfo; no value when it lacks the
// total or the memory available (directly, or as free + buffers + cached).
std::optional<TMemoryStatus> ParseMemInfo(const QByteArray& text);

// Type and revision of the first processor in the text of /proc/cpuinfo; no
// value when the text does not describe an x86 or ARM processor.
std::optional<TProcessorInfo> ParseCpuInfo(const QByteArray& text);

// "Linux  (6.8.0)": the family, two blanks and the version in brackets.
QString FormatOperatingSystem(const QString& family, const TOsVersion& version);

// The memory in kilobytes, rounded to a whole number with `locale`'s group
// separator, then " KB" ("16 384 000 KB" under Hungarian). Zero bytes show
// as " KB", as the number pattern leaves out a zero.
QString FormatPhysicalMemory(quint64 totalBytes, const QLocale& locale);

// "45 %".
QString FormatMemoryLoad(int percent);

// Two decimals with `locale`'s decimal separator and no group separator,
// then " MHz" ("2095,97 MHz" under Hungarian).
QString FormatProcessorSpeed(double megahertz, const QLocale& locale);

// "586  Rev. 513": the type, two blanks, "Rev. " and the revision.
QString FormatProcessor(const TProcessorInfo& processor);

// Reads the report from the running system and measures the processor clock
// (processor_clock.h): blocks for a little more than half a second.
TSystemReport GatherSystemReport();

// The full path of an installed system-information viewer, looked up on the
// search path; empty when none is installed.
QString FindSystemInfoViewer();

// The viewers looked for, in order of preference.
QStringList SystemInfoViewerNames();

}  // namespace vendrik
