// The placeholder components. The open errors are composed as the component
// layer composes them: the action text, the result code's text and the
// engine's message, from the engine's own text tables.
#include "app/placeholder_components.h"

#include <stdexcept>

#include <QDir>
#include <QFileInfo>

#include "engine/api/error_texts.h"

namespace vendrik {
namespace {

const QString kTableName = QStringLiteral("Vnd03");
const QString kTableExtensions[] = {QStringLiteral(".dat"), QStringLiteral(".tdbt")};

constexpr int kResultCannotOpenTable = -1;
constexpr int kResultDatabaseNotFound = -58;
constexpr int kEngineFileNotFound = 37;

[[noreturn]] void RaiseDatabaseNotFound(const QString& location) {
  const std::string action = "Opening database \"" + location.toStdString() + "\"";
  throw std::runtime_error(action + ": " + kestrel::ResultCodeText(kResultDatabaseNotFound));
}

[[noreturn]] void RaiseTableNotFound(const QString& tableName, const QString& lastTried) {
  const std::string action = "Opening table \"" + tableName.toStdString() + "\"";
  throw std::runtime_error(action + ": " + kestrel::ResultCodeText(kResultCannotOpenTable) + ". " +
                           kestrel::FormatEngineError(kEngineFileNotFound, {lastTried.toStdString()}));
}

}  // namespace

TPlaceholderTable::TPlaceholderTable(const IDatabaseComponent& database, QString tableName)
    : FDatabase(database), FTableName(std::move(tableName)) {}

void TPlaceholderTable::SetActive(bool active) {
  if (active == FActive) return;
  if (active)
    Open();
  else
    Close();
}

void TPlaceholderTable::Open() {
  const QString location = FDatabase.Location();
  if (!QFileInfo(location).isDir()) RaiseDatabaseNotFound(location);
  const QDir directory(location);
  QString tried;
  for (const QString& extension : kTableExtensions) {
    tried = QDir::cleanPath(directory.filePath(FTableName + extension));
    if (QFileInfo(tried).isFile()) {
      FActive = true;
      return;
    }
  }
  RaiseTableNotFound(FTableName, tried);
}

TDataComponents CreatePlaceholderComponents() {
  TDataComponents components;
  auto database = std::make_unique<TPlaceholderDatabase>();
  components.FTable = std::make_unique<TPlaceholderTable>(*database, kTableName);
  components.FDatabase = std::move(database);
  return components;
}

}  // namespace vendrik
