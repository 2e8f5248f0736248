// TTempDir: a fresh directory under the system's temporary directory,
// removed with everything in it when the object goes.
#pragma once

#include <string>

namespace kestrel::test {

class TTempDir {
 public:
  TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  ~TTempDir();

  const std::string& Path() const { return FPath; }
  // Path of a file name inside the directory.
  std::string File(const std::string& name) const { return FPath + "/" + name; }

 private:
  std::string FPath;
};

// Whole content of a file ("" when it does not exist).
std::string ReadWholeFile(const std::string& path);
// Replaces a file's content.
void WriteWholeFile(const std::string& path, const std::string& content);

}  // namespace kestrel::test
