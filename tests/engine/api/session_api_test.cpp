// Sessions through the flat call interface: handles, network parameters,
// the last-error record and the result-code texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/api/handles.h"
#include "engine/api/kestrel.h"
#include "engine/session/services.h"
#include "fake_engine.h"

namespace kestrel::test {
namespace {

using TSessionApi = TApiFixture;

TEST_F(TSessionApi, HandlesTakeTheFirstFreeSlotUpToOneHundred) {
  for (int expected = 1; expected <= 100; ++expected) ASSERT_EQ(TdbCreateSession(u""), expected);
  EXPECT_EQ(TdbCreateSession(u""), -53);
  EXPECT_EQ(TdbSessDelete(37), 0);
  EXPECT_EQ(TdbSessDelete(37), -105);
  EXPECT_EQ(TdbCreateSession(nullptr), 37);
}

TEST_F(TSessionApi, RemoteLocationIsRefused) {
  EXPECT_EQ(TdbCreateSession(u"server@host"), -53);
  EXPECT_EQ(TdbCreateSession(u"@"), -53);
  EXPECT_EQ(TdbCreateSession(u"local"), 1);
}

TEST_F(TSessionApi, InvalidSessionHandles) {
  const std::int16_t deleted = static_cast<std::int16_t>(TdbCreateSession(u""));
  ASSERT_EQ(TdbSessDelete(deleted), 0);
  TTdbNetParams params{};
  TTdbDbInfo info{};
  std::int32_t code = 0;
  TdbChar text[16];
  const std::function<std::int32_t(std::int16_t)> calls[] = {
      [](std::int16_t h) { return TdbSessDelete(h); },
      [&](std::int16_t h) { return TdbSessGetDefaultNetParams(h, &params); },
      [&](std::int16_t h) { return TdbSessSetNetParams(h, &params); },
      [](std::int16_t h) { return TdbSessSetSystemSettings(h, 4096, 512); },
      [](std::int16_t h) { return TdbSessOpenDb(h, u"", u"", u"", 1024, 0); },
      [&](std::int16_t h) { return TdbSessGetDbInfo(h, &info); },
      [](std::int16_t h) { return TdbSessSetSettings(h, 0, 0, 1, 20000); },
      [](std::int16_t h) { return TdbSessSetLogLevel(h, 0); },
      [](std::int16_t h) { return TdbSessIsSingleFile(h); },
      [](std::int16_t h) { return TdbSessFindRltnHdl(h, u"Vnd03"); },
      [](std::int16_t h) { return TdbSessOpenTable(h, u"Vnd03", u"", 0xF8FF, 1, 0); },
      [](std::int16_t h) { return TdbSessCloseUnneededTables(h); },
      [](std::int16_t h) { return TdbSessCloseDb(h); },
      [&](std::int16_t h) { return TdbSessGetLastError(h, &code, text, 15); },
      [&](std::int16_t h) { return TdbSessGetLastErrorPos(h, text, 15); },
  };
  for (std::int16_t handle : {std::int16_t{0}, std::int16_t{-1}, std::int16_t{101},
                              std::int16_t{32767}, std::int16_t{-32768}, deleted})
    for (size_t i = 0; i < std::size(calls); ++i)
      EXPECT_EQ(calls[i](handle), -105) << "call " << i << " handle " << handle;
}

class TSequenceClock : public TdwClock {
 public:
  std::uint64_t GetTickCount() override { return 0; }
  void Sleep(std::uint32_t) override {}
  std::uint32_t Random(std::uint32_t range) override {
    FRanges.push_back(range);
    return FDraws[FNext++];
  }
  std::uint64_t RandomBits() override { return 0; }
  std::chrono::system_clock::time_point Now() override { return {}; }
  std::vector<std::uint32_t> FDraws;
  std::vector<std::uint32_t> FRanges;
  size_t FNext = 0;
};

TEST(TSessionServices, StationNumberIsDrawnUntilNonZero) {
  TSequenceClock clock;
  clock.FDraws = {0, 0, 2147483646};
  TTdbServices services(clock);
  EXPECT_EQ(services.FStationNo, 2147483646u);
  EXPECT_EQ(services.FStationName, u"2147483646");
  EXPECT_EQ(clock.FRanges, (std::vector<std::uint32_t>{2147483647, 2147483647, 2147483647}));
}

TEST_F(TSessionApi, NetParamsRoundTrip) {
  const auto session = static_cast<std::int16_t>(TdbCreateSession(u""));
  TTdbNetParams params;
  ASSERT_EQ(TdbSessGetDefaultNetParams(session, &params), 0);
  EXPECT_GE(params.StationNo, 1u);
  EXPECT_LE(params.StationNo, 2147483646u);
  EXPECT_EQ(std::u16string(params.StationName), U16(std::to_string(params.StationNo)));
  EXPECT_EQ(params.NetDirs[0], 0);
  EXPECT_GT(params.ServerTimeout, 0);

  const std::string privateDir = FDir.File("private/deeper");
  const std::u16string privateDir16 = U16(privateDir);
  std::copy(privateDir16.begin(), privateDir16.end(), params.PrivateDir);
  params.PrivateDir[privateDir16.size()] = 0;
  std::u16string name = u"Station A";
  std::copy(name.begin(), name.end(), params.StationName);
  params.StationName[name.size()] = 0;
  params.StationNo = 4711;
  ASSERT_EQ(TdbSessSetNetParams(session, &params), 0);
  EXPECT_TRUE(std::filesystem::is_directory(privateDir));

  TTdbNetParams back;
  ASSERT_EQ(TdbSessGetDefaultNetParams(session, &back), 0);
  EXPECT_EQ(back.StationNo, 4711u);
  EXPECT_EQ(std::u16string(back.StationName), u"Station A");
  EXPECT_EQ(std::u16string(back.PrivateDir), privateDir16);
}

TEST_F(TSessionApi, NetParamsWithoutTerminatorAreRefused) {
  const auto session = static_cast<std::int16_t>(TdbCreateSession(u""));
  TTdbNetParams params;
  ASSERT_EQ(TdbSessGetDefaultNetParams(session, &params), 0);
  const std::u16string before(params.StationName);
  TTdbNetParams bad = params;
  std::fill(std::begin(bad.StationName), std::end(bad.StationName), u'A');
  EXPECT_EQ(TdbSessSetNetParams(session, &bad), -103);
  EXPECT_EQ(TdbSessSetNetParams(session, nullptr), -103);
  EXPECT_EQ(TdbSessGetDefaultNetParams(session, nullptr), -103);
  ASSERT_EQ(TdbSessGetDefaultNetParams(session, &params), 0);
  EXPECT_EQ(std::u16string(params.StationName), before);
}

TEST_F(TSessionApi, ErrorMessagesOfResultCodes) {
  struct Case {
    std::int32_t code;
    std::int32_t maxLen;
    std::u16string text;
  } cases[] = {
      {0, 255, u"No error"},
      {-101, 255, u"The table handle is invalid"},
      {-59, 255, u"The SQL command has an error at row %d, column %d"},
      {1, 255, u"Unknown error"},
      {-9, 255, u"Unknown error"},
      {-101, 5, u"The t"},
      {-101, 0, u""},
  };
  for (const Case& c : cases) {
    TdbChar buffer[300];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(TdbGetErrorMsg(c.code, buffer, c.maxLen), 0);
    EXPECT_EQ(std::u16string(buffer), c.text) << c.code;
    EXPECT_EQ(buffer[c.maxLen + 1], u'#') << "written past MaxLen + 1";
  }
  EXPECT_EQ(TdbGetErrorMsg(-101, nullptr, 5), -103);
  TdbChar untouched[2] = {u'#', u'#'};
  EXPECT_EQ(TdbGetErrorMsg(-101, untouched, -1), -103);
  EXPECT_EQ(untouched[0], u'#');
  EXPECT_EQ(TdbGetVersion(), 8102);
}

TEST_F(TSessionApi, LastErrorRecord) {
  const auto session = static_cast<std::int16_t>(TdbCreateSession(u""));
  EXPECT_EQ(LastError(session), std::make_pair(0, std::u16string()));

  const std::u16string missing = U16(FDir.File("missing.xyz"));
  EXPECT_EQ(TdbSessOpenDb(session, missing.c_str(), u"", u"", 0, 0), -58);
  const std::u16string message = u"File not found or access denied: \"" + missing + u"\"";
  EXPECT_EQ(LastError(session), std::make_pair(37, message));

  std::int32_t code = 0;
  TdbChar cut[8];
  std::fill(std::begin(cut), std::end(cut), u'#');
  ASSERT_EQ(TdbSessGetLastError(session, &code, cut, 4), 0);
  EXPECT_EQ(std::u16string(cut), u"File");
  EXPECT_EQ(cut[5], u'#');
  EXPECT_EQ(TdbSessGetLastError(session, nullptr, cut, 4), -103);
  EXPECT_EQ(TdbSessGetLastError(session, &code, nullptr, 4), -103);

  // A condition error carries its text (tabs as blanks) and position.
  TTdbServices& services = TTdbHandleTables::Instance().Session(session)->Services();
  services.SetLastError(ETdbEngine(tdbErrSyntax, "KOD >"));
  services.SetLastErrorPosition(u"KOD\t>", 1, 5);
  TdbChar line[32];
  EXPECT_EQ(TdbSessGetLastErrorPos(session, line, 31), 5);
  EXPECT_EQ(std::u16string(line), u"KOD >");
  EXPECT_EQ(TdbSessGetLastErrorPos(session, nullptr, 31), -103);
}

}  // namespace
}  // namespace kestrel::test
