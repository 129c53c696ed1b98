"""meldrove-query.exe --user-fonts under Wine reads the fonts a user installed
for themselves, as Windows keeps them: files registered under
HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts by absolute path,
and the folder %LOCALAPPDATA%\\Microsoft\\Windows\\Fonts. It runs in a Wine
prefix of its own and takes back what it registered.

  user_fonts.py --exe TOOL.EXE --work DIR --prefix WINEPREFIX
"""

import argparse
import getpass
import shutil
import sys
from pathlib import Path

import harness
import sfnt

FONTS_KEY = r"HKCU\Software\Microsoft\Windows NT\CurrentVersion\Fonts"
VALUE = "Meldrove Test Registered (TrueType)"


def remove(path):
    if path.is_dir() and not path.is_symlink():
        shutil.rmtree(path)
    else:
        path.unlink(missing_ok=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--prefix", required=True)
    options = parser.parse_args()
    harness.require(options.exe, "meldrove-query.exe", "build it: cmake --build --preset mingw")
    prefix = Path(options.prefix).resolve()
    harness.prepare(prefix)
    user = getpass.getuser()
    profile = prefix / "drive_c" / "users" / user
    if not profile.is_dir():
        sys.exit(f"FAIL: the Wine prefix has no profile for the user {user}: {profile}")
    local_fonts = profile / "AppData" / "Local" / "Microsoft" / "Windows" / "Fonts"
    local_fonts_shown = rf"C:\users\{user}\AppData\Local\Microsoft\Windows\Fonts"

    work = Path(options.work).resolve()
    shutil.rmtree(work, ignore_errors=True)
    folder, elsewhere = work / "folder", work / "registered"
    folder.mkdir(parents=True)
    elsewhere.mkdir()
    (folder / "folder.ttf").write_bytes(sfnt.single("Folder Font"))
    registered = elsewhere / "registered.ttf"  # in no fonts folder: found only through the registry
    registered.write_bytes(sfnt.single("Registered Font"))
    mine = local_fonts / "mine.ttf"

    def query(*args):
        return harness.wine(options.exe, ["--fonts-dir", harness.windows_path(folder), *args], prefix)

    def reg(*args):
        result = harness.run([harness.WINE_RUN, "reg", *args], harness.wine_environment(prefix))
        if result.code != 0:
            sys.exit(f"FAIL: wine reg {' '.join(args)} ended with {result.code}: {result.err!r}")

    folder_line = f"Folder Font   ({harness.windows_path(folder)}\\folder.ttf)"
    registered_line = f"Registered Font   ({harness.windows_path(registered)})"
    checks = harness.Checks()

    def check_lines(result, expected, what):
        checks.check(result.code == 0, f"{what}: exit code {result.code}: {result.err!r}")
        out = result.out.decode(errors="replace")
        checks.check(out.split("\n") == [*expected, ""], f"{what}: standard output is\n{out}  not\n" +
                     "\n".join(expected))

    remove(local_fonts)  # what a run cut short left: the prefix is the test's own
    local_fonts.mkdir(parents=True)
    mine.write_bytes(sfnt.single("Per-user Folder Font"))
    reg("add", FONTS_KEY, "/v", VALUE, "/t", "REG_SZ", "/d", harness.windows_path(registered), "/f")
    try:
        check_lines(query("--user-fonts"),
                    [folder_line, rf"Per-user Folder Font   ({local_fonts_shown}\{mine.name})", registered_line],
                    "--user-fonts")
        check_lines(query(), ["Folder Font   (folder.ttf)"], "without --user-fonts")
        # With no folder named, every font the user has: the fonts folder of
        # the Windows directory, the per-user folder and what is registered.
        everything = harness.wine(options.exe, [], prefix)
        checks.check(everything.code == 0, f"the defaults: exit code {everything.code}: {everything.err!r}")
        listed = everything.out.decode(errors="replace").split("\n")
        for expected in (rf"Per-user Folder Font   ({local_fonts_shown}\{mine.name})", registered_line):
            checks.check(expected in listed, f"the defaults do not list {expected!r}: {listed[:20]}")
        checks.check(any("\\windows\\fonts\\" in line.lower() for line in listed),
                     f"the defaults do not list the fonts folder of the Windows directory: {listed[:20]}")

        # A per-user folder that cannot be read, even by root: a file in its
        # place. The registered file is still read.
        remove(local_fonts)
        local_fonts.write_bytes(b"")
        unreadable = query("--user-fonts")
        check_lines(unreadable, [folder_line, registered_line], "an unreadable per-user folder")
        note = f"meldrove-query: note: cannot read the per-user fonts folder '{local_fonts_shown}'"
        checks.check(note.encode() in unreadable.err,
                     f"an unreadable per-user folder: standard error lacks {note!r}: {unreadable.err!r}")
    finally:
        remove(local_fonts)
        reg("delete", FONTS_KEY, "/v", VALUE, "/f")

    # What was registered is gone: the folder alone again, named by file name.
    check_lines(query("--user-fonts"), ["Folder Font   (folder.ttf)"], "--user-fonts once the test's fonts are gone")
    return checks.finish("per-user fonts: registered and in the per-user folder, read only with --user-fonts")


if __name__ == "__main__":
    sys.exit(main())
