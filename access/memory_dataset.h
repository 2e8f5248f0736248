// TMemoryDataSet: a dataset whose records live in memory, in the order they
// were added. It stands in for a table in the tests of the layers above the
// component layer (controls, windows) and of the framework itself: the same
// buffers, fields and notifications, without an engine.
//
// Records are record images laid out like a level-6 table (each column with
// its null indicator first), memo and blob values kept beside them. The
// bookmark is the record's 4-byte serial number, which stays with the record
// when others are added or deleted.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "access/dataset.h"

namespace kestrel::access {

class TMemoryDataSet : public TDataSet {
 public:
  TMemoryDataSet();
  ~TMemoryDataSet() override;

  // Adds a column while the dataset is closed: `size` is the length of a
  // string column, ignored for the other types.
  void AddFieldDef(const std::string& name, TFieldType type, int size = 0, bool required = false);
  // Appends a record whose columns take `values` (text, in column order; an
  // empty text is NULL for non-text columns). The dataset must be open; the
  // current record stays where it is and the buffers are re-read.
  void AppendRecord(const std::vector<std::string>& values);
  // Removes every record (open or closed).
  void ClearRecords();

  int RecordCount() override;
  int RecNo() override;
  void SetRecNo(int value) override;
  bool IsSequenced() override { return true; }
  std::span<std::uint8_t> FieldImage() override;
  std::string ReadBlob(const TField& field) override;
  void WriteBlob(TField& field, const std::string& bytes) override;

 protected:
  void InternalOpen() override;
  void InternalClose() override;
  int RecordBufferSize() const override { return FImageSize + kInfoSize; }
  int RecordImageSize() const override { return FImageSize; }
  TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode, bool doCheck) override;
  void InternalFirst() override { FCursor = -1; }
  void InternalLast() override { FCursor = static_cast<int>(FRecords.size()); }
  void InternalSetToRecord(const TRecordBuffer& buffer, int distance) override;
  TBookmark GetBookmarkData(const TRecordBuffer& buffer) const override;
  TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) const override;
  void InternalGotoBookmark(const TBookmark& bookmark) override;
  void InternalInitRecord(TRecordBuffer& buffer) override;
  void InternalEdit() override;
  void InternalInsert() override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;

 private:
  struct TRecord {
    std::uint32_t Serial = 0;
    TRecordBuffer Image;
    std::map<int, std::string> Blobs;  // by field number
  };
  static constexpr int kInfoSize = 5;  // serial number (4 bytes), bookmark flag

  std::uint32_t BufferSerial(const TRecordBuffer& buffer) const;
  int IndexOfSerial(std::uint32_t serial) const;
  void FillBuffer(TRecordBuffer& buffer, int index);

  std::vector<TRecord> FRecords;
  int FImageSize = 0;
  int FCursor = -1;  // -1 before the first record, size() after the last
  std::uint32_t FNextSerial = 1;
  // Memo and blob values written while editing, by field number.
  std::map<int, std::string> FPendingBlobs;
  // The image AppendRecord fills, while it fills it.
  TRecordBuffer* FFillImage = nullptr;
};

}  // namespace kestrel::access
