// Data sources and data links.
#include "access/data_link.h"

#include <algorithm>

#include "access/dataset.h"

namespace kestrel::access {

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  for (TDataLink* link : std::vector<TDataLink*>(FLinks)) link->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet == FDataSet) return;
  if (FDataSet != nullptr) FDataSet->RemoveDataSource(this);
  FDataSet = dataSet;
  if (FDataSet != nullptr) FDataSet->AddDataSource(this);
  NotifyLinks(TDataEvent::deActiveChange, 0);
}

void TDataSource::NotifyLinks(TDataEvent event, std::intptr_t info) {
  for (TDataLink* link : std::vector<TDataLink*>(FLinks)) link->DataEvent(event, info);
}

void TDataSource::AddLink(TDataLink* link) {
  FLinks.push_back(link);
  if (FDataSet != nullptr) FDataSet->UpdateBufferCount();
}

void TDataSource::RemoveLink(TDataLink* link) {
  std::erase(FLinks, link);
  if (FDataSet != nullptr) FDataSet->UpdateBufferCount();
}

TDataLink::~TDataLink() { SetDataSource(nullptr); }

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == FDataSource) return;
  if (FDataSource != nullptr) FDataSource->RemoveLink(this);
  FDataSource = source;
  FFirstRecord = 0;
  if (FDataSource != nullptr) FDataSource->AddLink(this);
  FEditing = Editing();
  ActiveChanged();
}

TDataSet* TDataLink::DataSet() const { return FDataSource != nullptr ? FDataSource->DataSet() : nullptr; }

bool TDataLink::Active() const {
  const TDataSet* dataSet = DataSet();
  return dataSet != nullptr && dataSet->Active();
}

bool TDataLink::Editing() const {
  const TDataSet* dataSet = DataSet();
  return dataSet != nullptr &&
         (dataSet->State() == TDataSetState::dsEdit || dataSet->State() == TDataSetState::dsInsert);
}

void TDataLink::SetBufferCount(int count) {
  count = std::max(1, count);
  if (count == FBufferCount) return;
  FBufferCount = count;
  if (TDataSet* dataSet = DataSet()) {
    dataSet->UpdateBufferCount();
    UpdateRange();
  }
}

int TDataLink::ActiveRecord() const {
  const TDataSet* dataSet = DataSet();
  if (dataSet == nullptr || !dataSet->Active()) return 0;
  return std::clamp(dataSet->ActiveRecord() - FFirstRecord, 0, FBufferCount - 1);
}

int TDataLink::RecordCount() const {
  const TDataSet* dataSet = DataSet();
  if (dataSet == nullptr || !dataSet->Active()) return 0;
  return std::clamp(dataSet->BufferedRecordCount() - FFirstRecord, 0, FBufferCount);
}

void TDataLink::UpdateRange() {
  const TDataSet* dataSet = DataSet();
  if (dataSet == nullptr || !dataSet->Active()) {
    FFirstRecord = 0;
    return;
  }
  const int active = dataSet->ActiveRecord();
  const int lowest = std::max(0, active - FBufferCount + 1);
  const int highest = std::max(lowest, std::min(active, dataSet->BufferedRecordCount() - FBufferCount));
  FFirstRecord = std::clamp(FFirstRecord, lowest, highest);
}

TDataLink::TReadRow::TReadRow(const TDataLink& link, int row)
    : FDataSet(link.DataSet()), FSaved(FDataSet != nullptr ? FDataSet->ActiveRecord() : 0) {
  if (FDataSet != nullptr) FDataSet->SetActiveRecordForRead(link.FFirstRecord + row);
}

TDataLink::TReadRow::~TReadRow() {
  if (FDataSet != nullptr) FDataSet->SetActiveRecordForRead(FSaved);
}

void TDataLink::DataEvent(TDataEvent event, std::intptr_t info) {
  switch (event) {
    case TDataEvent::deActiveChange:
      FFirstRecord = 0;
      UpdateRange();
      FEditing = Editing();
      ActiveChanged();
      break;
    case TDataEvent::deUpdateState: {
      const bool editing = Editing();
      if (editing != FEditing) {
        FEditing = editing;
        EditingChanged();
      }
      break;
    }
    case TDataEvent::deDataSetChange:
      UpdateRange();
      DataSetChanged();
      break;
    case TDataEvent::deDataSetScroll:
      FFirstRecord -= static_cast<int>(info);
      UpdateRange();
      DataSetScrolled(static_cast<int>(info));
      break;
    case TDataEvent::deLayoutChange:
      UpdateRange();
      LayoutChanged();
      break;
    case TDataEvent::deFieldChange:
      RecordChanged(reinterpret_cast<TField*>(info));
      break;
    case TDataEvent::deRecordChange:
      RecordChanged(nullptr);
      break;
    case TDataEvent::deUpdateRecord:
      UpdateData();
      break;
    case TDataEvent::deCheckBrowseMode:
      CheckBrowseMode();
      break;
  }
}

}  // namespace kestrel::access
