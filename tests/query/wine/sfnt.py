"""Small font files for the tool's tests under Wine: single fonts and
collections with an OS/2 table, full names and a character map, enough for
every mode of meldrove-query to have something to show. (The C++ tests have
their own writer, tests/support/font_writer.h, which these scripts cannot
call.)"""

import struct

TRUETYPE, CFF = 0x00010000, 0x4F54544F  # sfnt versions: TrueType outlines, 'OTTO'
LATIN = (1, 0, 0, 0)  # the range words of Basic Latin (bit 0) alone
PRINTABLE_ASCII = ((0x20, 0x7E),)


def os2(ranges, version=1):
    """An OS/2 table of version 1 (86 bytes) whose range words hold `ranges`;
    the other fields are 0xEE, which no reader of ours looks at."""
    table = bytearray(b"\xee" * 86)
    table[0:2] = struct.pack(">H", version)
    table[42:58] = struct.pack(">4I", *ranges)
    return bytes(table)


def mac_name(raw):
    """A Macintosh (platform 1, Roman) full-name record of raw bytes."""
    return 1, 0, 0, raw if isinstance(raw, bytes) else raw.encode("ascii")


def windows_name(text, language=0x0409):
    """A Windows (platform 3, Unicode BMP) full-name record."""
    return 3, 1, language, text.encode("utf-16-be")


def name(records):
    """A name table of full names (name ID 4), the strings after the records."""
    head = struct.pack(">3H", 0, len(records), 6 + 12 * len(records))
    storage = b""
    for platform, encoding, language, text in records:
        head += struct.pack(">6H", platform, encoding, language, 4, len(text), len(storage))
        storage += text
    return head + storage


def cmap(runs):
    """A character map of one (3,10) format 12 subtable that maps each
    (first, last) run of code points."""
    groups = b"".join(struct.pack(">3I", first, last, 1) for first, last in runs)
    subtable = struct.pack(">2H3I", 12, 0, 16 + len(groups), 0, len(runs)) + groups
    return struct.pack(">4HI", 0, 1, 3, 10, 12) + subtable


def face(mac=None, windows=None, ranges=LATIN, runs=PRINTABLE_ASCII, version=TRUETYPE):
    """The tables of one font: OS/2, a character map of `runs` and the full
    names given (no name table without one), with its sfnt version."""
    records = ([mac_name(mac)] if mac is not None else []) + ([windows_name(windows)] if windows else [])
    tables = [("OS/2", os2(ranges)), ("cmap", cmap(runs))]
    if records:
        tables.append(("name", name(records)))
    return tables, version


def font(tables, base=0, version=TRUETYPE):
    """A table directory and its tables in the order given; table offsets
    count from the start of the file, the directory being at `base`."""
    out = struct.pack(">I4H", version, len(tables), 0, 0, 0)
    at = base + 12 + 16 * len(tables)
    for tag, data in tables:
        out += tag.encode("ascii") + struct.pack(">3I", 0, at, len(data))
        at += len(data)
    return out + b"".join(data for _, data in tables)


def single(*args, **kwargs):
    """A single-font file of face(*args, **kwargs)."""
    tables, version = face(*args, **kwargs)
    return font(tables, version=version)


def collection(faces):
    """A collection file of faces as face() gives them."""
    at = 12 + 4 * len(faces)
    offsets, bodies = [], []
    for tables, version in faces:
        offsets.append(at)
        bodies.append(font(tables, base=at, version=version))
        at += len(bodies[-1])
    head = b"ttcf" + struct.pack(">2I", 0x00010000, len(faces)) + struct.pack(f">{len(faces)}I", *offsets)
    return head + b"".join(bodies)
