#!/usr/bin/env python3
"""A second, separate implementation of the settings file, for the tests.

    settings_format.py write FILE [--compress MODE] < JSON
    settings_format.py read FILE > JSON

The JSON uses the field names of the records. Texts are ISO-8859-1 bytes,
shown as JSON strings of the characters U+0000..U+00FF. Besides the named
fields, a record may be given (and is shown) as "Bytes", a hex string of the
whole record; named fields are then laid over it. "AccountList" and
"FilterList" give list header values to store in place of the right ones, and
"Trailer" (hex) bytes to append after the filter list.

MODE decides how blocks are written: "level9" (the program's own settings),
"level1", "level0" (a zlib stream of stored deflate blocks), "stored" (every
block stored as is) or "mixed" (alternating level 9 and stored). A block that
does not shrink is stored in every mode, as the program does.
"""
import json
import struct
import sys
import zlib

STORED = 0xFFFFFFFF
HEADER_SIZE = 24
SETTINGS_SIZE = 1576
LIST_HEADER_SIZE = 268
ACCOUNT_SIZE = 1032
FILTER_SIZE = 1288

# (name, kind, offset); kind: "u8", "i32" or "text"
SETTINGS_FIELDS = [
    ("ModelFlags", "u8", 8), ("OptionFlags", "u8", 9), ("ConnectionType", "u8", 10),
    ("DialMode", "u8", 11), ("IntervalKind", "u8", 12), ("LanCheckMinutes", "i32", 16),
    ("DialEntryName", "text", 20), ("DialCheckHours", "i32", 276),
    ("DialCheckMinutes", "i32", 280), ("RedialCount", "i32", 284),
    ("SpareText1", "text", 288), ("WaveFileName", "text", 544), ("SpareText2", "text", 800),
    ("TuneNumber", "i32", 1056), ("MiddleFunction", "i32", 1060),
    ("EmailProgram", "text", 1064), ("BrowserProgram", "text", 1320),
]
ACCOUNT_FIELDS = [
    ("ReservedByte", "u8", 0), ("ReservedText", "text", 1), ("ReservedFlag", "u8", 257),
    ("PopServer", "text", 258), ("UserName", "text", 514), ("Password", "text", 770),
]
FILTER_FIELDS = [
    ("ReservedFlag", "u8", 256), ("Address", "text", 257), ("SpareText1", "text", 513),
    ("WaveFileName", "text", 769), ("SpareText2", "text", 1025), ("TuneNumber", "i32", 1284),
]


class FormatError(Exception):
    pass


def adler(data):
    return zlib.adler32(data, 1) & 0xFFFFFFFF


# --- records -----------------------------------------------------------------

def put_field(rec, kind, offset, value):
    if kind == "u8":
        rec[offset] = value
    elif kind == "i32":
        struct.pack_into("<i", rec, offset, value)
    else:
        raw = value.encode("latin-1")[:255]
        rec[offset] = len(raw)
        rec[offset + 1:offset + 1 + len(raw)] = raw


def get_field(rec, kind, offset):
    if kind == "u8":
        return rec[offset]
    if kind == "i32":
        return struct.unpack_from("<i", rec, offset)[0]
    n = rec[offset]
    return bytes(rec[offset + 1:offset + 1 + n]).decode("latin-1")


def build_record(size, fields, values, known):
    rec = bytearray(size)
    if "Bytes" in values:
        base = bytes.fromhex(values["Bytes"])
        if len(base) != size:
            raise FormatError("Bytes must hold %d bytes" % size)
        rec[:] = base
    for name, kind, offset in fields:
        if name in values:
            put_field(rec, kind, offset, values[name])
    for name in values:
        if name != "Bytes" and name not in known:
            raise FormatError("unknown field %r" % name)
    return bytes(rec)


def show_record(rec, fields):
    out = {name: get_field(rec, kind, offset) for name, kind, offset in fields}
    out["Bytes"] = rec.hex()
    return out


# --- blocks ------------------------------------------------------------------

def pack_block(data, level):
    """One block; level None stores it."""
    packed = None
    if level is not None and len(data) > 1:
        c = zlib.compressobj(level, zlib.DEFLATED, 15, 8, zlib.Z_DEFAULT_STRATEGY)
        z = c.compress(data) + c.flush()
        if len(z) <= len(data) - 1:
            packed = z
    if packed is None:
        frame = struct.pack("<III", STORED, len(data), adler(data))
        payload = data
    else:
        frame = struct.pack("<III", len(packed), len(data), adler(data))
        payload = packed
    return struct.pack("<I", adler(frame)) + frame + payload


class Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0
        self.blocks = []

    def take(self, n):
        if self.pos + n > len(self.data):
            raise FormatError("file ends inside a block at offset %d" % self.pos)
        chunk = self.data[self.pos:self.pos + n]
        self.pos += n
        return chunk

    def block(self, size):
        check, packed, data_size, data_check = struct.unpack("<IIII", self.take(16))
        if adler(struct.pack("<III", packed, data_size, data_check)) != check:
            raise FormatError("header check fails")
        if data_size != size:
            raise FormatError("block holds %d bytes, expected %d" % (data_size, size))
        if packed == STORED:
            data = self.take(size)
            self.blocks.append({"Packed": -1, "Size": size})
        else:
            d = zlib.decompressobj(15)
            data = d.decompress(self.take(packed))
            if not d.eof:
                raise FormatError("zlib stream incomplete")
            self.blocks.append({"Packed": packed, "Size": size})
        if len(data) != size:
            raise FormatError("block inflates to %d bytes, expected %d" % (len(data), size))
        if adler(data) != data_check:
            raise FormatError("data check fails")
        return data


# --- the file ----------------------------------------------------------------

def levels(mode):
    if mode == "mixed":
        while True:
            yield 9
            yield None
    fixed = {"level9": 9, "level1": 1, "level0": 0, "stored": None}[mode]
    while True:
        yield fixed


def write_file(doc, mode):
    lv = levels(mode)
    known = {"FirstRun", "Version", "RecordSize", "SaveTime", "HeaderPad1", "HeaderPad2",
             "Reserved", "SettingsBytes", "Accounts", "Filters", "AccountList", "FilterList",
             "Trailer"} | {f[0] for f in SETTINGS_FIELDS}
    for name in doc:
        if name not in known:
            raise FormatError("unknown field %r" % name)
    header = bytearray(HEADER_SIZE)
    header[0] = doc.get("FirstRun", 1)
    header[1:4] = bytes(doc.get("HeaderPad1", [0, 0, 0]))
    struct.pack_into("<ii", header, 4, doc.get("Version", 1024), doc.get("RecordSize", SETTINGS_SIZE))
    header[12:16] = bytes(doc.get("HeaderPad2", [0, 0, 0, 0]))
    struct.pack_into("<d", header, 16, doc.get("SaveTime", 0.0))

    settings_values = {k: v for k, v in doc.items() if k in {f[0] for f in SETTINGS_FIELDS}}
    if "SettingsBytes" in doc:
        settings_values["Bytes"] = doc["SettingsBytes"]
    settings = bytearray(build_record(SETTINGS_SIZE, SETTINGS_FIELDS, settings_values,
                                      {f[0] for f in SETTINGS_FIELDS}))
    if "Reserved" in doc:
        settings[0:8] = bytes(doc["Reserved"])

    out = bytearray(header)
    out += pack_block(bytes(settings), next(lv))
    for key, list_key, name, size, fields in (
            ("Accounts", "AccountList", "AccountDatas", ACCOUNT_SIZE, ACCOUNT_FIELDS),
            ("Filters", "FilterList", "FilterDatas", FILTER_SIZE, FILTER_FIELDS)):
        records = [build_record(size, fields, r, {f[0] for f in fields}) for r in doc.get(key, [])]
        lh = dict(StoreName=name, StoreVersion=768, RecordSize=size, StoreCount=len(records))
        lh.update(doc.get(list_key, {}))
        head = bytearray(LIST_HEADER_SIZE)
        put_field(head, "text", 0, lh["StoreName"])
        struct.pack_into("<iii", head, 256, lh["StoreVersion"], lh["RecordSize"], lh["StoreCount"])
        out += pack_block(bytes(head), next(lv))
        for rec in records:
            out += pack_block(rec, next(lv))
    out += bytes.fromhex(doc.get("Trailer", ""))
    return bytes(out)


def read_file(data):
    r = Reader(data)
    header = r.take(HEADER_SIZE)
    first_run = header[0]
    version, record_size = struct.unpack_from("<ii", header, 4)
    save_time = struct.unpack_from("<d", header, 16)[0]
    if record_size != SETTINGS_SIZE:
        raise FormatError("RecordSize %d" % record_size)
    settings = r.block(SETTINGS_SIZE)
    doc = {"FirstRun": first_run, "Version": version, "RecordSize": record_size,
           "SaveTime": save_time, "HeaderPad1": list(header[1:4]),
           "HeaderPad2": list(header[12:16]), "Reserved": list(settings[0:8])}
    for name, kind, offset in SETTINGS_FIELDS:
        doc[name] = get_field(settings, kind, offset)
    doc["SettingsBytes"] = settings.hex()
    for key, list_key, size, fields in (("Accounts", "AccountList", ACCOUNT_SIZE, ACCOUNT_FIELDS),
                                        ("Filters", "FilterList", FILTER_SIZE, FILTER_FIELDS)):
        head = r.block(LIST_HEADER_SIZE)
        store_version, rec_size, count = struct.unpack_from("<iii", head, 256)
        doc[list_key] = {"StoreName": get_field(head, "text", 0), "StoreVersion": store_version,
                         "RecordSize": rec_size, "StoreCount": count}
        if count > 0 and rec_size != size:
            raise FormatError("%s records of %d bytes" % (key, rec_size))
        doc[key] = [show_record(r.block(size), fields) for _ in range(max(count, 0))]
    doc["Blocks"] = r.blocks
    doc["Trailer"] = data[r.pos:].hex()
    return doc


def main(argv):
    if len(argv) < 3 or argv[1] not in ("write", "read"):
        sys.stderr.write(__doc__)
        return 2
    try:
        if argv[1] == "write":
            mode = "level9"
            if len(argv) == 5 and argv[3] == "--compress":
                mode = argv[4]
            data = write_file(json.load(sys.stdin), mode)
            with open(argv[2], "wb") as f:
                f.write(data)
        else:
            with open(argv[2], "rb") as f:
                doc = read_file(f.read())
            json.dump(doc, sys.stdout, indent=1)
            sys.stdout.write("\n")
    except FormatError as e:
        sys.stderr.write("settings_format: %s\n" % e)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
