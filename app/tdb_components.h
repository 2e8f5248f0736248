// The program's data components over the component layer: the database
// component TdbDatabase1 and the table component Table1 ("Vnd03", index
// "KOD"), as the windows see them through data_components.h.
#pragma once

#include <memory>

#include "access/tdb_database.h"
#include "access/tdb_table.h"
#include "app/data_components.h"

namespace vendrik {

class TTdbDatabaseComponent final : public IDatabaseComponent {
 public:
  TTdbDatabaseComponent();
  QString Location() const override;
  // Throws the component layer's error while connected.
  void SetLocation(const QString& location) override;
  kestrel::access::TTdbDatabase& Database() { return FDatabase; }

 private:
  kestrel::access::TTdbDatabase FDatabase;
};

class TTdbTableComponent final : public ITableComponent {
 public:
  // Table `tableName` of the database named `databaseName`, with `indexName`.
  TTdbTableComponent(const QString& databaseName, const QString& tableName, const QString& indexName);

  bool Active() const override { return FTable.Active(); }
  void SetActive(bool active) override { FTable.SetActive(active); }
  void Close() override { FTable.Close(); }
  // The engine's count; 0 while closed or when the engine cannot count.
  int RecordCount() override;
  int RecordCountNow() override;
  kestrel::access::TDataSet* DataSet() override { return &FTable; }
  QString IndexName() const override;
  void SetIndexName(const QString& name) override;
  void FindNearest(const QString& text) override;
  QString Filter() const override { return QString::fromStdString(FTable.Filter()); }
  void SetFilter(const QString& text) override;
  bool Filtered() const override { return FTable.Filtered(); }
  void SetFiltered(bool filtered) override { FTable.SetFiltered(filtered); }
  void SetAfterPost(TDataSetNotifyEvent handler) override;
  void SetBeforeDelete(TDataSetNotifyEvent handler) override;
  void SetAfterDelete(TDataSetNotifyEvent handler) override;
  kestrel::access::TTdbTable& Table() { return FTable; }

 private:
  kestrel::access::TTdbTable FTable;
};

// The main window's components: database "TdbDatabase1" (a directory
// database, index pages 4096 bytes, blob blocks 512 bytes), table "Vnd03"
// on it with index "KOD", closed.
TDataComponents CreateTdbComponents();

}  // namespace vendrik
