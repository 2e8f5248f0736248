// Data sources and data links: how a dataset tells the controls bound to it
// what happened. A dataset has any number of data sources; a data source has
// any number of data links (a grid, a memo, a navigator each own one). The
// dataset sends every change through TDataSet::DataEvent to each link:
//
//   ActiveChanged      the dataset opened or closed
//   DataSetChanged     the buffered records were all re-read (First, Last,
//                      a search, an index switch, a post, a deletion)
//   DataSetScrolled(n) the window of buffers moved by n records (n > 0: the
//                      contents moved toward the first buffer); the active
//                      record may have moved within it
//   RecordChanged(f)   a value of the current record changed (f the field,
//                      or null for the whole record)
//   EditingChanged     the dataset entered or left an editing state
//   UpdateData         before a post: write pending control values
//   CheckBrowseMode    the dataset is about to leave an editing state
//
// A link sees a window of BufferCount records of the dataset's buffers; the
// dataset keeps as many buffers as its largest link wants. The window
// follows the active record: ActiveRecord is the active record's row within
// the window, RecordCount the number of rows filled. A control reads the
// values of another row by making that row active for the time of reading
// (TDataLink::TReadRow); the shared cursor does not move.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrel::access {

class TDataSet;
class TDataLink;
class TField;

enum class TDataEvent {
  deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange, deUpdateRecord,
  deUpdateState, deCheckBrowseMode, deActiveChange,
};

class TDataSource {
 public:
  TDataSource() = default;
  ~TDataSource();
  TDataSource(const TDataSource&) = delete;
  TDataSource& operator=(const TDataSource&) = delete;

  TDataSet* DataSet() const { return FDataSet; }
  // Binds the source to `dataSet` (null unbinds); the links hear ActiveChanged.
  void SetDataSet(TDataSet* dataSet);

  // Used by the dataset and the links.
  void NotifyLinks(TDataEvent event, std::intptr_t info);
  void AddLink(TDataLink* link);
  void RemoveLink(TDataLink* link);
  const std::vector<TDataLink*>& Links() const { return FLinks; }

 private:
  TDataSet* FDataSet = nullptr;
  std::vector<TDataLink*> FLinks;
};

class TDataLink {
 public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return FDataSource; }
  void SetDataSource(TDataSource* source);
  // The bound dataset, or null.
  TDataSet* DataSet() const;
  // Whether the bound dataset is open.
  bool Active() const;
  bool Editing() const;

  int BufferCount() const { return FBufferCount; }
  // Asks for `count` (at least 1) rows; the dataset grows or shrinks its
  // buffers to its largest link's wish.
  void SetBufferCount(int count);
  // The active record's row in the window; the number of rows filled.
  int ActiveRecord() const;
  int RecordCount() const;

  // Makes `row` of the window the dataset's active record for reading while
  // it lives; the previous active record is restored at its end.
  class TReadRow {
   public:
    TReadRow(const TDataLink& link, int row);
    ~TReadRow();
    TReadRow(const TReadRow&) = delete;
    TReadRow& operator=(const TReadRow&) = delete;

   private:
    TDataSet* FDataSet;
    int FSaved;
  };

  // Called by the data source.
  void DataEvent(TDataEvent event, std::intptr_t info);

 protected:
  virtual void ActiveChanged() {}
  virtual void DataSetChanged() {}
  virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
  virtual void RecordChanged(TField* /*field*/) {}
  virtual void EditingChanged() {}
  virtual void UpdateData() {}
  virtual void CheckBrowseMode() {}
  virtual void LayoutChanged() { DataSetChanged(); }

 private:
  // Keeps the window over the active record and inside the buffers.
  void UpdateRange();

  TDataSource* FDataSource = nullptr;
  int FBufferCount = 1;
  int FFirstRecord = 0;
  bool FEditing = false;
};

}  // namespace kestrel::access
