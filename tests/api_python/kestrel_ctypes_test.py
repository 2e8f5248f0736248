"""Calls libkestrel.so from Python through ctypes: the version, a session on
a temporary directory database, the texts of result codes, the answer to
an invalid table handle, and the demo table read in KOD order. Usage:
kestrel_ctypes_test.py PATH/libkestrel.so PATH/kestrel"""
import csv
import ctypes
import io
import os
import subprocess
import sys
import tempfile
import unittest

LIBRARY_PATH = None
TOOL_PATH = None
CONTROL_TEXT = b"Kestrel database control file for directory-based database"


def utf16(text):
    """A zero-terminated UTF-16 buffer for a TdbChar* argument."""
    data = text.encode("utf-16-le") + b"\0\0"
    return ctypes.create_string_buffer(data, len(data))


def text_of(buffer):
    """The zero-terminated UTF-16 text of a character buffer."""
    raw = bytes(buffer)
    end = 0
    while end + 1 < len(raw) and raw[end:end + 2] != b"\0\0":
        end += 2
    return raw[:end].decode("utf-16-le")


class KestrelCTypes(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        lib = ctypes.CDLL(LIBRARY_PATH)
        i16, i32, ptr = ctypes.c_int16, ctypes.c_int32, ctypes.c_void_p
        signatures = {
            "TdbGetVersion": [],
            "TdbCreateSession": [ptr],
            "TdbSessOpenDb": [i16, ptr, ptr, ptr, i32, i32],
            "TdbSessGetDbInfo": [i16, ptr],
            "TdbSessGetLastError": [i16, ctypes.POINTER(i32), ptr, i32],
            "TdbSessCloseDb": [i16],
            "TdbSessDelete": [i16],
            "TdbGetErrorMsg": [i32, ptr, i32],
            "TdbTableFirst": [i16],
            "TdbSessOpenTable": [i16, ptr, ptr, ctypes.c_uint16, ctypes.c_uint8, ctypes.c_uint8],
            "TdbTableCreate": [i16, ptr],
            "TdbTableDelete": [i16],
            "TdbTableSetIndex": [i16, ptr, ctypes.c_uint8],
            "TdbTableGetRecordSize": [i16],
            "TdbTableGetFieldSpec": [i16, i32, ptr],
            "TdbTableMoveBy": [i16, i32],
            "TdbTableGetRecord": [i16, ptr, i32],
            "TdbTableRecordCount": [i16],
            "TdbTableLocateRec2": [i16, ptr, ptr, i32, i32, ptr],
        }
        for name, arguments in signatures.items():
            function = getattr(lib, name)
            function.argtypes = arguments
            function.restype = i32
        cls.lib = lib

    def error_text(self, code, max_len=255):
        buffer = ctypes.create_string_buffer(2 * (max_len + 1))
        self.assertEqual(self.lib.TdbGetErrorMsg(code, buffer, max_len), 0)
        return text_of(buffer)

    def last_error(self, session):
        code = ctypes.c_int32(-1)
        buffer = ctypes.create_string_buffer(2 * 256)
        self.assertEqual(self.lib.TdbSessGetLastError(session, ctypes.byref(code), buffer, 255), 0)
        return code.value, text_of(buffer)

    def test_version(self):
        self.assertEqual(self.lib.TdbGetVersion(), 8102)

    def test_invalid_table_handle(self):
        result = self.lib.TdbTableFirst(0)
        self.assertEqual(result, -101)
        self.assertEqual(self.error_text(result), "The table handle is invalid")
        self.assertEqual(self.error_text(1), "Unknown error")
        self.assertEqual(self.error_text(-101, 5), "The t")

    def test_open_directory_database(self):
        with tempfile.TemporaryDirectory() as root:
            directory = os.path.join(root, "Vnd")
            os.mkdir(directory)
            session = self.lib.TdbCreateSession(utf16(""))
            self.assertGreater(session, 0)
            try:
                self.assertEqual(
                    self.lib.TdbSessOpenDb(session, utf16(directory), utf16(""), utf16(""), 1024, 0), 0)
                with open(os.path.join(directory, "Vnd.tdbd"), "rb") as control:
                    self.assertEqual(control.read(), CONTROL_TEXT)
                info = (ctypes.c_int32 * 2)(-1, -1)
                self.assertEqual(self.lib.TdbSessGetDbInfo(session, info), 0)
                self.assertEqual(list(info), [0, 1])
                result = self.lib.TdbSessOpenTable(session, utf16("Vnd03"), utf16(""), 0xF8FF, 1, 0)
                self.assertEqual(result, -1)
                code, message = self.last_error(session)
                self.assertEqual(code, 37)
                self.assertIn("File not found or access denied", message)
                self.assertEqual(self.lib.TdbSessCloseDb(session), 0)
            finally:
                self.assertEqual(self.lib.TdbSessDelete(session), 0)
            self.assertEqual(self.lib.TdbSessCloseDb(session), -105)

    def field_position(self, table, field_no):
        """(InternalPosition, InternalSize) of a column from its 4612-byte spec."""
        spec = ctypes.create_string_buffer(4612)
        self.assertEqual(self.lib.TdbTableGetFieldSpec(table, field_no, spec), 0)
        raw = bytes(spec)
        return (int.from_bytes(raw[4608:4610], "little"), int.from_bytes(raw[4610:4612], "little"))

    def test_demo_table_in_kod_order(self):
        with tempfile.TemporaryDirectory() as directory:
            subprocess.run([TOOL_PATH, "demo", directory], check=True, capture_output=True)
            exported = subprocess.run([TOOL_PATH, "export", os.path.join(directory, "Vnd03"), "--index", "KOD"],
                                      check=True, capture_output=True).stdout.decode("utf-8")
            rows = list(csv.reader(io.StringIO(exported, newline="")))[1:]
            session = self.lib.TdbCreateSession(utf16(""))
            try:
                self.assertEqual(self.lib.TdbSessOpenDb(session, utf16(directory), utf16(""), utf16(""), 1024, 0), 0)
                relation = self.lib.TdbSessOpenTable(session, utf16("Vnd03"), utf16(""), 0xF8FF, 1, 0)
                self.assertGreater(relation, 0)
                table = self.lib.TdbTableCreate(relation, utf16("VCLTable_For_Vnd03"))
                self.assertGreater(table, 0)
                self.assertEqual(self.lib.TdbTableSetIndex(table, utf16("KOD"), 0), 0)
                self.assertEqual(self.lib.TdbTableRecordCount(table), len(rows))
                size = self.lib.TdbTableGetRecordSize(table)
                position, _ = self.field_position(table, 1)
                record = ctypes.create_string_buffer(size)
                kods = []
                self.assertEqual(self.lib.TdbTableFirst(table), 1)
                for _ in range(5):
                    self.assertEqual(self.lib.TdbTableGetRecord(table, record, size), 0)
                    raw = bytes(record)
                    kods.append(raw[position + 1:position + 1 + raw[position]].decode("cp1250"))
                    self.assertEqual(self.lib.TdbTableMoveBy(table, 1), 0)
                self.assertEqual(kods, [row[0] for row in rows[:5]])
                # The record buffer must be as large as a record.
                self.assertEqual(self.lib.TdbTableGetRecord(table, record, size - 1), -103)
                self.assertEqual(self.lib.TdbTableDelete(table), 0)
                self.assertEqual(self.lib.TdbTableFirst(table), -101)
            finally:
                self.assertEqual(self.lib.TdbSessDelete(session), 0)

    def test_missing_database(self):
        with tempfile.TemporaryDirectory() as root:
            session = self.lib.TdbCreateSession(utf16(""))
            try:
                missing = os.path.join(root, "missing.dat")
                self.assertEqual(
                    self.lib.TdbSessOpenDb(session, utf16(missing), utf16(""), utf16(""), 0, 0), -58)
                self.assertEqual(self.last_error(session),
                                 (37, 'File not found or access denied: "%s"' % missing))
            finally:
                self.lib.TdbSessDelete(session)


if __name__ == "__main__":
    LIBRARY_PATH = sys.argv.pop(1)
    TOOL_PATH = sys.argv.pop(1)
    unittest.main()
