// The operating system shell, behind a small interface so that tests can
// answer it: opening a document with the program the desktop associates with
// it, and starting a program with one parameter.
#pragma once

#include <QString>

namespace vendrik {

class IShellService {
 public:
  virtual ~IShellService() = default;

  // Opens the document `path` (relative names are looked up in the current
  // directory) in its associated viewer, in a normal window. Returns false when
  // the document does not exist or is not a readable file, or when no viewer
  // could be started; true when the viewer was started.
  virtual bool OpenDocument(const QString& path) = 0;

  // Starts `program` (relative names are looked up in the current directory)
  // with the single command-line parameter `parameter`, detached from this
  // process. Returns false when the program cannot be started.
  virtual bool StartProgram(const QString& program, const QString& parameter) = 0;
};

// The desktop's shell: QDesktopServices for documents, QProcess for programs.
class TDesktopShellService final : public IShellService {
 public:
  bool OpenDocument(const QString& path) override;
  bool StartProgram(const QString& program, const QString& parameter) override;
};

}  // namespace vendrik
