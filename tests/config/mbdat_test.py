#!/usr/bin/env python3
"""Tests of the settings tool: mbdat_test.py PATH_TO_MBDAT"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import settings_format  # noqa: E402

MBDAT = None

SETTINGS_FIELDS = [f[0] for f in settings_format.SETTINGS_FIELDS]
DEFAULTS = dict({"FirstRun": 1, "Version": 1024, "RecordSize": 1576, "SaveTime": 0,
                 "Reserved": [0] * 8, "Accounts": [], "Filters": []},
                **{name: ("" if kind == "text" else 0)
                   for name, kind, _ in settings_format.SETTINGS_FIELDS})


def high_text(shift, n=255):
    return "".join(chr(0x80 + (i + shift) % 128) for i in range(n))


def full_doc():
    return {
        "FirstRun": 0, "Version": 777, "RecordSize": 1576, "SaveTime": 45001.25,
        "Reserved": [0, 1, 0x7F, 0x80, 0xAA, 0xFE, 0xFF, 9],
        "ModelFlags": 15, "OptionFlags": 127, "ConnectionType": 1, "DialMode": 1,
        "IntervalKind": 1, "LanCheckMinutes": -2147483648, "DialEntryName": high_text(0),
        "DialCheckHours": 2147483647, "DialCheckMinutes": 30, "RedialCount": 2,
        "SpareText1": "tab\there \"quoted\" back\\slash", "WaveFileName": "C:\\W\u00e4ve.wav",
        "SpareText2": "".join(chr(c) for c in range(1, 256)), "TuneNumber": 5,
        "MiddleFunction": 1, "EmailProgram": high_text(64, 10), "BrowserProgram": "",
        "Accounts": [{"PopServer": "pop%d.example" % i, "UserName": high_text(i, 20),
                      "Password": "\u00ff\u0080pw%d" % i} for i in range(3)],
        "Filters": [{"Address": "\u00e9%d@example" % i} for i in range(2)],
    }


class Tool(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="mbdat-")
        self.file = os.path.join(self.dir, "MAILBELL.dat")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def run_tool(self, *args, stdin=b""):
        return subprocess.run([MBDAT, *args], input=stdin, capture_output=True, timeout=60)

    def make(self, doc_text):
        if not isinstance(doc_text, (bytes, str)):
            doc_text = json.dumps(doc_text)
        if isinstance(doc_text, str):
            doc_text = doc_text.encode("utf-8")
        return self.run_tool("make", self.file, stdin=doc_text)

    def dump(self):
        r = self.run_tool("dump", self.file)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stderr, b"")
        return json.loads(r.stdout.decode("utf-8"))

    def test_round_trip_keeps_every_field_and_byte(self):
        doc = full_doc()
        r = self.make(doc)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.dump(), doc)

    def test_fields_left_out_are_zero_or_empty_and_first_run_is_set(self):
        self.assertEqual(self.make("{}").returncode, 0)
        self.assertEqual(self.dump(), DEFAULTS)

    def test_dump_lists_the_fields_in_record_order(self):
        self.make("{}")
        keys = list(self.dump().keys())
        self.assertEqual(keys, ["FirstRun", "Version", "RecordSize", "SaveTime", "Reserved"]
                         + SETTINGS_FIELDS + ["Accounts", "Filters"])

    def test_made_file_reads_in_the_other_implementation(self):
        doc = full_doc()
        self.assertEqual(self.make(doc).returncode, 0)
        with open(self.file, "rb") as f:
            other = settings_format.read_file(f.read())
        for key in ["FirstRun", "Version", "RecordSize", "SaveTime", "Reserved"] + SETTINGS_FIELDS:
            self.assertEqual(other[key], doc[key], key)
        self.assertEqual(other["Trailer"], "")
        self.assertEqual(other["AccountList"], {"StoreName": "AccountDatas", "StoreVersion": 768,
                                                "RecordSize": 1032, "StoreCount": 3})
        self.assertEqual(other["FilterList"]["StoreName"], "FilterDatas")
        for mine, theirs in zip(doc["Accounts"], other["Accounts"]):
            self.assertEqual({k: theirs[k] for k in mine}, mine)
            # As the program's own wizard fills a new account.
            self.assertEqual((theirs["ReservedFlag"], theirs["ReservedByte"], theirs["ReservedText"]),
                             (1, 0, ""))
        self.assertEqual([f["Address"] for f in other["Filters"]],
                         [f["Address"] for f in doc["Filters"]])
        self.assertEqual([f["ReservedFlag"] for f in other["Filters"]], [1, 1])

    def test_dump_of_a_file_of_the_other_implementation(self):
        doc = full_doc()
        for mode in ("level9", "stored", "level0"):
            with open(self.file, "wb") as f:
                f.write(settings_format.write_file(doc, mode))
            self.assertEqual(self.dump(), doc, mode)

    def test_refused_input_writes_no_file(self):
        cases = [
            ("not json", b"FirstRun: 1"),
            ("trailing comma", b'{"FirstRun": 1,}'),
            ("unterminated", b'{"DialEntryName": "abc'),
            ("text after value", b"{} {}"),
            ("invalid utf-8", b'{"DialEntryName": "\xff"}'),
            ("lone surrogate", b'{"DialEntryName": "\\ud800"}'),
            ("duplicate key", b'{"TuneNumber": 1, "TuneNumber": 2}'),
            ("list at top", b"[]"),
            ("unknown field", b'{"Colour": 1}'),
            ("unknown account field", b'{"Accounts": [{"Server": "x"}]}'),
            ("string for number", b'{"TuneNumber": "1"}'),
            ("fraction", b'{"TuneNumber": 1.5}'),
            ("byte too big", b'{"ModelFlags": 256}'),
            ("byte negative", b'{"OptionFlags": -1}'),
            ("int32 too big", b'{"LanCheckMinutes": 2147483648}'),
            ("number for text", b'{"WaveFileName": 5}'),
            ("text of 256", json.dumps({"WaveFileName": "x" * 256}).encode()),
            ("not latin-1", json.dumps({"DialEntryName": "\u20ac"}).encode()),
            ("reserved too short", b'{"Reserved": [1, 2]}'),
            ("reserved byte too big", b'{"Reserved": [0, 0, 0, 0, 0, 0, 0, 300]}'),
            ("record size", b'{"RecordSize": 1575}'),
            ("null save time", b'{"SaveTime": null}'),
            ("accounts not a list", b'{"Accounts": {}}'),
            ("account not an object", b'{"Accounts": ["pop"]}'),
            ("filter with bad type", b'{"Filters": [{"Address": true}]}'),
            ("empty input", b""),
        ]
        for name, text in cases:
            with self.subTest(name):
                r = self.make(text)
                self.assertEqual(r.returncode, 1)
                self.assertEqual(r.stdout, b"")
                self.assertTrue(r.stderr.startswith(b"mbdat: "), r.stderr)
                self.assertFalse(os.path.exists(self.file))
                self.assertEqual(os.listdir(self.dir), [])

    def test_refused_input_keeps_an_existing_file(self):
        self.make(full_doc())
        with open(self.file, "rb") as f:
            before = f.read()
        r = self.make(b'{"TuneNumber": "x"}')
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"TuneNumber", r.stderr)
        with open(self.file, "rb") as f:
            self.assertEqual(f.read(), before)

    def test_error_names_the_place(self):
        r = self.make(b'{"Accounts": [{}, {"UserName": 3}]}')
        self.assertEqual(r.stderr, b"mbdat: Accounts[1].UserName: expected a string, found a number\n")
        r = self.make(b'{\n  "TuneNumber": 1,\n  oops\n}')
        self.assertEqual(r.stderr, b"mbdat: JSON error at line 3, column 3: expected a member name\n")

    def test_files_that_do_not_load(self):
        self.make(full_doc())
        with open(self.file, "rb") as f:
            good = f.read()
        damaged = bytearray(good)
        damaged[24 + 2] ^= 1
        cases = [
            ("missing", None, "Cannot open file %s\n" % self.file),
            ("short", good[:10], "Stream read error\n"),
            ("damaged", bytes(damaged), "zlib: Compressed data is corrupted\n"),
            ("cut in a zlib stream", good[:24 + 16 + 5], "zlib: Internal error. Code -5\n"),
        ]
        for name, data, message in cases:
            with self.subTest(name):
                if data is None:
                    os.remove(self.file)
                else:
                    with open(self.file, "wb") as f:
                        f.write(data)
                r = self.run_tool("dump", self.file)
                self.assertEqual(r.returncode, 1)
                self.assertEqual(r.stdout, b"")
                self.assertEqual(r.stderr.decode(), message)

    def test_wrong_command_line(self):
        for args in ([], ["dump"], ["list", self.file], ["dump", self.file, "extra"]):
            with self.subTest(args):
                r = self.run_tool(*args)
                self.assertEqual(r.returncode, 2)
                self.assertIn(b"usage:", r.stderr)


if __name__ == "__main__":
    MBDAT = sys.argv.pop(1)
    unittest.main()
