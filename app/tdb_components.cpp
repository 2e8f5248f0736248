// The program's data components over the component layer.
#include "app/tdb_components.h"

namespace vendrik {
namespace {

const QString kDatabaseName = QStringLiteral("TdbDatabase1");
const QString kTableName = QStringLiteral("Vnd03");
const QString kIndexName = QStringLiteral("KOD");
constexpr int kIndexPageSize = 4096;
constexpr int kBlobBlockSize = 512;

std::string Utf8(const QString& text) { return text.toStdString(); }

kestrel::access::TDataSet::TDataSetNotifyEvent Wrap(ITableComponent::TDataSetNotifyEvent handler) {
  if (!handler) return nullptr;
  return [handler = std::move(handler)](kestrel::access::TDataSet&) { handler(); };
}

}  // namespace

TTdbDatabaseComponent::TTdbDatabaseComponent() {
  FDatabase.SetDatabaseName(Utf8(kDatabaseName));
  FDatabase.SetDatabaseType(kestrel::access::TTdbDatabaseType::dbtDirectory);
  FDatabase.SetIndexPageSize(kIndexPageSize);
  FDatabase.SetBlobBlockSize(kBlobBlockSize);
}

QString TTdbDatabaseComponent::Location() const { return QString::fromStdString(FDatabase.Location()); }

void TTdbDatabaseComponent::SetLocation(const QString& location) { FDatabase.SetLocation(Utf8(location)); }

TTdbTableComponent::TTdbTableComponent(const QString& databaseName, const QString& tableName,
                                       const QString& indexName) {
  FTable.SetName("Table1");
  FTable.SetDatabaseName(Utf8(databaseName));
  FTable.SetTableName(Utf8(tableName));
  FTable.SetIndexName(Utf8(indexName));
}

int TTdbTableComponent::RecordCount() { return FTable.Active() ? std::max(0, FTable.RecordCount()) : 0; }

int TTdbTableComponent::RecordCountNow() {
  if (!FTable.Active()) return 0;
  const int count = FTable.RecordCountNow();
  return count < 0 ? -1 : count;
}

QString TTdbTableComponent::IndexName() const { return QString::fromStdString(FTable.IndexName()); }

void TTdbTableComponent::SetIndexName(const QString& name) { FTable.SetIndexName(Utf8(name)); }

void TTdbTableComponent::FindNearest(const QString& text) { FTable.FindNearest({Utf8(text)}); }

void TTdbTableComponent::SetFilter(const QString& text) { FTable.SetFilter(Utf8(text)); }

void TTdbTableComponent::SetAfterPost(TDataSetNotifyEvent handler) { FTable.AfterPost = Wrap(std::move(handler)); }

void TTdbTableComponent::SetBeforeDelete(TDataSetNotifyEvent handler) {
  FTable.BeforeDelete = Wrap(std::move(handler));
}

void TTdbTableComponent::SetAfterDelete(TDataSetNotifyEvent handler) {
  FTable.AfterDelete = Wrap(std::move(handler));
}

TDataComponents CreateTdbComponents() {
  TDataComponents components;
  components.FDatabase = std::make_unique<TTdbDatabaseComponent>();
  components.FTable = std::make_unique<TTdbTableComponent>(kDatabaseName, kTableName, kIndexName);
  return components;
}

}  // namespace vendrik
