// The operating system shell, behind a small interface so that tests can
// answer it: opening a document with the program the desktop associates with
// it, opening an e-mail or web address, and starting a program.
#pragma once

#include <QString>
#include <QStringList>

namespace vendrik {

class IShellService {
 public:
  virtual ~IShellService() = default;

  // Opens the document `path` (relative names are looked up in the current
  // directory) in its associated viewer, in a normal window. Returns false when
  // the document does not exist or is not a readable file, or when no viewer
  // could be started; true when the viewer was started.
  virtual bool OpenDocument(const QString& path) = 0;

  // Opens `address` with the desktop's opener: a "mailto:" address in the
  // mail program, a web address (with or without its scheme) in the browser.
  // Returns false when no opener could take it.
  virtual bool OpenAddress(const QString& address) = 0;

  // Starts `program` (relative names are looked up in the current directory)
  // with `arguments`, detached from this process, in the current directory.
  // Returns true when it was started; otherwise false, with the reason (for
  // the user) in `reason`.
  virtual bool StartProgram(const QString& program, const QStringList& arguments, QString& reason) = 0;
};

// The desktop's shell: QDesktopServices for documents and addresses, QProcess
// for programs.
class TDesktopShellService final : public IShellService {
 public:
  bool OpenDocument(const QString& path) override;
  bool OpenAddress(const QString& address) override;
  bool StartProgram(const QString& program, const QStringList& arguments, QString& reason) override;
};

}  // namespace vendrik
