// The demo database of the kestrel tool in a scratch directory, for the
// tests of the table component: Vnd03 with KOD (String 10), MEGNEV
// (String 40), LEIRAS (Memo), the indexes KOD (unique) and INDMN (MEGNEV),
// and the demo records (their first code "01", their last "96.06.1").
#pragma once

#include <stdexcept>
#include <string>

#include "temp_dir.h"
#include "tests/tools/tool_runner.h"

namespace kestrel::access {

class TDemoDirectory {
 public:
  TDemoDirectory() {
    const TToolRun run = RunKestrel({"demo", FDirectory.Path()}, FDirectory.Path());
    if (run.Status != 0) throw std::runtime_error("kestrel demo failed: " + run.Err);
  }
  const std::string& Path() const { return FDirectory.Path(); }

 private:
  test::TTempDir FDirectory;
};

}  // namespace kestrel::access
