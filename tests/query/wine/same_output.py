"""meldrove-query.exe under Wine prints what the native tool prints: the same
bytes on standard output and the same exit code for every option, over this
machine's fonts and a few crafted ones. Full paths are the one allowed
difference, Z:\\x\\y under Wine for /x/y natively, and only the paths of the
folders the test made are mapped back.

  same_output.py --native TOOL --exe TOOL.EXE --work DIR
"""

import argparse
import shutil
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path
from typing import NamedTuple

import harness
import sfnt

CYRILLIC, GREEK = 1 << 9, 1 << 7
ARMENIAN_BLOCK = (0x0530, 0x058F)


class Case(NamedTuple):
    args: list  # folders as paths, named natively or under Wine as each run takes them
    holds: list  # what the native standard output holds, lest equal outputs say nothing
    code: int = 0
    error: bytes = b""  # with an exit code of 2 or more: on standard error, and nothing on standard output


def without(runs, gone):
    """`runs` of code points without the single code points in `gone`."""
    out = []
    for first, last in runs:
        for cp in sorted(g for g in gone if first <= g <= last):
            if first < cp:
                out.append((first, cp - 1))
            first = cp + 1
        if first <= last:
            out.append((first, last))
    return out


def write(folder, name, data):
    (folder / name).write_bytes(data)


def crafted_fonts(folder):
    """What real fonts do not show: names a terminal would act on, lines the
    list box finds alike, collections of more than 10 members, OpenType
    files, coverage just short of a block, misdeclared bits, a damaged
    character map and a name outside ASCII."""
    write(folder, "crafted-escapes.ttf", sfnt.single(b"Evil\nFake Font   (x.ttf)"))
    write(folder, "crafted-terminal.ttf", sfnt.single(b"Red \x1b[31m\\ back"))
    # Alike to the list box but for case, hyphens and apostrophes: each is
    # placed where its search puts it, in the order the members are read.
    twins = ["Twin Member", "TWIN MEMBER", "Twin-Member", "twin member", "Twin's Member", "Twin Member 10",
             "Twin Member 9", "Twin Member+"]
    write(folder, "crafted-twins.ttc", sfnt.collection([sfnt.face(n) for n in twins]))
    write(folder, "crafted-twelve.ttc", sfnt.collection([sfnt.face(f"Member {100 + i}") for i in range(12)]))
    write(folder, "crafted-cff.otc", sfnt.collection([sfnt.face(n, version=sfnt.CFF) for n in ("Cff A", "Cff B")]))
    write(folder, "crafted-open.otf", sfnt.single("Open Type", version=sfnt.CFF))
    latin_and_cyrillic = ((0x20, 0x7E), (0x0400, 0x04FF))
    write(folder, "crafted-near.ttf", sfnt.single("Near Cyrillic", ranges=(1 | CYRILLIC, 0, 0, 0),
                                                  runs=without(latin_and_cyrillic, {0x0450, 0x0451, 0x0452})))
    # Declares Greek and maps two of its letters; maps Armenian, undeclared.
    write(folder, "crafted-misdeclared.ttf", sfnt.single("Misdeclared", ranges=(1 | GREEK, 0, 0, 0),
                                                         runs=((0x20, 0x7E), (0x0391, 0x0392), ARMENIAN_BLOCK)))
    write(folder, "crafted-chars.ttf", sfnt.single("Chars Only", ranges=(0, 0, 0, 0),
                                                   runs=((0x0416, 0x0416), (0x0439, 0x0439), (0x20AC, 0x20AC),
                                                         (0x4E2D, 0x4E2D))))
    # A Windows name outside ASCII, printed in UTF-8 by --names windows.
    write(folder, "crafted-windows.ttf", sfnt.single(windows="Wide \u03a9 Name \u4e2d"))
    # A character map that promises an encoding record and ends.
    write(folder, "crafted-broken-map.ttf", sfnt.font([("OS/2", sfnt.os2((1 | CYRILLIC, 0, 0, 0))),
                                                       ("cmap", b"\0\0\0\1"),
                                                       ("name", sfnt.name([sfnt.mac_name("Broken Map")]))]))


def utf8_fonts(folder):
    """A file name outside ASCII: the default answer prints file names in the
    ANSI code page on Windows, so only the UTF-8 modes meet it."""
    write(folder, "caf\u00e9.ttf", sfnt.single(b"Caf\x8e Mac", windows="Caf\u00e9 Wide",
                                               ranges=(1 | CYRILLIC, 0, 0, 0)))


def latin1_folder_font(folder):
    """A font in a folder named outside ASCII but inside the ANSI code page
    (1252 under Wine): the command line comes in UTF-16, the engine opens the
    folder by its ANSI spelling, and a JSON "dir" shows it in UTF-8."""
    write(folder, "inside.ttf", sfnt.single("Inside"))


def cut_off_font(folder):
    """A table directory cut off before its name table: exit code 255."""
    whole = sfnt.font([("cmap", b"\1\2\3\4"), ("head", b"\1\2\3\4"), ("name", sfnt.name([sfnt.mac_name("Cut")]))])
    write(folder, "cut.ttf", whole[:12 + 16 * 2 + 8])


def normalised(out, folders):
    """Wine's output with the full paths of `folders` written as natively,
    and nothing else: a JSON "dir", and a folder with the separator before
    its file name, as a line shows it, or with each backslash doubled, as a
    line with a control byte shows it."""
    for folder in folders:
        windows, unix = harness.windows_path(folder).encode(), str(folder).encode()
        doubled = windows.replace(b"\\", b"\\\\")
        out = out.replace(b'"' + doubled + b'"', b'"' + unix + b'"')
        out = out.replace(doubled + b"\\\\", unix + b"/")
        out = out.replace(windows + b"\\", unix + b"/")
    return out


def first_difference(a, b):
    a_lines, b_lines = a.split(b"\n"), b.split(b"\n")
    for number, (x, y) in enumerate(zip(a_lines, b_lines), 1):
        if x != y:
            return f"line {number}:\n    native {x!r}\n    wine   {y!r}"
    return f"{len(a_lines)} lines natively, {len(b_lines)} under Wine"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--native", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--prefix", default=str(harness.SOURCE / "build" / "wine-prefix"))
    options = parser.parse_args()
    harness.require(options.native, "the native meldrove-query",
                    "build it first: cmake --preset asan && cmake --build --preset asan (make test does)")
    harness.require(options.exe, "meldrove-query.exe", "build it: cmake --build --preset mingw")
    harness.prepare(options.prefix)

    work = Path(options.work).resolve()
    shutil.rmtree(work, ignore_errors=True)
    fonts, utf8, cut, latin1 = work / "fonts", work / "utf8", work / "cut", work / "M\u00fcller"
    subprocess.run([str(harness.LINK_FONTS), str(fonts)], check=True)
    if not (fonts / "DejaVuSans.ttf").exists():
        sys.exit(f"FAIL: no DejaVuSans.ttf among this machine's fonts in {fonts}: scripts/install-deps installs it")
    crafted_fonts(fonts)
    for folder, fill in ((utf8, utf8_fonts), (cut, cut_off_font), (latin1, latin1_folder_font)):
        folder.mkdir()
        fill(folder)

    cases = [
        Case(["--fonts-dir", fonts], [b"DejaVu Sans   (DejaVuSans.ttf)\n", b"Evil\\x0AFake Font   (x.ttf)",
                                      b"Red \\x1B[31m\\\\ back", b"TWIN MEMBER  (crafted-twins.ttc)"]),
        Case(["--fonts-dir", fonts, "cyrillic", "Basic Latin"], [b"DejaVu Sans   (DejaVuSans.ttf)\n",
                                                                 b"Near Cyrillic"]),
        Case(["--fonts-dir", fonts, "--coverage", "--chars", "\u0416\u0439\u4e2d\u20ac"],
             [b"Chars Only   (crafted-chars.ttf)\tcode points 4/4\n"]),
        Case(["--fonts-dir", fonts, "--coverage", "Cyrillic", "Greek"],
             [b"DejaVu Sans   (DejaVuSans.ttf)\tCyrillic ", b" declared\tGreek "]),
        Case(["--fonts-dir", fonts, "--coverage", "Cyrillic"],
             [b"Broken Map   (crafted-broken-map.ttf)\tCyrillic 0/256 declared\tshaping: missing cyrl:mark"
              b"\tdamaged character map\n"]),
        Case(["--fonts-dir", fonts, "--layout"], [b"DejaVu Sans   (DejaVuSans.ttf)\tGSUB DFLT: ", b"\tGPOS "]),
        Case(["--fonts-dir", fonts, "--shaping", "--coverage", "--chars", "\u0628\u0633\u0645"],
             [b"DejaVu Sans   (DejaVuSans.ttf)\tcode points 3/3\tshaping: declared\n"]),
        Case(["--fonts-dir", fonts, "--cover", "--chars", "\u0416\u0439\u4e2d\u20ac"], [b"\tadds ", b"\tnot covered: "]),
        Case(["--fonts-dir", fonts, "--match", "covered", "--min", "90", "Cyrillic"], [b"Near Cyrillic"]),
        Case(["--fonts-dir", fonts, "--match", "both", "--near", "5", "Cyrillic"],
             [b"Near Cyrillic   (crafted-near.ttf)\tnear: 3 missing\n"]),
        Case(["--fonts-dir", fonts, "--missing=3", "--codepoints", "U+0041,U+0400-U+040F", "Cyrillic"],
             [b"\tCyrillic: 3 missing: U+0450-U+0452\n", b"\tcode points: none missing\n"]),
        Case(["--fonts-dir", fonts, "--audit"],
             [b"Misdeclared   (crafted-misdeclared.ttf)\tsparse\t7\tGreek\t",
              b"Misdeclared   (crafted-misdeclared.ttf)\tundeclared\t10\tArmenian\t"], code=1),
        Case(["--fonts-dir", fonts, "--codepoints", "U+10FFFF"], [], code=1),  # a noncharacter: never mapped
        Case(["--fonts-dir", fonts, "--names", "windows"],
             ["Wide \u03a9 Name \u4e2d   (crafted-windows.ttf)\n".encode()]),
        Case(["--fonts-dir", utf8, "--fonts-dir", fonts, "--names", "best"],
             [f"Caf\u00e9 Wide   ({utf8}/caf\u00e9.ttf)\n".encode(),
              f"Evil\\x0AFake Font   (x.ttf)   ({fonts}/crafted-escapes.ttf)\n".encode()]),
        Case(["--fonts-dir", fonts, "--fonts-dir", utf8, "--json"],
             [f'"file":"caf\u00e9.ttf","dir":"{utf8}"'.encode(), b'"mac_name":"Caf\xc3\xa9 Mac"']),
        Case(["--fonts-dir", fonts, "--json", "--match", "covered", "--near", "5", "--missing=2", "Cyrillic"],
             [b'"near":true', b'"missing":[1104,1105]']),
        Case(["--fonts-dir", latin1], [b"Inside   (inside.ttf)\n"]),
        Case(["--fonts-dir", latin1, "--json"], [f'"file":"inside.ttf","dir":"{latin1}"'.encode()]),
        Case(["--fonts-dir", fonts, "--all-members", "--formats", "ttf,ttc,otf,otc"],
             [b"Member 111  (crafted-twelve.ttc)", b"Cff B  (crafted-cff.otc)", b"Open Type   (crafted-open.otf)"]),
        Case(["--blocks", "--all", "--json"], [b'{"name":"Phags-pa","bit":53,"block_list":false']),
        Case(["--version"], [b"meldrove-query ", b"\nUnicode 17.0.0 "]),
        Case(["--fonts-dir", fonts, "Klingon"], [], code=2, error=b"unknown block 'Klingon'"),
        # No ANSI spelling under Wine, and no such folder natively.
        Case(["--fonts-dir", work / "missing \U0001f600"], [], code=2, error=b"cannot read fonts folder '"),
        Case(["--program", "--fonts-dir", cut], [], code=255, error=b"Read failed on table #2"),
        Case(["--fonts-dir", cut], [], code=1),  # the cut font is left out with a note
    ]
    checks = harness.Checks()
    started = time.monotonic()
    # The native runs go on beside the Wine ones, which take the longer.
    with ThreadPoolExecutor(max_workers=1) as pool:
        natives = [pool.submit(harness.native, options.native, [str(a) for a in case.args]) for case in cases]
        for case, pending in zip(cases, natives):
            theirs = harness.wine(options.exe, [harness.windows_path(a) if isinstance(a, Path) else a
                                                for a in case.args], options.prefix)
            compare(case, pending.result(), theirs, checks)
    return checks.finish(f"{len(cases)} runs, the same under Wine as natively ({time.monotonic() - started:.1f} s)")


def compare(case, mine, theirs, checks):
    shown = " ".join(str(a) for a in case.args)
    out = normalised(theirs.out, [a for a in case.args if isinstance(a, Path)])
    for side, result in (("natively", mine), ("under Wine", theirs)):
        checks.check(result.code == case.code,
                     f"{shown}: exit code {result.code} {side}, not {case.code}: {result.err[-500:]!r}")
        if case.code >= 2:
            checks.check(result.out == b"", f"{shown}: standard output {side} is {result.out[:200]!r}")
            checks.check(case.error in result.err, f"{shown}: standard error {side} lacks {case.error!r}: "
                                                   f"{result.err[-500:]!r}")
    for text in case.holds:
        checks.check(text in mine.out, f"{shown}: the native output lacks {text!r}, so the comparison means little")
    checks.check(out == mine.out, f"{shown}: output differs at {first_difference(mine.out, out)}")


if __name__ == "__main__":
    sys.exit(main())
