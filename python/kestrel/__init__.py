"""Kestrel tables from Python, through libkestrel's flat call interface
(kestrel.h) with the standard library's ctypes only.

    import kestrel
    with kestrel.open("/path/to/dir") as db:
        t = db.table("Vnd03")
        for r in t.records(index="KOD", filter="KOD LIKE '01%'"):
            print(r["KOD"], r["MEGNEV"])
        r = t.find("KOD", "01.11.1")
        t.update(r, {"MEGNEV": "Gabona"})
        t.append({"KOD": "99.99.9", "MEGNEV": "Új"})
        t.delete(t.find("KOD", "99.99.9"))

Records are dicts of column name to value (str, int, float, bool,
datetime.date, datetime.time, datetime.datetime, uuid.UUID, bytes; None
for NULL) with the record number as `recno`. Every failure of a call
raises kestrel.Error with the result code as `code`, the engine's error
number as `reason` (0 when it has none) and the engine's message.

The library is found through the KESTREL_LIBRARY environment variable, then
beside an installed package (PREFIX/lib/python3/dist-packages/kestrel ->
PREFIX/lib), then on the system's library path.
"""
import ctypes
import ctypes.util
import datetime
import os
import struct
import uuid

__all__ = ["open", "Database", "Table", "Record", "Column", "Error"]

# Numbers of kestrel.h.
RECORD_NOT_EXISTS = -11
ENGINE_ERROR = -100
DB_READ_ONLY = 0x01
RIGHTS_ALL = 0x0001 | 0x0002 | 0x0004 | 0x0008
FILTER_STATIC = 1
LOCATE_ALL_LEVELS = 256
FIELD_NULL_BYTE = 0x08
FIELD_NULLABLE = 0x20
FIELD_SPEC_SIZE = 4612
ERR_NULL_NOT_ACCEPTED = 47
(TYPE_CHAR, TYPE_STRING, TYPE_INT16, TYPE_FLOAT, TYPE_BYTE, TYPE_BOOLEAN, TYPE_DATE, TYPE_MEMO, TYPE_ENUM,
 TYPE_RECORD_ID, TYPE_LINK, TYPE_BLOB, TYPE_RELATION, TYPE_TIME) = range(14)
TYPE_LONG_INT, TYPE_DATE_TIME, TYPE_WIDE_STRING, TYPE_WIDE_MEMO, TYPE_INT64, TYPE_GUID = range(16, 22)

_INTEGERS = {TYPE_INT16: "<h", TYPE_BYTE: "<B", TYPE_ENUM: "<b", TYPE_RECORD_ID: "<i", TYPE_LINK: "<i",
             TYPE_LONG_INT: "<i", TYPE_INT64: "<q"}
_BLOCKS = (TYPE_MEMO, TYPE_WIDE_MEMO, TYPE_BLOB)
# Types whose NULL is the value's bytes all zero, without a null byte.
_ZERO_NULL = (TYPE_DATE, TYPE_DATE_TIME, TYPE_LINK, TYPE_ENUM)
_PACKED_YEAR, _PACKED_MONTH = 512, 32
_SHORT_STRING_LIMIT = 256
_CODE_PAGE = "cp1250"
_MS_PER_DAY = 86400000


class Error(Exception):
    """A failed call: `code` the result code, `reason` the engine error
    number (0 when there is none), `message` the engine's text."""

    def __init__(self, code, reason, message):
        super().__init__(f"{message} (result {code}, engine error {reason})")
        self.code, self.reason, self.message = code, reason, message


def _find_library():
    candidates = [os.environ.get("KESTREL_LIBRARY")]
    here = os.path.dirname(os.path.abspath(__file__))
    for up in (os.path.join(here, "..", "..", ".."), os.path.join(here, "..", "..", "..", "lib")):
        candidates += [os.path.join(up, "libkestrel.so.8"), os.path.join(up, "libkestrel.so")]
    candidates.append(ctypes.util.find_library("kestrel"))
    for candidate in candidates:
        if candidate and (os.path.isfile(candidate) or not os.path.dirname(candidate)):
            try:
                return ctypes.CDLL(candidate)
            except OSError:
                continue
    raise ImportError("libkestrel.so not found; set KESTREL_LIBRARY to its path")


_lib = None


def _library():
    global _lib
    if _lib is None:
        lib = _find_library()
        i16, i32, ptr, u8 = ctypes.c_int16, ctypes.c_int32, ctypes.c_void_p, ctypes.c_uint8
        for name, arguments in {
            "TdbCreateSession": [ptr], "TdbSessDelete": [i16],
            "TdbSessOpenDb": [i16, ptr, ptr, ptr, i32, i32],
            "TdbSessOpenTable": [i16, ptr, ptr, ctypes.c_uint16, u8, u8],
            "TdbSessGetLastError": [i16, ctypes.POINTER(i32), ptr, i32], "TdbGetErrorMsg": [i32, ptr, i32],
            "TdbRltnGetIndexDesc": [i16, ptr, ptr, i32], "TdbTableCreate": [i16, ptr], "TdbTableDelete": [i16],
            "TdbTableGetRecordSize": [i16], "TdbTableGetNumFields": [i16], "TdbTableGetFieldSpec": [i16, i32, ptr],
            "TdbTableGetRltnVersion": [i16], "TdbTableSetIndex": [i16, ptr, u8], "TdbTableFirst": [i16],
            "TdbTableLast": [i16], "TdbTableMoveBy": [i16, i32], "TdbTableSetRecNo": [i16, i32],
            "TdbTableGetRecNo": [i16], "TdbTableRecordCount": [i16], "TdbTableGetRecord": [i16, ptr, i32],
            "TdbTableSetRecord": [i16, ptr, i32], "TdbTableAppend": [i16], "TdbTableAppendConfirm": [i16],
            "TdbTableAppendCancel": [i16], "TdbTableEdit": [i16], "TdbTableEditConfirm": [i16],
            "TdbTableEditCancel": [i16], "TdbTableDeleteRecord": [i16],
            "TdbTableLocateRec2": [i16, ptr, ptr, i32, i32, ctypes.POINTER(u8)],
            "TdbTableSetSQLFilter": [i16, ptr, i32, u8], "TdbTableActivateFilter": [i16, u8],
            "TdbTableInitGetBlob": [i16, i32, i32, ctypes.POINTER(i32)], "TdbTablePerformGetBlob": [i16, ptr, i32],
            "TdbTableSetBlob": [i16, i32, ptr, i32],
        }.items():
            function = getattr(lib, name)
            function.argtypes, function.restype = arguments, i32
        _lib = lib
    return _lib


def _text(value):
    data = str(value).encode("utf-16-le") + b"\0\0"
    return ctypes.create_string_buffer(data, len(data))


def _read_text(buffer):
    raw = bytes(buffer)
    end = 0
    while end + 1 < len(raw) and raw[end:end + 2] != b"\0\0":
        end += 2
    return raw[:end].decode("utf-16-le", errors="replace")


class Column:
    """A column as its spec describes it: `name`, `type` (a TYPE_* code),
    `size` (characters of a text, precision else), `nullable`."""

    def __init__(self, field_no, raw, level):
        self.field_no = field_no
        self.name = _read_text(raw[2:84])
        options = raw[84]
        self.type = struct.unpack_from("<h", raw, 4600)[0]
        self.size = struct.unpack_from("<i", raw, 4604)[0]
        position, size = struct.unpack_from("<hh", raw, 4608)
        self.nullable = bool(options & FIELD_NULLABLE)
        self._null_at = None
        self._at, self._length = position, size
        if options & FIELD_NULL_BYTE:
            self._length -= 1
            if level >= 6:
                self._null_at, self._at = position, position + 1
            else:
                self._null_at = position + size - 1

    def __repr__(self):
        return f"Column({self.name!r}, type={self.type}, nullable={self.nullable})"

    def decode(self, record):
        """The column's value in a record image (not for memo and blob columns)."""
        if self._null_at is not None and record[self._null_at] == 0:
            return None
        value = bytes(record[self._at:self._at + self._length])
        kind = self.type
        if self.nullable and kind in _ZERO_NULL and not any(value):
            return None
        if kind == TYPE_CHAR:
            return value[:1].decode(_CODE_PAGE) if value[0] else ""
        if kind == TYPE_STRING:
            prefix = 1 if self.size < _SHORT_STRING_LIMIT else 2
            length = min(int.from_bytes(value[:prefix], "little"), self.size)
            return value[prefix:prefix + length].decode(_CODE_PAGE)
        if kind == TYPE_WIDE_STRING:
            length = max(0, min(struct.unpack_from("<h", value)[0], self.size))
            return value[2:2 + 2 * length].decode("utf-16-le", errors="surrogatepass")
        if kind in _INTEGERS:
            return struct.unpack_from(_INTEGERS[kind], value)[0]
        if kind == TYPE_BOOLEAN:
            return value[0] != 0
        if kind == TYPE_FLOAT:
            return struct.unpack_from("<d", value)[0]
        if kind == TYPE_DATE:
            return _date(struct.unpack_from("<i", value)[0])
        if kind == TYPE_TIME:
            if len(value) == 2:
                return _time(struct.unpack_from("<h", value)[0] * 60000)
            return _time(struct.unpack_from("<i", value)[0])
        if kind == TYPE_DATE_TIME:
            packed, ms = struct.unpack_from("<ii", value)
            return datetime.datetime.combine(_date(packed), _time(ms))
        if kind == TYPE_GUID:
            return uuid.UUID(bytes_le=value[:16])
        return value

    def encode(self, record, value):
        """Writes value into a record image (not for memo and blob columns)."""
        kind = self.type
        if value is None:
            if not self.nullable:
                raise Error(ENGINE_ERROR, ERR_NULL_NOT_ACCEPTED, f'"{self.name}" does not accept NULL values')
            if self._null_at is not None:
                record[self._null_at] = 0
            record[self._at:self._at + self._length] = bytes(self._length)
            return
        if kind == TYPE_CHAR:
            data = _encode_code_page(self, str(value)[:1])
        elif kind == TYPE_STRING:
            text = _encode_code_page(self, str(value))
            if len(text) > self.size:
                raise ValueError(f"{self.name}: {value!r} is longer than {self.size} characters")
            prefix = 1 if self.size < _SHORT_STRING_LIMIT else 2
            data = len(text).to_bytes(prefix, "little") + text
        elif kind == TYPE_WIDE_STRING:
            text = str(value).encode("utf-16-le", errors="surrogatepass")
            if len(text) // 2 > self.size:
                raise ValueError(f"{self.name}: {value!r} is longer than {self.size} characters")
            data = struct.pack("<h", len(text) // 2) + text
        elif kind in _INTEGERS:
            data = struct.pack(_INTEGERS[kind], value)
        elif kind == TYPE_BOOLEAN:
            data = bytes([1 if value else 0])
        elif kind == TYPE_FLOAT:
            data = struct.pack("<d", value)
        elif kind == TYPE_DATE:
            data = struct.pack("<i", _packed(value))
        elif kind == TYPE_TIME:
            ms = _milliseconds(value)
            data = struct.pack("<h", ms // 60000) if self._length == 2 else struct.pack("<i", ms)
        elif kind == TYPE_DATE_TIME:
            data = struct.pack("<ii", _packed(value), _milliseconds(value.time()))
        elif kind == TYPE_GUID:
            data = value.bytes_le
        else:
            raise ValueError(f"{self.name}: columns of type {kind} cannot be written from Python")
        record[self._at:self._at + self._length] = data.ljust(self._length, b"\0")
        if self._null_at is not None:
            record[self._null_at] = 1


def _date(packed):
    return datetime.date(packed // _PACKED_YEAR, packed // _PACKED_MONTH % (_PACKED_YEAR // _PACKED_MONTH),
                         packed % _PACKED_MONTH)


def _packed(day):
    return day.year * _PACKED_YEAR + day.month * _PACKED_MONTH + day.day


def _time(ms):
    ms = max(0, min(ms, _MS_PER_DAY - 1))
    return datetime.time(ms // 3600000, ms // 60000 % 60, ms // 1000 % 60, ms % 1000 * 1000)


def _milliseconds(time):
    return ((time.hour * 60 + time.minute) * 60 + time.second) * 1000 + time.microsecond // 1000


class Record(dict):
    """A record's values by column name; `recno` is its record number."""

    def __init__(self, values, recno):
        super().__init__(values)
        self.recno = recno


class Database:
    """A directory database opened by one session of the library."""

    def __init__(self, directory, read_only=False, cache_kb=4096):
        self._lib = _library()
        self._session = self._lib.TdbCreateSession(_text(""))
        if self._session <= 0:
            raise Error(self._session, 0, self._result_text(self._session))
        self.read_only = read_only
        try:
            self._check(self._lib.TdbSessOpenDb(self._session, _text(directory), _text(""), _text(""), cache_kb,
                                                DB_READ_ONLY if read_only else 0))
        except Error:
            self._lib.TdbSessDelete(self._session)
            self._session = 0
            raise
        self._tables = {}

    def table(self, name):
        """The table `name` of the database (opened once per database)."""
        if name not in self._tables:
            rights = 0 if self.read_only else RIGHTS_ALL
            relation = self._check(self._lib.TdbSessOpenTable(self._session, _text(name), _text(""), rights, 0, 0))
            self._tables[name] = Table(self, relation, name)
        return self._tables[name]

    def close(self):
        if self._session > 0:
            self._lib.TdbSessDelete(self._session)
            self._session = 0

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        if getattr(self, "_session", 0) > 0:
            self.close()

    def _result_text(self, code):
        buffer = ctypes.create_string_buffer(2 * 256)
        self._lib.TdbGetErrorMsg(code, buffer, 255)
        return _read_text(buffer)

    def _check(self, result):
        """The result when it is not negative; else raises Error."""
        if result >= 0:
            return result
        reason = ctypes.c_int32(0)
        buffer = ctypes.create_string_buffer(2 * 1025)
        message = self._result_text(result)
        if self._session > 0 and self._lib.TdbSessGetLastError(self._session, ctypes.byref(reason), buffer,
                                                                1024) == 0 and reason.value:
            message = f"{message}: {_read_text(buffer)}"
        raise Error(result, reason.value, message)


class _Cursor:
    """One cursor of the library on a table, deleted when closed."""

    def __init__(self, table):
        self.table = table
        self.handle = table._db._check(table._lib.TdbTableCreate(table._relation, _text("python")))

    def close(self):
        if self.handle > 0:
            self.table._lib.TdbTableDelete(self.handle)
            self.handle = 0


class Table:
    """A table of a Database: its columns, its records as dicts, and
    append, update and delete."""

    def __init__(self, db, relation, name):
        self._db, self._lib, self._relation, self.name = db, db._lib, relation, name
        cursor = _Cursor(self)
        try:
            h = cursor.handle
            self._record_size = db._check(self._lib.TdbTableGetRecordSize(h))
            level = db._check(self._lib.TdbTableGetRltnVersion(h))
            self.columns = []
            for field_no in range(1, db._check(self._lib.TdbTableGetNumFields(h)) + 1):
                raw = ctypes.create_string_buffer(FIELD_SPEC_SIZE)
                db._check(self._lib.TdbTableGetFieldSpec(h, field_no, raw))
                self.columns.append(Column(field_no, bytes(raw), level))
        finally:
            cursor.close()
        self._by_name = {column.name.upper(): column for column in self.columns}

    def column(self, name):
        """The column `name` (ASCII case ignored); KeyError when there is none."""
        try:
            return self._by_name[name.upper()]
        except KeyError:
            raise KeyError(f"table {self.name} has no column {name!r}") from None

    def __len__(self):
        return self.count()

    def count(self, filter=None):
        """The number of records (that satisfy the condition)."""
        cursor = _Cursor(self)
        try:
            self._set_filter(cursor.handle, filter)
            return self._db._check(self._lib.TdbTableRecordCount(cursor.handle))
        finally:
            cursor.close()

    def records(self, index=None, filter=None, reverse=False):
        """The records in physical order or the order of `index`, backwards
        with `reverse`, only those that satisfy the condition `filter`."""
        cursor = _Cursor(self)
        try:
            h = cursor.handle
            self._db._check(self._lib.TdbTableSetIndex(h, _text(index or ""), 0))
            self._set_filter(h, filter)
            step = self._lib.TdbTableLast(h) if reverse else self._lib.TdbTableFirst(h)
            while step != RECORD_NOT_EXISTS:
                self._db._check(step)
                yield self._current(h)
                step = self._lib.TdbTableMoveBy(h, -1 if reverse else 1)
        finally:
            cursor.close()

    def __iter__(self):
        return self.records()

    def find(self, index, key, nearest=False):
        """The record whose key in `index` equals `key` (None when there is
        none), or with `nearest` the first at or after it. `key` is one value
        for the index's first column, a tuple for its first columns in order,
        or a dict by column name."""
        levels = self._index_columns(index)
        if isinstance(key, dict):
            named = {self.column(name).name: value for name, value in key.items()}
            values = []
            for column in levels[:len(named)]:
                if column.name not in named:
                    raise KeyError(f"index {index} has the key columns {[c.name for c in levels]}")
                values.append(named[column.name])
        else:
            values = list(key) if isinstance(key, tuple) else [key]
        if len(values) > len(levels):
            raise KeyError(f"index {index} has the key columns {[c.name for c in levels]}")
        record = bytearray(self._record_size)
        for column, value in zip(levels, values):
            column.encode(record, value)
        cursor = _Cursor(self)
        try:
            h = cursor.handle
            self._db._check(self._lib.TdbTableSetIndex(h, _text(index), 0))
            exact = ctypes.c_uint8(0 if nearest else 1)
            buffer = (ctypes.c_char * len(record)).from_buffer(record)
            found = self._db._check(self._lib.TdbTableLocateRec2(h, _text(index), buffer, len(record), len(values),
                                                                 ctypes.byref(exact)))
            return self._current(h) if found > 0 else None
        finally:
            cursor.close()

    def append(self, values):
        """Appends a record with `values` (column name to value; the others
        empty); answers the new record as stored."""
        cursor = _Cursor(self)
        try:
            h = cursor.handle
            self._db._check(self._lib.TdbTableAppend(h))
            try:
                self._write(h, values)
                self._db._check(self._lib.TdbTableAppendConfirm(h))
            except BaseException:
                self._lib.TdbTableAppendCancel(h)
                raise
            return self._current(h)
        finally:
            cursor.close()

    def update(self, record, values):
        """Changes the columns `values` names in `record` (a Record of this
        table); answers the record as stored."""
        cursor = _Cursor(self)
        try:
            h = cursor.handle
            self._db._check(self._lib.TdbTableSetRecNo(h, record.recno))
            self._db._check(self._lib.TdbTableEdit(h))
            try:
                self._write(h, values)
                self._db._check(self._lib.TdbTableEditConfirm(h))
            except BaseException:
                self._lib.TdbTableEditCancel(h)
                raise
            return self._current(h)
        finally:
            cursor.close()

    def delete(self, record):
        """Deletes `record` (a Record of this table)."""
        cursor = _Cursor(self)
        try:
            self._db._check(self._lib.TdbTableSetRecNo(cursor.handle, record.recno))
            self._db._check(self._lib.TdbTableDeleteRecord(cursor.handle))
        finally:
            cursor.close()

    def _set_filter(self, h, condition):
        if condition:
            self._db._check(self._lib.TdbTableSetSQLFilter(h, _text(condition), FILTER_STATIC, 0))
            self._db._check(self._lib.TdbTableActivateFilter(h, 1))

    def _index_columns(self, index):
        buffer = ctypes.create_string_buffer(2 * 8193)
        self._db._check(self._lib.TdbRltnGetIndexDesc(self._relation, _text(index), buffer, 8192))
        levels = []
        for level in _read_text(buffer).replace(";", ",").split(","):
            name = level.strip().lstrip("+-").strip()
            column = self._by_name.get(name.upper())
            if column is None:
                break
            levels.append(column)
        return levels

    def _current(self, h):
        record = ctypes.create_string_buffer(self._record_size)
        self._db._check(self._lib.TdbTableGetRecord(h, record, self._record_size))
        raw = bytes(record)
        values = {}
        for column in self.columns:
            if column.type in _BLOCKS:
                values[column.name] = self._blob(h, column)
            elif column.type != TYPE_RELATION:
                values[column.name] = column.decode(raw)
        return Record(values, self._lib.TdbTableGetRecNo(h))

    def _blob(self, h, column):
        blob_type = ctypes.c_int32(0)
        size = self._db._check(self._lib.TdbTableInitGetBlob(h, column.field_no, -1, ctypes.byref(blob_type)))
        if size == 0:
            return None
        data = ctypes.create_string_buffer(size)
        read = self._db._check(self._lib.TdbTablePerformGetBlob(h, data, size))
        raw = data.raw[:read]
        if column.type == TYPE_MEMO:
            return raw.decode(_CODE_PAGE)
        if column.type == TYPE_WIDE_MEMO:
            return raw.decode("utf-16-le", errors="surrogatepass")
        return raw

    def _write(self, h, values):
        record = ctypes.create_string_buffer(self._record_size)
        self._db._check(self._lib.TdbTableGetRecord(h, record, self._record_size))
        image = bytearray(record.raw)
        blobs = []
        for name, value in values.items():
            column = self.column(name)
            if column.type in _BLOCKS:
                blobs.append((column, value))
            else:
                column.encode(image, value)
        self._db._check(self._lib.TdbTableSetRecord(h, bytes(image), self._record_size))
        for column, value in blobs:
            if value is None:
                data = b""
            elif column.type == TYPE_MEMO:
                data = _encode_code_page(column, str(value))
            elif column.type == TYPE_WIDE_MEMO:
                data = str(value).encode("utf-16-le", errors="surrogatepass")
            else:
                data = bytes(value)
            self._db._check(self._lib.TdbTableSetBlob(h, column.field_no, data, len(data)))


def _encode_code_page(column, text):
    """text in the code page of 8-bit columns; a ValueError naming the column
    when the page lacks a character, so nothing is stored in its place."""
    try:
        return text.encode(_CODE_PAGE)
    except UnicodeEncodeError as error:
        raise ValueError(f"{column.name}: {text[error.start]!r} is not in Windows-1250; store such texts in a "
                         f"{'WideMemo' if column.type == TYPE_MEMO else 'WideString'} column") from None


def open(directory, read_only=False):
    """Opens the directory database at `directory` (a Database; use it in a
    with statement or call close())."""
    return Database(directory, read_only=read_only)
