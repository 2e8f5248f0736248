// Stand-ins for the database and table components until the component layer
// is built. The placeholder table opens only when its table file exists in the
// database's location ("Vnd03.dat", else "Vnd03.tdbt"), and then shows an
// empty table; otherwise opening fails with the message the component layer
// gives for a missing table. It never posts or deletes, so it never runs its
// event handlers; it only keeps them.
#pragma once

#include "app/data_components.h"

namespace vendrik {

class TPlaceholderDatabase final : public IDatabaseComponent {
 public:
  QString Location() const override { return FLocation; }
  void SetLocation(const QString& location) override { FLocation = location; }

 private:
  QString FLocation;
};

class TPlaceholderTable final : public ITableComponent {
 public:
  // `database` must outlive the table. `tableName` is the file name of the
  // table without extension.
  TPlaceholderTable(const IDatabaseComponent& database, QString tableName);

  bool Active() const override { return FActive; }
  // Throws std::runtime_error with the open error (see the file comment).
  void SetActive(bool active) override;
  void Close() override { FActive = false; }
  int RecordCount() override { return 0; }
  void SetAfterPost(TDataSetNotifyEvent handler) override { FAfterPost = std::move(handler); }
  void SetBeforeDelete(TDataSetNotifyEvent handler) override { FBeforeDelete = std::move(handler); }
  void SetAfterDelete(TDataSetNotifyEvent handler) override { FAfterDelete = std::move(handler); }

 private:
  void Open();

  const IDatabaseComponent& FDatabase;
  QString FTableName;
  bool FActive = false;
  TDataSetNotifyEvent FAfterPost;
  TDataSetNotifyEvent FBeforeDelete;
  TDataSetNotifyEvent FAfterDelete;
};

// The main window's components as placeholders: table "Vnd03".
TDataComponents CreatePlaceholderComponents();

}  // namespace vendrik
