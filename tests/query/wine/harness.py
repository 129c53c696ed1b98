"""Running meldrove-query natively and its Windows build under Wine, for the
tests that hold the two to the same answers."""

import os
import subprocess
import sys
import tempfile
from pathlib import Path
from typing import NamedTuple

SOURCE = Path(__file__).resolve().parents[3]
WINE_RUN = SOURCE / "scripts" / "wine-run"
LINK_FONTS = SOURCE / "scripts" / "link-fonts"

# Wine makes the Windows command line from argv in the charset of the Unix
# locale, and takes its user locale (the word sort of the result list) from
# it too: both are pinned, whatever the shell that runs the tests uses.
LOCALE = "C.UTF-8"


class Result(NamedTuple):
    code: int
    out: bytes
    err: bytes


def windows_path(path):
    """`path` as a program under Wine names it: every prefix that wineboot
    makes maps the drive Z: to the Unix root (prepare() checks it)."""
    return "Z:" + str(path).replace("/", "\\")


def require(path, what, how):
    if not Path(path).is_file():
        sys.exit(f"FAIL: {what} is missing: {path}\n  {how}")


def prepare(prefix):
    """Sets the Wine prefix up (once; wine-run locks it) and checks that Z:
    is the Unix root, which every Windows path of these tests relies on."""
    subprocess.run([str(WINE_RUN), "--prepare"], env=wine_environment(prefix), check=True)
    z = Path(prefix) / "dosdevices" / "z:"
    if not z.is_symlink() or os.readlink(z) != "/":
        sys.exit(f"FAIL: drive Z: of the Wine prefix {prefix} is not the Unix root ({z})")


def run(command, environment):
    """`command`'s exit code and output, caught in files: a wineserver that
    a run starts inherits its standard output and error and keeps them open
    for seconds after the program ends, which pipes would wait for."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        code = subprocess.run([str(c) for c in command], env=environment, stdout=out, stderr=err,
                              timeout=120).returncode
        out.seek(0)
        err.seek(0)
        return Result(code, out.read(), err.read())


def native(tool, args):
    """The native tool, without the variables that would point it at a
    Windows or per-user fonts folder."""
    environment = {k: v for k, v in os.environ.items() if k not in ("WINDIR", "LOCALAPPDATA")}
    environment["LC_ALL"] = LOCALE
    return run([tool, *args], environment)


def wine(exe, args, prefix, debug="-all"):
    """A Windows program under Wine in `prefix`."""
    return run([WINE_RUN, exe, *args], wine_environment(prefix, debug))


def wine_environment(prefix, debug="-all"):
    return dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG=debug, LC_ALL=LOCALE)


class Checks:
    """Collects failures so that one run reports every one of them."""

    def __init__(self):
        self.failures = []

    def check(self, ok, message):
        if not ok:
            self.failures.append(message)
        return ok

    def finish(self, summary):
        for failure in self.failures:
            print("FAIL: " + failure)
        if self.failures:
            print(f"{len(self.failures)} failure(s)")
            return 1
        print(summary)
        return 0
