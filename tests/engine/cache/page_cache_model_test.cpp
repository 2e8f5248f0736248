// The page cache against a byte array: random writes, reads, flushes, undos,
// invalidations, page count changes and syncs through three page sites of two
// clients sharing one storage, with injected read and write failures and
// simulated crashes. After every step the whole cache view must equal the
// model; after every successful flush the file must equal it; after a crash
// the file must equal what was synced last. A failed flush must leave the
// cache view unchanged, and repeating it must write everything.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "capture_log.h"
#include "engine/cache/client_storage.h"
#include "engine/cache/page_manager.h"
#include "engine/cache/page_manager_error.h"
#include "engine/cache/page_site.h"
#include "fault_file_system.h"
#include "temp_dir.h"

namespace kestrel {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::int64_t kTile = 8192;
constexpr int kSteps = 1500;
constexpr std::uint32_t kSeed = 20261210;

struct Geometry {
  int FPageSize;
  int FCacheKB;  // small limits force evictions
};

class PageCacheModelTest : public ::testing::TestWithParam<Geometry> {
 protected:
  void SetUp() override {
    FPageManager.SetLog(&FLog);
    FPageManager.RegisterClient(1, GetParam().FCacheKB);
    auto creator = MakeClient(1);
    creator->NewStorage();
    creator->Flush();
    creator->UpdateDir();
    creator->Close();
    OpenClients();
  }

  std::unique_ptr<TTdbClientStorage> MakeClient(int session) {
    auto client = std::make_unique<TTdbClientStorage>(FPageManager, FFs, session, nullptr);
    client->SetName("model.dat");
    client->SetPageSize(GetParam().FPageSize);
    return client;
  }

  void OpenClients() {
    FFirst = MakeClient(1);
    FFirst->Open(false, false);
    FSecond = MakeClient(2);  // another session on the same storage
    FSecond->Open(false, false);
    FSites.clear();
    FSites.push_back(FFirst->CreatePageSite());
    FSites.push_back(FFirst->CreatePageSite());
    FSites.push_back(FSecond->CreatePageSite());
    FChecker = FFirst->CreatePageSite();
  }

  void CloseClients() {
    FSites.clear();
    FChecker.reset();
    FSecond.reset();
    FFirst.reset();
  }

  std::int64_t P() const { return GetParam().FPageSize; }
  std::int64_t PageCount() const { return static_cast<std::int64_t>(FModel.size()) / P(); }
  Bytes FileBytes() const {
    const std::string content = test::ReadWholeFile(FDir.File("model.dat"));
    return Bytes(content.begin(), content.end());
  }
  void GrowModelFor(std::int64_t pageNo) {
    const std::int64_t firstTile = pageNo * P() / kTile;
    const std::int64_t tiles = std::max<std::int64_t>(1, P() / kTile);
    const auto need = static_cast<std::size_t>((firstTile + tiles) * kTile);
    if (FModel.size() < need) FModel.resize(need, 0);
  }

  void CheckView(int step) {
    ASSERT_EQ(FFirst->GetPageCount(), PageCount()) << "step " << step;
    ASSERT_EQ(FSecond->GetPageCount(), PageCount()) << "step " << step;
    Bytes page(static_cast<std::size_t>(P()));
    for (std::int64_t n = 0; n < PageCount(); ++n) {
      FChecker->LoadPage(n);
      FChecker->CopyTo(0, page.data(), static_cast<int>(P()));
      ASSERT_TRUE(std::equal(page.begin(), page.end(), FModel.begin() + n * P()))
          << "step " << step << " page " << n;
    }
  }

  void Flush(int step) {
    FFirst->Flush();
    FFlushed = FModel;
    ASSERT_EQ(FileBytes(), FModel) << "step " << step;
  }

  test::TTempDir FDir;
  test::TFaultFileSystem FFs{FDir.Path()};
  test::TCaptureLog FLog;
  TTdbPageManager FPageManager;
  std::unique_ptr<TTdbClientStorage> FFirst, FSecond;
  std::vector<std::unique_ptr<TTdbStoragePageSite>> FSites;
  std::unique_ptr<TTdbStoragePageSite> FChecker;
  Bytes FModel, FFlushed, FSynced;
};

TEST_P(PageCacheModelTest, RandomOperationsMatchAByteArray) {
  std::mt19937 rng(kSeed);
  auto below = [&](std::int64_t n) { return n <= 0 ? 0 : static_cast<std::int64_t>(rng() % n); };
  int failedFlushes = 0, failedReads = 0, crashes = 0;
  for (int step = 0; step < kSteps; ++step) {
    const int op = static_cast<int>(below(100));
    TTdbStoragePageSite& site = *FSites[below(3)];
    if (op < 40) {  // write
      const std::int64_t pageNo = below(std::min<std::int64_t>(PageCount() + 2, 160000 / P() + 2));
      const int offset = static_cast<int>(below(P()));
      const int count = static_cast<int>(1 + below(std::min<std::int64_t>(P() - offset, 300)));
      Bytes data(count);
      for (auto& b : data) b = static_cast<std::uint8_t>(rng());
      site.InitPage(pageNo);
      site.CopyFrom(data.data(), offset, count);
      GrowModelFor(pageNo);
      std::copy(data.begin(), data.end(), FModel.begin() + pageNo * P() + offset);
    } else if (op < 55) {  // read, sometimes beyond the end, sometimes failing
      const std::int64_t pageNo = below(PageCount() + 1);
      const bool fail = below(4) == 0;
      if (fail) {
        FFirst->Invalidate();  // so that the page must come from the file
        FSecond->Invalidate();
        FModel = FFlushed;
        FFs.FailNthRead(1);
      }
      if (pageNo >= PageCount()) {
        EXPECT_THROW(site.LoadPage(pageNo), ETdbPageManager) << "step " << step;
      } else {
        try {
          site.LoadPage(pageNo);
          int offset = static_cast<int>(below(P() - 4));
          EXPECT_EQ(site.ReadInt32(offset),
                    static_cast<std::int32_t>(
                        FModel[pageNo * P() + offset] | FModel[pageNo * P() + offset + 1] << 8 |
                        FModel[pageNo * P() + offset + 2] << 16 |
                        std::uint32_t(FModel[pageNo * P() + offset + 3]) << 24))
              << "step " << step;
        } catch (const ETdbPageManager& e) {
          EXPECT_TRUE(fail) << e.Message();
          // A site still on the page reloads its invalidated buffer.
          EXPECT_TRUE(e.Message() == "Loading tile: Cannot read tile from storage" ||
                      e.Message() == "Reloading tile: Cannot read tile from storage")
              << e.Message();
          ++failedReads;
        }
      }
      FFs.Disarm();
    } else if (op < 67) {  // flush, sometimes with a failing or short write
      const int fault = static_cast<int>(below(4));
      const int faultsBefore = FFs.GetFaultCount();
      if (fault == 1) FFs.FailNthWrite(1 + static_cast<int>(below(3)));
      if (fault == 2) FFs.ShortNthWrite(1 + static_cast<int>(below(3)));
      if (fault == 3) FFs.FailNthWrite(1 + static_cast<int>(below(3)), true);
      try {
        Flush(step);
      } catch (const ETdbPageManager& e) {
        ASSERT_GT(FFs.GetFaultCount(), faultsBefore) << "step " << step;
        EXPECT_EQ(std::string(e.Message()), "Saving tile: Cannot write tile to storage");
        ++failedFlushes;
        FFs.Disarm();
        CheckView(step);   // the cache still holds every change
        FSecond->Flush();  // any client may repeat it
        FFlushed = FModel;
        ASSERT_EQ(FileBytes(), FModel) << "step " << step;
      }
      FFs.Disarm();
    } else if (op < 72) {  // undo
      (below(2) ? FFirst : FSecond)->Undo();
      FModel = FFlushed;
    } else if (op < 76) {  // invalidate
      (below(2) ? FFirst : FSecond)->Invalidate();
      FModel = FFlushed;
    } else if (op < 84) {  // page count
      const std::int64_t pages = below(PageCount() + 3);
      FFirst->SetPageCount(pages);
      const std::int64_t tiles = (pages * P() + kTile - 1) / kTile;
      FModel.resize(static_cast<std::size_t>(tiles * kTile), 0);
    } else if (op < 92) {  // sync what was flushed
      FFirst->UpdateDir();
      FSynced = FFlushed;
    } else if (op < 94) {  // crash: everything not synced is gone
      FFs.Crash();
      CloseClients();  // their closing flush fails: logged, not thrown
      FFs.Disarm();
      OpenClients();
      ASSERT_EQ(FileBytes(), FSynced) << "step " << step;
      FModel = FFlushed = FSynced;
      ++crashes;
    } else {  // unload a site
      site.UnloadPage();
    }
    CheckView(step);
    if (HasFatalFailure()) return;
  }
  // The run must have gone through the interesting paths.
  EXPECT_GT(failedFlushes, 0);
  EXPECT_GT(failedReads, 0);
  EXPECT_GT(crashes, 0);
}

INSTANTIATE_TEST_SUITE_P(Geometries, PageCacheModelTest,
                         ::testing::Values(Geometry{4096, 1 << 20}, Geometry{4096, 24},
                                           Geometry{1024, 0}, Geometry{16384, 64}),
                         [](const auto& info) {
                           return "Page" + std::to_string(info.param.FPageSize) + "Cache" +
                                  std::to_string(info.param.FCacheKB) + "KB";
                         });

}  // namespace
}  // namespace kestrel
