// TTdbRedoLog: collecting entries, writing them (synced, never half an
// entry) and reading
// them back from the end with every field checked.
#include "engine/table/redo_log.h"

#include <algorithm>

#include "engine/base/engine_error.h"
#include "engine/fs/file_stream.h"

namespace kestrel {

namespace {

void PutInt32(std::vector<std::uint8_t>& out, std::int32_t value) {
  const auto raw = static_cast<std::uint32_t>(value);
  for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(raw >> (8 * b)));
}

std::int32_t GetInt32(const std::uint8_t* bytes) {
  return static_cast<std::int32_t>(std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                   std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24);
}

void PutEntry(std::vector<std::uint8_t>& out, TTdbTableActionKind kind, std::int32_t number,
              const std::uint8_t* payload, std::size_t size) {
  out.push_back(kind);
  PutInt32(out, number);
  out.insert(out.end(), payload, payload + size);
  PutInt32(out, static_cast<std::int32_t>(kRedoEntryHeadSize + size));
}

}  // namespace

TTdbRedoLog::TTdbRedoLog(TdwFileSystem& fileSystem, std::string fileName)
    : FFileSystem(fileSystem), FFileName(std::move(fileName)) {}

TTdbRedoLog::~TTdbRedoLog() { Close(); }

bool TTdbRedoLog::IsOpen() const { return FStream && FStream->IsOpen(); }

void TTdbRedoLog::Create(bool sync) {
  FStream = std::make_unique<TdwFileSystemTdbStream>(FFileSystem);
  std::vector<std::uint8_t> header;
  PutInt32(header, static_cast<std::int32_t>(kRedoLogMagic));
  PutInt32(header, 0);
  if (FStream->Rewrite(FFileName, kFmOpenReadWrite | kFmShareExclusive) < 0 ||
      FStream->WriteNBytes(0, kRedoLogHeaderSize, header.data(), false) < 0) {
    FStream->Close();
    FFileSystem.DeleteFile(FFileName);
    throw ETdbEngine(tdbErrWriteFile, FFileName);
  }
  FSize = kRedoLogHeaderSize;
  // The header is committed with the first entries: the log protects only
  // pages written after a Sync, and a log lost before its first Sync (no
  // file, or one without the magic) is read as no log.
  FUnsynced = FUnsynced || sync;
}

bool TTdbRedoLog::OpenExisting() {
  if (!FFileSystem.FileExists(FFileName)) return false;
  FStream = std::make_unique<TdwFileSystemTdbStream>(FFileSystem);
  if (FStream->Reset(FFileName, kFmOpenReadWrite | kFmShareExclusive) < 0)
    throw ETdbEngine(tdbErrReadFile, FFileName);
  const std::int64_t size = FStream->Size();
  if (size < 0) throw ETdbEngine(tdbErrReadFile, FFileName);
  std::uint8_t magic[4] = {};
  if (size < 4 || FStream->ReadNBytes(0, 4, magic, false) < 0 ||
      static_cast<std::uint32_t>(GetInt32(magic)) != kRedoLogMagic) {
    FStream->Close();
    return false;
  }
  FSize = size;
  return true;
}

bool TTdbRedoLog::IsPresent(TdwFileSystem& fileSystem, const std::string& fileName) {
  if (!fileSystem.FileExists(fileName)) return false;
  TdwFileSystemTdbStream stream(fileSystem);
  std::uint8_t magic[4] = {};
  const bool present = stream.Reset(fileName, kFmOpenRead | kFmShareDenyNone) >= 0 && stream.Size() >= 4 &&
                       stream.ReadNBytes(0, 4, magic, false) >= 0 &&
                       static_cast<std::uint32_t>(GetInt32(magic)) == kRedoLogMagic;
  stream.Close();
  return present;
}

void TTdbRedoLog::AppendRecordEntry(TTdbTableActionKind kind, std::int32_t recNo,
                                    const std::vector<std::uint8_t>* image,
                                    const std::vector<TTdbRedoValue>& values) {
  AppendRecordEntry(kind, recNo, image ? *image : std::vector<std::uint8_t>{}, values);
}

void TTdbRedoLog::AppendRecordEntry(TTdbTableActionKind kind, std::int32_t recNo,
                                    const std::vector<std::uint8_t>& payload,
                                    const std::vector<TTdbRedoValue>& values) {
  if (!IsOpen()) throw ETdbEngine(tdbErrWriteFile, FFileName);
  std::vector<std::uint8_t>& bytes = FPending;
  const std::size_t before = bytes.size();
  PutEntry(bytes, kind, recNo, payload.data(), payload.size());
  for (const TTdbRedoValue& value : values) {
    // An empty value is always logged as 8-bit bytes.
    const TTdbTableActionKind valueKind = value.Wide && !value.Bytes.empty() ? takWideMemo : takBlob;
    PutEntry(bytes, valueKind, value.FieldNo, reinterpret_cast<const std::uint8_t*>(value.Bytes.data()),
             value.Bytes.size());
  }
  // A large transaction's entries go to the file early, so they take
  // bounded memory.
  // A failed write leaves the entry out: its change is taken back.
  if (FPending.size() >= kRedoLogPendingLimit) {
    try {
      WritePending(false);
    } catch (const ETdbEngine&) {
      FPending.resize(before);
      throw;
    }
  }
}

void TTdbRedoLog::Sync() { WritePending(true); }

void TTdbRedoLog::WritePending(bool sync) {
  if (FPending.empty() && !(sync && FUnsynced)) return;
  if (!IsOpen()) throw ETdbEngine(tdbErrWriteFile, FFileName);
  if (!FPending.empty()) {
    if (FStream->WriteNBytes(FSize, static_cast<std::int32_t>(FPending.size()), FPending.data(), false) < 0) {
      FStream->Cut(FSize);
      throw ETdbEngine(tdbErrWriteFile, FFileName);
    }
    FSize += static_cast<std::int64_t>(FPending.size());
    FPending.clear();
    FUnsynced = true;
  }
  if (sync) {
    if (FStream->Sync() < 0) throw ETdbEngine(tdbErrWriteFile, FFileName);
    FUnsynced = false;
  }
}

void TTdbRedoLog::LogInsert(std::int32_t recNo) { AppendRecordEntry(takInsert, recNo, nullptr, {}); }

void TTdbRedoLog::LogUpdate(std::int32_t recNo, const std::vector<std::uint8_t>& image,
                            const std::vector<TTdbRedoValue>& values) {
  AppendRecordEntry(takUpdate, recNo, &image, values);
}

void TTdbRedoLog::LogDelete(std::int32_t recNo, const std::vector<std::uint8_t>& image,
                            const std::vector<TTdbRedoValue>& values) {
  AppendRecordEntry(takDelete, recNo, &image, values);
}

void TTdbRedoLog::LogDeleteMoved(std::int32_t recNo, const std::vector<std::uint8_t>& image,
                                 const std::vector<TTdbRedoValue>& values,
                                 const std::vector<std::uint8_t>& movedImage, std::int32_t countBefore) {
  std::vector<std::uint8_t> payload = image;
  payload.insert(payload.end(), movedImage.begin(), movedImage.end());
  PutInt32(payload, countBefore);
  AppendRecordEntry(takDeleteMoved, recNo, payload, values);
}

void TTdbRedoLog::Broken(const std::string& why) const {
  throw ETdbEngine(tdbErrPlain, "The redo log \"" + FFileName + "\" cannot be replayed: " + why);
}

std::vector<TTdbRedoEntry> TTdbRedoLog::ReadEntries(const TTdbRedoLogShape& shape) {
  if (!IsOpen()) throw ETdbEngine(tdbErrReadFile, FFileName);
  Sync();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(FSize));
  if (FSize > 0x7FFFFFFF || FStream->ReadNBytes(0, static_cast<std::int32_t>(FSize), bytes.data(), false) < 0)
    throw ETdbEngine(tdbErrReadFile, FFileName);
  if (FSize < kRedoLogHeaderSize || GetInt32(bytes.data() + kRedoLogStopOffset) != 0) Broken("bad header");

  std::vector<TTdbRedoEntry> entries;
  std::vector<TTdbRedoValue> pendingValues;  // values met (backwards) before their record entry
  std::int64_t pos = FSize;
  while (pos > kRedoLogHeaderSize) {
    if (pos - kRedoLengthSize < kRedoLogHeaderSize) Broken("entry cut off at " + std::to_string(pos));
    const std::int32_t length = GetInt32(bytes.data() + pos - kRedoLengthSize);
    const std::int64_t start = pos - kRedoLengthSize - length;
    if (length < kRedoEntryHeadSize || start < kRedoLogHeaderSize)
      Broken("bad entry length at " + std::to_string(pos - kRedoLengthSize));
    const std::uint8_t kind = bytes[static_cast<std::size_t>(start)];
    const std::int32_t number = GetInt32(bytes.data() + start + 1);
    const std::uint8_t* payload = bytes.data() + start + kRedoEntryHeadSize;
    const std::int64_t payloadSize = length - kRedoEntryHeadSize;
    const std::string where = " at " + std::to_string(start);
    switch (kind) {
      case takInsert:
      case takUpdate:
      case takDelete:
      case takDeleteMoved: {
        const std::int64_t expected = kind == takInsert        ? 0
                                      : kind == takDeleteMoved ? 2 * std::int64_t{shape.RecordSize} + 4
                                                               : shape.RecordSize;
        if (payloadSize != expected) Broken("record entry of wrong length" + where);
        if (number < 1) Broken("record number " + std::to_string(number) + where);
        if (kind == takInsert && !pendingValues.empty()) Broken("values after an insert" + where);
        TTdbRedoEntry entry;
        entry.Kind = kind == takDeleteMoved ? takDelete : static_cast<TTdbTableActionKind>(kind);
        entry.RecNo = number;
        entry.Image.assign(payload, payload + std::min<std::int64_t>(payloadSize, shape.RecordSize));
        if (kind == takDeleteMoved) {
          entry.MovedImage.assign(payload + shape.RecordSize, payload + 2 * shape.RecordSize);
          entry.CountBefore = GetInt32(payload + 2 * shape.RecordSize);
          if (entry.CountBefore <= number) Broken("moved record " + std::to_string(entry.CountBefore) + where);
        }
        entry.Values.assign(pendingValues.rbegin(), pendingValues.rend());
        entry.Offset = start;
        pendingValues.clear();
        entries.push_back(std::move(entry));
        break;
      }
      case takBlob:
      case takWideMemo: {
        if (number < 1 || number > static_cast<std::int32_t>(shape.ValueKinds.size()))
          Broken("column number " + std::to_string(number) + where);
        const TTdbTableActionKind columnKind = shape.ValueKinds[static_cast<std::size_t>(number - 1)];
        const bool fits = kind == takBlob
                              ? columnKind == takBlob || (columnKind == takWideMemo && payloadSize == 0)
                              : columnKind == takWideMemo && payloadSize % 2 == 0;
        if (!fits) Broken("value of the wrong kind for column " + std::to_string(number) + where);
        TTdbRedoValue value;
        value.FieldNo = number;
        value.Wide = columnKind == takWideMemo;
        value.Bytes.assign(reinterpret_cast<const char*>(payload), static_cast<std::size_t>(payloadSize));
        pendingValues.push_back(std::move(value));
        break;
      }
      default:
        Broken("unknown entry kind " + std::to_string(kind) + where);
    }
    pos = start;
  }
  if (!pendingValues.empty()) Broken("values without a record entry");
  return entries;
}

void TTdbRedoLog::CutTo(std::int64_t size, bool sync) {
  if (!IsOpen() || FStream->Cut(size) < 0 || (sync && FStream->Sync() < 0))
    throw ETdbEngine(tdbErrWriteFile, FFileName);
  FSize = size;
  FUnsynced = FUnsynced && !sync;
}

void TTdbRedoLog::EraseCommitted(bool sync) {
  // Emptied and committed first, so that a delete lost in an operating
  // system crash leaves a log with nothing to undo rather than one that
  // would take the committed changes back; the delete itself then needs no
  // sync of the directory.
  FPending.clear();
  if (sync) CutTo(kRedoLogHeaderSize, true);
  Erase();
}

void TTdbRedoLog::Close() {
  if (FStream) FStream->Close();
}

void TTdbRedoLog::Erase() {
  FPending.clear();
  if (FStream) FStream->Close();
  if (FFileSystem.FileExists(FFileName) && !FFileSystem.DeleteFile(FFileName))
    throw ETdbEngine(tdbErrWriteFile, FFileName);
}

}  // namespace kestrel
