// Index pages in a real file, for tests only: the engine reaches files
// through its file-system layer, these tests go straight to POSIX so that the
// index layer can be tried on disk without it.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "engine/base/engine_error.h"
#include "engine/index/index_page_io.h"

namespace kestrel::test {

class TTestFilePageIo final : public ITdbIndexPageIo {
 public:
  explicit TTestFilePageIo(const std::string& path) : FPath(path) {
    FHandle = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
    if (FHandle < 0) throw ETdbEngine(tdbErrCannotOpenFile, path);
  }
  ~TTestFilePageIo() override {
    if (FHandle >= 0) ::close(FHandle);
  }
  TTestFilePageIo(const TTestFilePageIo&) = delete;
  TTestFilePageIo& operator=(const TTestFilePageIo&) = delete;

  uint32_t PageSize() const override { return FPageSize; }
  void SetPageSize(uint32_t pageSize) override { FPageSize = pageSize; }
  uint64_t PageCount() const override {
    struct stat info {};
    if (::fstat(FHandle, &info) != 0) throw ETdbEngine(tdbErrReadFile, FPath);
    return static_cast<uint64_t>(info.st_size) / FPageSize;
  }
  void ReadPage(uint64_t pageNo, uint8_t* page) override {
    const ssize_t read = ::pread(FHandle, page, FPageSize, static_cast<off_t>(pageNo * FPageSize));
    if (read != static_cast<ssize_t>(FPageSize)) throw ETdbEngine(tdbErrReadFile, FPath);
  }
  void WritePage(uint64_t pageNo, const uint8_t* page) override {
    const ssize_t written = ::pwrite(FHandle, page, FPageSize, static_cast<off_t>(pageNo * FPageSize));
    if (written != static_cast<ssize_t>(FPageSize)) throw ETdbEngine(tdbErrWriteFile, FPath);
  }
  void SetPageCount(uint64_t pageCount) override {
    if (::ftruncate(FHandle, static_cast<off_t>(pageCount * FPageSize)) != 0) throw ETdbEngine(tdbErrWriteFile, FPath);
  }
  void Flush() override {
    if (::fsync(FHandle) != 0) throw ETdbEngine(tdbErrWriteFile, FPath);
  }

 private:
  std::string FPath;
  int FHandle = -1;
  uint32_t FPageSize = 4096;
};

}  // namespace kestrel::test
