// The program's two data components, seen from the windows: the database
// component (where the database lives) and the table component on which every
// window works. The windows use only what is declared here, so that the
// tests can put a table of their own in the table component's place
// (tdb_components.h holds the program's, over the component layer).
//
// A table component calls its event handlers around changes: AfterPost after
// every successful post, BeforeDelete before it deletes the current record,
// AfterDelete after every successful deletion. A handler may throw; the
// exception unwinds through the component's operation, which then leaves the
// record and the table state as they were (EAbort from BeforeDelete abandons
// the deletion silently and AfterDelete is not run).
#pragma once

#include <functional>
#include <memory>

#include <QString>

namespace kestrel::access {
class TDataSet;
}

namespace vendrik {

// The database component: one directory database.
class IDatabaseComponent {
 public:
  virtual ~IDatabaseComponent() = default;

  // The directory of the database, a full path without a trailing separator.
  virtual QString Location() const = 0;

  // Sets the directory. Only while the database is not connected.
  virtual void SetLocation(const QString& location) = 0;
};

// The table component: one table of the database, opened with its index.
class ITableComponent {
 public:
  using TDataSetNotifyEvent = std::function<void()>;

  virtual ~ITableComponent() = default;

  // Whether the table is open.
  virtual bool Active() const = 0;

  // Opens (connecting the database first) or closes the table. Opening throws
  // a std::exception whose what() is the component layer's UTF-8 message
  // (beginning "Opening table" or "Opening database") when the table cannot
  // be opened; the table then stays closed.
  virtual void SetActive(bool active) = 0;

  // Closes the table; nothing happens when it is closed already.
  virtual void Close() = 0;

  // The number of records the table shows now (under its filter, if one is
  // on); 0 while the table is closed.
  virtual int RecordCount() = 0;
  // RecordCount as it is now, other programs' changes included, without
  // waiting for a program that holds the table: -1 then.
  virtual int RecordCountNow() = 0;

  // The dataset the data-aware controls show (through one data source), or
  // null when the component has none (the controls then stay empty).
  virtual kestrel::access::TDataSet* DataSet() = 0;

  // The name of the current index ("KOD", "INDMN"). Setting another name
  // switches the order with the current record kept; throws the component
  // layer's error for a name the table lacks.
  virtual QString IndexName() const = 0;
  virtual void SetIndexName(const QString& name) = 0;

  // Moves to the first record of the current order whose key is not less
  // than `text` (the last record when there is none). Throws
  // kestrel::access::EDatabaseError when the engine fails.
  virtual void FindNearest(const QString& text) = 0;
  // The filter condition (the engine's condition language) and whether it
  // is on. Setting the text while filtering is on, or switching it on,
  // throws kestrel::access::EDatabaseError for a condition the engine
  // rejects; the text is then not stored, or filtering stays off. While
  // filtering is off any text is stored without being examined.
  virtual QString Filter() const = 0;
  virtual void SetFilter(const QString& text) = 0;
  virtual bool Filtered() const = 0;
  virtual void SetFiltered(bool filtered) = 0;

  // The event handlers; an empty function removes a handler.
  virtual void SetAfterPost(TDataSetNotifyEvent handler) = 0;
  virtual void SetBeforeDelete(TDataSetNotifyEvent handler) = 0;
  virtual void SetAfterDelete(TDataSetNotifyEvent handler) = 0;
};

// The pair the main window owns. The table uses the database; both are
// destroyed together, the table first.
struct TDataComponents {
  std::unique_ptr<IDatabaseComponent> FDatabase;
  std::unique_ptr<ITableComponent> FTable;
};

// Makes the main window's components, with their design-time settings
// (database "TdbDatabase1", a directory database; table "Vnd03" on it, index
// "KOD", closed).
using TDataComponentFactory = std::function<TDataComponents()>;

}  // namespace vendrik
