"""The kestrel Python package (python/kestrel) on the demo table: walking in
physical and index order with filters, find with one- and two-column keys,
append, update and delete with typed values, and errors as kestrel.Error
with the result code, the engine error number and the message. The tool
exports the table to compare against. Usage:
kestrel_package_test.py PATH/libkestrel.so PATH/kestrel PATH/python"""
import csv
import datetime
import io
import os
import subprocess
import sys
import tempfile
import unittest

TOOL_PATH = None


class KestrelPackage(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.directory = self.scratch.name
        subprocess.run([TOOL_PATH, "demo", self.directory], check=True, capture_output=True)
        self.db = kestrel.open(self.directory)
        self.table = self.db.table("Vnd03")

    def tearDown(self):
        self.db.close()
        self.scratch.cleanup()

    def exported(self, *options):
        """The table's records as the tool exports them, as lists of texts."""
        out = subprocess.run([TOOL_PATH, "export", os.path.join(self.directory, "Vnd03"), *options],
                             check=True, capture_output=True).stdout.decode("utf-8")
        return list(csv.reader(io.StringIO(out, newline="")))[1:]

    def rows(self, records):
        return [[r["KOD"], r["MEGNEV"], r["LEIRAS"] or ""] for r in records]

    def test_walks_agree_with_the_tool(self):
        cases = [
            ({}, ()),
            ({"index": "KOD"}, ("--index", "KOD")),
            ({"index": "INDMN", "reverse": True}, ("--index", "INDMN", "--reverse")),
            ({"index": "KOD", "filter": "KOD LIKE '01%' AND LEIRAS IS NOT NULL"},
             ("--index", "KOD", "--filter", "KOD LIKE '01%' AND LEIRAS IS NOT NULL")),
        ]
        for arguments, options in cases:
            with self.subTest(arguments=arguments):
                self.assertEqual(self.rows(self.table.records(**arguments)), self.exported(*options))
        self.assertEqual(len(self.table), 498)
        self.assertEqual(self.table.count(filter="KOD LIKE '01%'"), len(self.exported("--filter", "KOD LIKE '01%'")))

    def test_find(self):
        first = self.exported("--index", "KOD")[0]
        cases = [
            (("KOD", first[0]), {}, first[0]),
            (("KOD", "00"), {"nearest": True}, first[0]),
            (("KOD", "00"), {}, None),
            (("KOD", "99"), {"nearest": True}, None),
            (("KOD", {"kod": first[0]}), {}, first[0]),
        ]
        for (index, key), options, expected in cases:
            with self.subTest(key=key, options=options):
                found = self.table.find(index, key, **options)
                self.assertEqual(found and found["KOD"], expected)
        with self.assertRaises(kestrel.Error) as caught:
            self.table.find("NINCS", "1")
        self.assertEqual(caught.exception.code, -16)

    def test_append_update_delete_and_errors(self):
        added = self.table.append({"KOD": "99.99.9", "MEGNEV": "Új tétel", "LEIRAS": "első\r\nmásodik"})
        self.assertEqual(added["LEIRAS"], "első\r\nmásodik")
        self.assertEqual(self.table.find("KOD", "99.99.9"), added)
        changed = self.table.update(added, {"MEGNEV": "Más", "LEIRAS": None})
        self.assertEqual((changed["MEGNEV"], changed["LEIRAS"]), ("Más", None))
        self.assertEqual(len(self.table), 499)
        self.assertIn(["99.99.9", "Más", ""], self.exported())
        cases = [
            ({"KOD": "99.99.9", "MEGNEV": "x"}, -100, 30, "unique"),
            ({"KOD": None, "MEGNEV": "x"}, -100, 47, "does not accept NULL"),
        ]
        for values, code, reason, text in cases:
            with self.subTest(values=values):
                with self.assertRaises(kestrel.Error) as caught:
                    self.table.append(values)
                self.assertEqual((caught.exception.code, caught.exception.reason), (code, reason))
                self.assertIn(text, caught.exception.message)
        for values in ({"KOD": "98.98.8", "MEGNEV": "中"}, {"KOD": "98.98.8", "LEIRAS": "szöveg 中"}):
            with self.subTest(values=values):
                with self.assertRaisesRegex(ValueError, "not in Windows-1250; store such texts in a Wide"):
                    self.table.append(values)
                self.assertIsNone(self.table.find("KOD", "98.98.8"))
        self.table.delete(self.table.find("KOD", "99.99.9"))
        self.assertIsNone(self.table.find("KOD", "99.99.9"))
        self.assertEqual(len(self.table), 498)
        self.assertEqual(subprocess.run([TOOL_PATH, "check", os.path.join(self.directory, "Vnd03")],
                                        capture_output=True).returncode, 0)

    def test_typed_values_and_nulls(self):
        subprocess.run([TOOL_PATH, "create", os.path.join(self.directory, "T"), "--level", "6",
                        "--column", "K LongInt NOT NULL", "--column", "W WideString(20)", "--column", "D Date",
                        "--column", "DT DateTime", "--column", "B Boolean", "--column", "F Float",
                        "--column", "WM WideMemo", "--index", "K:K:unique", "--index", "WK:W, K"],
                       check=True, capture_output=True)
        table = self.db.table("T")
        values = {"K": 7, "W": "中文 ελληνικά", "D": datetime.date(2024, 2, 29),
                  "DT": datetime.datetime(2024, 3, 31, 13, 5, 1, 250000), "B": True, "F": 2.5, "WM": "őű 中"}
        self.assertEqual(dict(table.append(values)), values)
        empty = table.append({"K": 8})
        self.assertEqual(dict(empty), {"K": 8, "W": None, "D": None, "DT": None, "B": None, "F": None, "WM": None})
        self.assertEqual(table.append({"K": 9, "W": ""})["W"], "")
        self.assertEqual(table.count(filter="W IS NULL"), 1)
        self.assertEqual(table.find("WK", ("中文 ελληνικά", 7))["K"], 7)
        self.assertEqual([r["K"] for r in table.records(index="WK")], [8, 9, 7])


if __name__ == "__main__":
    os.environ["KESTREL_LIBRARY"] = sys.argv[1]
    TOOL_PATH = sys.argv[2]
    sys.path.insert(0, sys.argv[3])
    import kestrel  # noqa: E402  (the package under test, from the source tree)
    unittest.main(argv=sys.argv[:1])
