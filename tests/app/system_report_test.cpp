// The about window's system report: reading the kernel release, memory and
// processor texts; the labels' number formats under the Hungarian locale;
// and one report read from the running system.
#include <QLocale>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "app/system_report.h"

namespace vendrik::testing {
namespace {

const QLocale kHungarian(QLocale::Hungarian, QLocale::Hungary);

TEST(SystemReportTest, KernelReleaseGivesMajorMinorAndBuild) {
  struct Case {
    const char* FRelease;
    int FMajor, FMinor, FBuild;
  };
  const Case cases[] = {
      {"6.8.0-45-generic", 6, 8, 0}, {"5.15.153.1-microsoft-standard-WSL2", 5, 15, 153},
      {"6.1", 6, 1, 0},              {"4", 4, 0, 0},
      {"", 0, 0, 0},                 {"rolling", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.FRelease);
    const TOsVersion version = ParseKernelRelease(c.FRelease);
    EXPECT_EQ(version.FMajor, c.FMajor);
    EXPECT_EQ(version.FMinor, c.FMinor);
    EXPECT_EQ(version.FBuild, c.FBuild);
  }
  EXPECT_EQ(FormatOperatingSystem(QStringLiteral("Linux"), {6, 8, 0}), QStringLiteral("Linux  (6.8.0)"));
}

TEST(SystemReportTest, MemoryTotalIsNotCappedAndLoadIsTheShareInUse) {
  struct Case {
    const char* FName;
    const char* FText;
    std::optional<quint64> FTotalBytes;
    int FLoad;
  };
  const Case cases[] = {
      {"64 GB, past any 32-bit limit",
       "MemTotal:       67108864 kB\nMemFree:         1000000 kB\nMemAvailable:   50331648 kB\n",
       67108864ull * 1024, 25},
      {"without MemAvailable: free + buffers + cached",
       "MemTotal:  1000 kB\nMemFree:  100 kB\nBuffers:  50 kB\nCached:  400 kB\n", 1000ull * 1024, 45},
      {"load rounds to the nearest percent", "MemTotal: 1000 kB\nMemAvailable: 994 kB\n", 1000ull * 1024, 1},
      {"no total", "MemFree: 100 kB\nMemAvailable: 100 kB\n", std::nullopt, 0},
      {"no available memory at all", "MemTotal: 1000 kB\nMemFree: 100 kB\n", std::nullopt, 0},
      {"empty", "", std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.FName);
    const std::optional<TMemoryStatus> status = ParseMemInfo(c.FText);
    ASSERT_EQ(status.has_value(), c.FTotalBytes.has_value());
    if (!status) continue;
    EXPECT_EQ(status->FTotalBytes, *c.FTotalBytes);
    EXPECT_EQ(status->FLoadPercent, c.FLoad);
  }
}

TEST(SystemReportTest, ProcessorTypeAndRevisionFromCpuInfo) {
  struct Case {
    const char* FName;
    const char* FText;
    std::optional<int> FType;
    int FRevision;
  };
  const Case cases[] = {
      {"a current x86 processor",
       "processor\t: 0\nvendor_id\t: AuthenticAMD\ncpu family\t: 26\nmodel\t\t: 2\nmodel name\t: AMD EPYC\n"
       "stepping\t: 1\n\nprocessor\t: 1\ncpu family\t: 5\nmodel\t\t: 9\nstepping\t: 9\n",
       586, 2 * 256 + 1},
      {"a 486", "cpu family\t: 4\nmodel\t\t: 8\nstepping\t: 0\n", 486, 8 * 256},
      {"a 386", "cpu family\t: 3\nmodel\t\t: 0\nstepping\t: 0\n", 386, 0},
      {"an ARM processor", "processor\t: 0\nCPU architecture: 8\nCPU variant\t: 0x1\nCPU revision\t: 4\n", 8, 4},
      {"an unknown kind", "processor\t: 0\nisa\t\t: rv64imafdc\n", std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.FName);
    const std::optional<TProcessorInfo> processor = ParseCpuInfo(c.FText);
    ASSERT_EQ(processor.has_value(), c.FType.has_value());
    if (!processor) continue;
    EXPECT_EQ(processor->FType, *c.FType);
    EXPECT_EQ(processor->FRevision, c.FRevision);
  }
  EXPECT_EQ(FormatProcessor({586, 513}), QStringLiteral("586  Rev. 513"));
}

TEST(SystemReportTest, NumbersUseTheHungarianSeparators) {
  const QString group = kHungarian.groupSeparator();
  ASSERT_FALSE(group.isEmpty());
  const auto grouped = [&group](const char* a, const char* b, const char* c) {
    return QString::fromLatin1(a) + group + QString::fromLatin1(b) + group + QString::fromLatin1(c) +
           QStringLiteral(" KB");
  };
  EXPECT_EQ(FormatPhysicalMemory(16777216000ull, kHungarian), grouped("16", "384", "000"));
  EXPECT_EQ(FormatPhysicalMemory(67108864ull * 1024, kHungarian), grouped("67", "108", "864"));
  EXPECT_EQ(FormatPhysicalMemory(1535, kHungarian), QStringLiteral("1 KB")) << "rounded to whole kilobytes";
  EXPECT_EQ(FormatPhysicalMemory(1536, kHungarian), QStringLiteral("2 KB"));
  EXPECT_EQ(FormatPhysicalMemory(0, kHungarian), QStringLiteral(" KB")) << "the pattern leaves out a zero";
  EXPECT_EQ(FormatProcessorSpeed(2095.9654, kHungarian), QStringLiteral("2095,97 MHz")) << "no group separator";
  EXPECT_EQ(FormatProcessorSpeed(800, kHungarian), QStringLiteral("800,00 MHz"));
  EXPECT_EQ(FormatMemoryLoad(45), QStringLiteral("45 %"));
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  EXPECT_EQ(FormatPhysicalMemory(16777216000ull, english), QStringLiteral("16,384,000 KB"));
  EXPECT_EQ(FormatProcessorSpeed(2095.9654, english), QStringLiteral("2095.97 MHz"));
}

TEST(SystemReportTest, TheRunningSystemGivesAFullReport) {
  const TSystemReport report = GatherSystemReport();
  EXPECT_EQ(report.FPlatformFamily, QStringLiteral("Linux"));
  EXPECT_GT(report.FVersion.FMajor, 0);
  ASSERT_TRUE(report.FMemory.has_value());
  EXPECT_GT(report.FMemory->FTotalBytes, 0u);
  EXPECT_GE(report.FMemory->FLoadPercent, 0);
  EXPECT_LE(report.FMemory->FLoadPercent, 100);
  ASSERT_TRUE(report.FProcessor.has_value());
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+  Rev\\. \\d+$")).match(FormatProcessor(*report.FProcessor)).hasMatch());
#if defined(__x86_64__) || defined(__i386__)
  ASSERT_TRUE(report.FClockMHz.has_value());
  // Any processor this runs on counts between 100 MHz and 10 GHz.
  EXPECT_GT(*report.FClockMHz, 100.0);
  EXPECT_LT(*report.FClockMHz, 10000.0);
#endif
}

}  // namespace
}  // namespace vendrik::testing
