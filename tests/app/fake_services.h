// Test doubles for the program's services: a dialog service that records
// every box and answers questions from a queue, a shell that records its
// requests and answers as told, and a table component that runs its event
// handlers around posts and deletions the way the component layer does.
#pragma once

#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <vector>

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "app/app_windows.h"
#include "app/data_components.h"
#include "app/dialog_service.h"
#include "app/error_display.h"
#include "app/tdb_components.h"
#include "app/shell_service.h"

namespace vendrik::testing {

enum class TBoxKind { bkMessage, bkQuestion, bkError };

struct TBox {
  TBoxKind FKind;
  QString FCaption;
  QString FText;
};

class TFakeDialogs final : public IDialogService {
 public:
  void ShowMessage(const QString& caption, const QString& text) override {
    FBoxes.push_back({TBoxKind::bkMessage, caption, text});
  }
  bool AskYesNo(const QString& caption, const QString& text) override {
    FBoxes.push_back({TBoxKind::bkQuestion, caption, text});
    if (FOnQuestion) FOnQuestion();
    if (FAnswers.empty()) throw std::logic_error("unexpected question: " + text.toStdString());
    const bool answer = FAnswers.front();
    FAnswers.pop_front();
    return answer;
  }
  void ShowError(const QString& caption, const QString& text) override {
    FBoxes.push_back({TBoxKind::bkError, caption, text});
  }

  std::vector<TBox> FBoxes;
  std::deque<bool> FAnswers;  // true = "Igen"
  std::function<void()> FOnQuestion;  // runs while a question is up
};

class TFakeShell final : public IShellService {
 public:
  bool OpenDocument(const QString& path) override {
    FOpened.push_back(path);
    return FSucceeds;
  }
  bool OpenAddress(const QString& address) override {
    FAddresses.push_back(address);
    return FSucceeds;
  }
  // Records the program and its arguments, separated by blanks.
  bool StartProgram(const QString& program, const QStringList& arguments, QString& reason) override {
    FStarted.push_back((QStringList{program} + arguments).join(QLatin1Char(' ')));
    if (!FSucceeds) reason = FFailureReason;
    return FSucceeds;
  }

  bool FSucceeds = true;
  QString FFailureReason = QStringLiteral("Permission denied");
  std::vector<QString> FOpened;
  std::vector<QString> FAddresses;
  std::vector<QString> FStarted;
};

// A database that only keeps its location.
class TFakeDatabase final : public IDatabaseComponent {
 public:
  QString Location() const override { return FLocation; }
  void SetLocation(const QString& location) override { FLocation = location; }
  QString FLocation;
};

// A table of `FRecords` records that posts and deletes like the component
// layer: handlers run around the change, and an exception from BeforeDelete
// leaves the table unchanged and skips AfterDelete.
class TFakeTable final : public ITableComponent {
 public:
  bool Active() const override { return FActive; }
  void SetActive(bool active) override { FActive = active; }
  void Close() override { FActive = false; }
  int RecordCount() override { return FRecords; }
  int RecordCountNow() override { return FHeldByOther ? -1 : FRecords; }
  kestrel::access::TDataSet* DataSet() override { return nullptr; }
  QString IndexName() const override { return FIndexName; }
  void SetIndexName(const QString& name) override { FIndexName = name; }
  void FindNearest(const QString& text) override { FSearches.push_back(text); }
  QString Filter() const override { return FFilter; }
  void SetFilter(const QString& text) override { FFilter = text; }
  bool Filtered() const override { return FFiltered; }
  void SetFiltered(bool filtered) override { FFiltered = filtered; }
  void SetAfterPost(TDataSetNotifyEvent handler) override { FAfterPost = std::move(handler); }
  void SetBeforeDelete(TDataSetNotifyEvent handler) override { FBeforeDelete = std::move(handler); }
  void SetAfterDelete(TDataSetNotifyEvent handler) override { FAfterDelete = std::move(handler); }

  void Insert() {
    ++FRecords;
    if (FAfterPost) FAfterPost();
  }
  void Delete() {
    if (FBeforeDelete) FBeforeDelete();
    --FRecords;
    if (FAfterDelete) FAfterDelete();
  }

  bool FActive = false;
  int FRecords = 0;
  bool FHeldByOther = false;  // RecordCountNow answers -1, as while another program writes
  QString FIndexName = QStringLiteral("KOD");
  std::vector<QString> FSearches;
  QString FFilter;
  bool FFiltered = false;
  TDataSetNotifyEvent FAfterPost, FBeforeDelete, FAfterDelete;
};

// Runs the test in a scratch directory made the current directory, which the
// main window takes as its database location when it is created.
class TScratchDirectory {
 public:
  TScratchDirectory() : FPrevious(QDir::currentPath()) {
    if (!FDirectory.isValid() || !QDir::setCurrent(FDirectory.path()))
      throw std::runtime_error("cannot make a scratch directory current");
  }
  ~TScratchDirectory() { QDir::setCurrent(FPrevious); }
  QString Path() const { return QDir(FDirectory.path()).canonicalPath(); }
  // Creates the demo table Vnd03 here with the kestrel tool.
  void MakeDemo() const {
    const std::string command = std::string(VENDRIK_BINARY_DIR) + "/bin/kestrel demo '" +
                                FDirectory.path().toStdString() + "' >/dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("kestrel demo failed");
  }
  void Touch(const QString& name) const {
    QFile file(QDir(FDirectory.path()).filePath(name));
    if (!file.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot create " + name.toStdString());
  }

 private:
  QString FPrevious;
  QTemporaryDir FDirectory;
};

// The services of one test, with the windows built on them.
struct TAppFixture {
  explicit TAppFixture(bool fakeTable = false) {
    TDataComponentFactory factory = CreateTdbComponents;
    if (fakeTable)
      factory = [this] {
        TDataComponents components;
        components.FDatabase = std::make_unique<TFakeDatabase>();
        auto table = std::make_unique<TFakeTable>();
        FTable = table.get();
        components.FTable = std::move(table);
        return components;
      };
    FWindows = std::make_unique<TAppWindows>(
        TAppServices{FDialogs, FShell, FErrors, factory, [this] { ++FTerminateRequests; }});
  }

  TFakeDialogs FDialogs;
  TFakeShell FShell;
  TErrorDisplay FErrors{FDialogs, QStringLiteral("Vendrik '03")};
  int FTerminateRequests = 0;
  TFakeTable* FTable = nullptr;
  std::unique_ptr<TAppWindows> FWindows;
};

}  // namespace vendrik::testing

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
