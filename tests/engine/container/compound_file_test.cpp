// The file system inside a container: random operations against a model
// (a map of names to byte strings) with reopening and checking between
// rounds, the failures of the directory operations, and random damage to a
// container's bytes, which must give errors naming the container and never
// a crash or a hang.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "engine/base/engine_error.h"
#include "engine/container/compound_file_intf.h"
#include "engine/container/compound_tools.h"
#include "engine/fs/os_file_system.h"
#include "fault_file_system.h"
#include "temp_dir.h"

namespace kestrel {
namespace {

using test::ReadWholeFile;
using test::TTempDir;
using test::WriteWholeFile;

class CompoundFileTest : public ::testing::Test {
 protected:
  TTempDir FDir;
  std::string FName = FDir.File("db.tdbd");

  std::vector<std::string> Defects() {
    std::vector<std::string> defects;
    CheckCompoundFile(std::make_shared<TdwOSFileSystem>(), FName,
                      [&](const std::string& owner, const std::string& message) { defects.push_back(owner + ": " + message); });
    return defects;
  }
  static std::string Content(TdwCompoundFileIntf& container, const std::string& name) {
    const TdwFileHandle handle = container.OpenFile(name, kFmOpenRead | kFmShareDenyNone);
    if (!IsValidHandle(handle)) return "<missing>";
    std::string data(static_cast<std::size_t>(container.GetFileSize(handle)), '\0');
    const std::int64_t got = container.FileRead(handle, 0, data.data(), static_cast<std::int64_t>(data.size()));
    container.CloseFile(handle);
    return got == static_cast<std::int64_t>(data.size()) ? data : "<short read>";
  }
};

TEST_F(CompoundFileTest, RandomOperationsAgreeWithModel) {
  std::mt19937 random(20261210);
  std::map<std::string, std::string> model;
  const std::vector<std::string> names = {"T.dat", "T.mem", "I!a.tdbi", "sub\\x", "sub\\y", "b"};
  auto container = std::make_unique<TdwCompoundFileIntf>(FName);
  container->NewFile();
  container->Open();
  ASSERT_TRUE(container->CreateDir("sub"));
  for (int round = 0; round < 12; ++round) {
    for (int step = 0; step < 60; ++step) {
      const std::string& name = names[random() % names.size()];
      const int operation = static_cast<int>(random() % 4);
      if (operation == 0 && model.count(name)) {  // delete
        ASSERT_TRUE(container->DeleteFile(name)) << name;
        model.erase(name);
        continue;
      }
      if (operation == 1 && model.count(name)) {  // resize
        const auto size = static_cast<std::size_t>(random() % 30000);
        const TdwFileHandle handle = container->OpenFile(name, kFmOpenReadWrite | kFmShareDenyNone);
        ASSERT_TRUE(container->SetFileSize(handle, static_cast<std::int64_t>(size)));
        container->CloseFile(handle);
        model[name].resize(size, '\0');
        continue;
      }
      // write somewhere inside or at the end
      if (!model.count(name)) {
        const TdwFileHandle handle = container->CreateFile(name);
        ASSERT_TRUE(IsValidHandle(handle)) << name;
        container->CloseFile(handle);
        model[name];
      }
      std::string& data = model[name];
      const std::size_t pos = data.empty() ? 0 : random() % (data.size() + 1);
      std::string bytes(random() % 20000, '\0');
      for (char& c : bytes) c = static_cast<char>(random());
      const TdwFileHandle handle = container->OpenFile(name, kFmOpenReadWrite | kFmShareDenyNone);
      ASSERT_EQ(container->FileWrite(handle, static_cast<std::int64_t>(pos), bytes.data(),
                                     static_cast<std::int64_t>(bytes.size())),
                static_cast<std::int64_t>(bytes.size()));
      container->CloseFile(handle);
      if (data.size() < pos + bytes.size()) data.resize(pos + bytes.size());
      data.replace(pos, bytes.size(), bytes);
    }
    container->Close();
    EXPECT_EQ(Defects(), std::vector<std::string>()) << "round " << round;
    container = std::make_unique<TdwCompoundFileIntf>(FName);
    container->Open();
    for (const std::string& name : names) {
      const auto found = model.find(name);
      ASSERT_EQ(Content(*container, name), found == model.end() ? "<missing>" : found->second)
          << name << " in round " << round;
    }
  }
  const std::vector<TdwCompoundListItem> listed = ListCompoundFiles(*container);
  EXPECT_EQ(listed.size(), model.size() + 1) << "the files and the directory sub";
}

TEST_F(CompoundFileTest, DirectoryOperationFailures) {
  TdwCompoundFileIntf container(FName);
  container.NewFile();
  container.Open();
  ASSERT_TRUE(container.CreateDir("d"));
  ASSERT_TRUE(IsValidHandle(container.CreateFile("d\\f")));  // stays open
  container.CloseFile(container.CreateFile("g"));
  const std::string longName(80, 'n');
  struct Case {
    const char* what;
    std::function<bool()> operation;
    int error;
  } cases[] = {
      {"a directory that exists", [&] { return container.CreateDir("D"); }, EEXIST},
      {"a file in a missing directory", [&] { return IsValidHandle(container.CreateFile("x\\f")); }, ENOENT},
      {"opening a missing file", [&] { return IsValidHandle(container.OpenFile("h", kFmOpenRead)); }, ENOENT},
      {"deleting an open file", [&] { return container.DeleteFile("d/f"); }, EBUSY},
      {"re-creating an open file", [&] { return IsValidHandle(container.CreateFile("d\\F")); }, EBUSY},
      {"renaming into another directory", [&] { return container.RenameFile("g", "d\\g"); }, EXDEV},
      {"renaming onto an existing name", [&] { return container.RenameFile("g", "d"); }, EEXIST},
      {"removing a directory that holds a file", [&] { return container.RemoveDir("d"); }, ENOENT},
      {"removing the root", [&] { return container.RemoveDir(""); }, ENOENT},
      {"a name longer than an entry holds", [&] { return IsValidHandle(container.CreateFile(longName)); }, ENAMETOOLONG},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(c.operation()) << c.what;
    EXPECT_EQ(container.GetLastError(), c.error) << c.what;
  }
  // Nothing changed: the same names with the same sizes.
  const std::vector<TdwCompoundListItem> listed = ListCompoundFiles(container);
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].FPath, "d");
  EXPECT_EQ(listed[1].FPath, "g");
  EXPECT_EQ(listed[2].FPath, "d\\f");
  EXPECT_TRUE(container.RenameFile("g", "G2"));
  EXPECT_TRUE(container.FileExists("g2")) << "names compare without regard to case";
}

TEST_F(CompoundFileTest, RandomDamageGivesErrorsNotCrashes) {
  {
    TdwCompoundFileIntf container(FName);
    container.NewFile();
    container.Open();
    ASSERT_TRUE(container.CreateDir("sub"));
    for (const char* name : {"a", "b", "sub\\c"}) {
      const TdwFileHandle handle = container.CreateFile(name);
      const std::string data(30000, name[0]);
      ASSERT_EQ(container.FileWrite(handle, 0, data.data(), 30000), 30000);
      container.CloseFile(handle);
    }
    ASSERT_TRUE(container.DeleteFile("b"));  // leaves a free list
  }
  const std::string original = ReadWholeFile(FName);
  std::mt19937 random(7);
  // Damage lands where it matters: the header, the table, the directories.
  const std::size_t regions[] = {kHeaderSize, 1024 + 4 * 16, 8192 + 109 * 3, original.size()};
  int refused = 0;
  for (int attempt = 0; attempt < 300; ++attempt) {
    std::string damaged = original;
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) {
      const std::size_t region = regions[random() % std::size(regions)];
      const std::size_t start = region == kHeaderSize ? 0 : region == original.size() ? 0 : region - 109 * 3;
      const std::size_t at = region == kHeaderSize ? random() % kHeaderSize
                                                     : start + random() % (region - start);
      damaged[at] = static_cast<char>(random());
    }
    WriteWholeFile(FName, damaged);
    try {
      TdwCompoundFileIntf container(FName);
      container.Open();
      for (const char* name : {"a", "sub\\c", "new"}) {
        const TdwFileHandle handle = container.OpenFile(name, kFmOpenReadWrite | kFmShareDenyNone);
        if (!IsValidHandle(handle)) continue;
        std::string data(40000, '\0');
        container.FileRead(handle, 0, data.data(), 40000);
        container.FileWrite(handle, 100, "changed", 7);
        container.SetFileSize(handle, 20000);
        container.CloseFile(handle);
      }
      container.CloseFile(container.CreateFile("new"));
      container.Close();
      Defects();
    } catch (const ETdbEngine& error) {
      ++refused;
      EXPECT_NE(error.Message().find(FName), std::string::npos) << error.Message();
    }
  }
  EXPECT_GT(refused, 0) << "some damage is found";
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

using test::TFaultFileSystem;

// A write that fails or moves only part of its bytes, at every write of a
// commit in turn: the operation reports the failure (never success), and
// the container opens afterwards with every file readable.
TEST_F(CompoundFileTest, FailedWritesAreReportedAndLeaveAReadableContainer) {
  struct Fault {
    const char* what;
    std::function<void(TFaultFileSystem&, int)> arm;
  } faults[] = {
      {"a failed write", [](TFaultFileSystem& fs, int n) { fs.FailNthWrite(n); }},
      {"a short write", [](TFaultFileSystem& fs, int n) { fs.ShortNthWrite(n); }},
      {"a full disk", [](TFaultFileSystem& fs, int n) { fs.FailNthWrite(n, true); }},
  };
  for (const Fault& fault : faults) {
    for (int n = 1;; ++n) {
      SCOPED_TRACE(std::string(fault.what) + " at write " + std::to_string(n));
      {
        TdwCompoundFileIntf container(FName);
        container.NewFile();
        container.Open();
        const TdwFileHandle handle = container.CreateFile("a");
        const std::string old(10000, 'o');
        ASSERT_EQ(container.FileWrite(handle, 0, old.data(), 10000), 10000);
        container.CloseFile(handle);
      }
      auto faulty = std::make_shared<TFaultFileSystem>(FDir.Path());
      bool failed = false;
      {
        TdwCompoundFileIntf container(FName, faulty);
        container.Open();
        fault.arm(*faulty, n);
        try {
          const TdwFileHandle handle = container.OpenFile("a", kFmOpenReadWrite | kFmShareDenyNone);
          const std::string data(30000, 'n');
          failed = container.FileWrite(handle, 5000, data.data(), 30000) != 30000;
          container.CloseFile(handle);
          const TdwFileHandle other = container.CreateFile("b");
          failed = failed || !IsValidHandle(other);
          container.CloseFile(other);
          container.Close();
        } catch (const ETdbEngine& error) {
          failed = true;
          EXPECT_NE(error.Message().find("Fatal compound file error"), std::string::npos) << error.Message();
        }
      }
      EXPECT_EQ(failed, faulty->GetFaultCount() > 0);
      TdwCompoundFileIntf container(FName);
      container.Open();
      for (const char* name : {"a", "b"}) {
        const std::string content = Content(container, name);
        EXPECT_NE(content, "<short read>") << name;
      }
      if (faulty->GetFaultCount() == 0) break;
    }
  }
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

TEST_F(CompoundFileTest, CompressRefusedWhileOpenAndKeepsContentOtherwise) {
  auto os = std::make_shared<TdwOSFileSystem>();
  {
    TdwCompoundFileIntf container(FName);
    container.NewFile();
    container.Open();
    for (const char* name : {"a", "b"}) {
      const TdwFileHandle handle = container.CreateFile(name);
      const std::string data(20000, name[0]);
      container.FileWrite(handle, 0, data.data(), 20000);
      container.CloseFile(handle);
    }
    ASSERT_TRUE(container.DeleteFile("a"));  // its tiles are free now
    try {
      CompressCompoundFile(os, FName);
      ADD_FAILURE() << "compressed while open";
    } catch (const ETdbEngine& error) {
      EXPECT_NE(error.Message().find("Cannot compress with open files."), std::string::npos) << error.Message();
    }
  }
  const std::string before = ReadWholeFile(FName);
  CompressCompoundFile(os, FName);
  EXPECT_EQ(ReadWholeFile(FDir.File("db.bak.tdbd")), before);
  EXPECT_FALSE(std::filesystem::exists(FDir.File("db.tmp.tdbd")));
  EXPECT_LT(ReadWholeFile(FName).size(), before.size());
  EXPECT_EQ(Defects(), std::vector<std::string>());
  TdwCompoundFileIntf container(FName);
  container.Open();
  EXPECT_EQ(Content(container, "b"), std::string(20000, 'b'));
  EXPECT_EQ(Content(container, "a"), "<missing>");
}

}  // namespace
}  // namespace kestrel
