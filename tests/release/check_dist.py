"""Checks what make dist wrote, as a user and the package managers take it:
the zip's entries and their bytes, times and permissions, the executables in
it (a fixed PE time stamp, their version resources, meldrove-query.exe's
--version under Wine), SHA256SUMS, and the Scoop and winget manifests, which
must parse and name the zip by the URL and hash it has.

  check_dist.py --build DIR --dist DIR --release-url URL
"""

import argparse
import hashlib
import json
import re
import struct
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

import yaml

SOURCE = Path(__file__).resolve().parents[2]
WINE_RUN = SOURCE / "scripts" / "wine-run"
WINDRES = "x86_64-w64-mingw32-windres"

PROGRAMS = {"meldrove.exe": "meldrove", "meldrove-query.exe": "meldrove-query"}
DOCUMENTS = {"README.txt": "release/README.txt", "LICENSE": "LICENSE",
             "THIRD-PARTY-NOTICES.md": "THIRD-PARTY-NOTICES.md"}
BUILT = {"meldrove.exe": "app/meldrove.exe", "meldrove-query.exe": "tools/meldrove-query.exe"}
WINDOWS_GUI, WINDOWS_CONSOLE = 2, 3
SUBSYSTEMS = {"meldrove.exe": WINDOWS_GUI, "meldrove-query.exe": WINDOWS_CONSOLE}
AMD64 = 0x8664

# From the winget manifest schemas 1.6.0: the fields each kind requires.
REQUIRED = {
    "version": {"PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType", "ManifestVersion"},
    "installer": {"PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"},
    "defaultLocale": {"PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName",
                      "License", "ShortDescription", "ManifestType", "ManifestVersion"},
}
PACKAGE_IDENTIFIER = re.compile(r"^[^.\s\\/:*?\"<>|\x01-\x1f]{1,32}(\.[^.\s\\/:*?\"<>|\x01-\x1f]{1,32}){1,7}$")

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def pe_header(data):
    """The machine, time stamp and subsystem of a PE image, or None."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        return None
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if pe > len(data) - 24 - 70 or data[pe:pe + 4] != b"PE\0\0":
        return None
    machine, _, timestamp = struct.unpack_from("<HHI", data, pe + 4)
    (subsystem,) = struct.unpack_from("<H", data, pe + 24 + 68)  # in the optional header
    return machine, timestamp, subsystem


def version_strings(exe):
    """The VERSIONINFO strings of an executable, as windres reads them back."""
    with tempfile.TemporaryDirectory() as work:
        path = Path(work) / "program.exe"
        path.write_bytes(exe)
        script = subprocess.run([WINDRES, "-i", str(path), "-O", "rc"], capture_output=True, text=True,
                                check=True).stdout
    return dict(re.findall(r'VALUE "(\w+)", "([^"]*)"', script))


def check_zip(zip_path, build, epoch, version):
    with zipfile.ZipFile(zip_path) as archive:
        entries = archive.infolist()
        names = [e.filename for e in entries]
        check(names == sorted(PROGRAMS.keys() | DOCUMENTS.keys()), f"zip entries, sorted: {names}")
        check(archive.testzip() is None, "an entry of the zip fails its CRC")
        # A zip keeps times in steps of two seconds.
        committed = time.gmtime(epoch - epoch % 2)[:6]
        for entry in entries:
            name = entry.filename
            check(entry.date_time == committed, f"{name}: time {entry.date_time}, not the commit's {committed}")
            check(entry.external_attr >> 16 == 0o100644 and entry.create_system == 3,
                  f"{name}: mode {entry.external_attr >> 16:o} from system {entry.create_system}")
            check(entry.compress_type == zipfile.ZIP_DEFLATED, f"{name}: not deflated")
        contents = {name: archive.read(name) for name in names}
    for name, source in DOCUMENTS.items():
        check(contents.get(name) == (SOURCE / source).read_bytes(), f"{name} is not {source}")
    for name, built in BUILT.items():
        exe = contents.get(name, b"")
        check(exe == (build / built).read_bytes(), f"{name} is not the build's {built}")
        header = pe_header(exe)
        if not check(header, f"{name} is not a PE image"):
            continue
        machine, timestamp, subsystem = header
        check(machine == AMD64, f"{name}: machine {machine:#x}, not x64")
        check(timestamp == 0, f"{name}: PE time stamp {timestamp}, not the fixed 0")
        check(subsystem == SUBSYSTEMS[name], f"{name}: subsystem {subsystem}")
        strings = version_strings(exe)
        for key, expected in (("FileVersion", version), ("ProductVersion", version), ("OriginalFilename", name),
                              ("ProductName", "Meldrove")):
            check(strings.get(key) == expected, f"{name}: VERSIONINFO {key} {strings.get(key)!r}")
    return contents


def check_version_under_wine(exe, version):
    """The zipped meldrove-query.exe, run as a user runs it."""
    with tempfile.TemporaryDirectory() as work:
        path = Path(work) / "meldrove-query.exe"
        path.write_bytes(exe)
        run = subprocess.run([str(WINE_RUN), str(path), "--version"], capture_output=True, timeout=120)
    first = run.stdout.split(b"\r\n")[0].split(b"\n")[0]
    check(run.returncode == 0 and first == f"meldrove-query {version}".encode(),
          f"meldrove-query.exe --version: exit {run.returncode}, first line {first!r}")


def check_scoop(manifest, version, url, digest, programs):
    check(manifest.get("version") == version, f"scoop version {manifest.get('version')!r}")
    check(manifest.get("license") == "MIT", "scoop license")
    check(manifest.get("url") == url, f"scoop url {manifest.get('url')!r}, not {url}")
    check(manifest.get("hash") == digest, "scoop hash is not the zip's")
    check(sorted(manifest.get("bin", [])) == sorted(PROGRAMS), f"scoop bin {manifest.get('bin')}")
    check(set(manifest.get("bin", [])) <= programs, "scoop bin names a file the zip lacks")
    for field in ("description", "homepage"):
        check(isinstance(manifest.get(field), str) and manifest[field], f"scoop {field}")


def check_winget(folder, version, url, digest, programs):
    manifests = {}
    for path in sorted(folder.glob("*.yaml")):
        document = yaml.safe_load(path.read_text())
        kind = document.get("ManifestType")
        check(kind not in manifests, f"two {kind} manifests")
        manifests[kind] = document
        check(path.name.startswith(str(document.get("PackageIdentifier")) + "."), f"{path.name}: its identifier")
    check(manifests.keys() == REQUIRED.keys(), f"winget manifests: {sorted(manifests)}")
    for kind, document in manifests.items():
        missing = REQUIRED[kind] - document.keys()
        check(not missing, f"winget {kind}: missing {sorted(missing)}")
        check(document.get("ManifestVersion") == "1.6.0", f"winget {kind}: ManifestVersion")
        packaged = document.get("PackageVersion")
        check(packaged == version, f"winget {kind}: PackageVersion {packaged!r}")
        identifier = document.get("PackageIdentifier")
        check(isinstance(identifier, str) and PACKAGE_IDENTIFIER.match(identifier), f"winget {kind}: identifier")
    if manifests.keys() != REQUIRED.keys():
        return
    check(len({m["PackageIdentifier"] for m in manifests.values()}) == 1, "winget: identifiers differ")
    check(manifests["version"]["DefaultLocale"] == manifests["defaultLocale"]["PackageLocale"], "winget: locales")
    check(manifests["defaultLocale"]["License"] == "MIT", "winget: License")
    installer = manifests["installer"]
    check(installer.get("InstallerType") == "zip", "winget: InstallerType")
    check(installer.get("NestedInstallerType") == "portable", "winget: NestedInstallerType")
    files = installer.get("NestedInstallerFiles", [])
    nested = {f.get("RelativeFilePath"): f.get("PortableCommandAlias") for f in files}
    check(nested == PROGRAMS, f"winget: NestedInstallerFiles {nested}")
    check(set(nested) <= programs, "winget: a nested file the zip lacks")
    installers = installer["Installers"]
    check(len(installers) == 1 and installers[0].get("Architecture") == "x64", "winget: one x64 installer")
    check(installers[0].get("InstallerUrl") == url, f"winget: InstallerUrl {installers[0].get('InstallerUrl')!r}")
    sha = str(installers[0].get("InstallerSha256"))
    check(re.fullmatch(r"[A-F0-9]{64}", sha) and sha.lower() == digest, "winget: InstallerSha256 is not the zip's")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", type=Path, required=True)
    parser.add_argument("--dist", type=Path, required=True)
    parser.add_argument("--release-url", required=True)
    parser.add_argument("--epoch", type=int, required=True)
    args = parser.parse_args()

    version = (args.build / "version.txt").read_text().strip()
    zip_name = f"meldrove-{version}-windows-x64.zip"
    zip_path = args.dist / zip_name
    expected = {zip_name, "SHA256SUMS", "scoop/meldrove.json", "winget/Meldrove.Meldrove.yaml",
                "winget/Meldrove.Meldrove.installer.yaml", "winget/Meldrove.Meldrove.locale.en-US.yaml"}
    found = {str(p.relative_to(args.dist)) for p in args.dist.rglob("*") if p.is_file()}
    if not check(found == expected, f"dist holds {sorted(found)}"):
        return report()

    digest = hashlib.sha256(zip_path.read_bytes()).hexdigest()
    url = args.release_url.replace("{version}", version).rstrip("/") + "/" + zip_name
    check((args.dist / "SHA256SUMS").read_text() == f"{digest}  {zip_name}\n", "SHA256SUMS is not the zip's hash")
    contents = check_zip(zip_path, args.build, args.epoch, version)
    check_version_under_wine(contents.get("meldrove-query.exe", b""), version)
    programs = set(contents)
    check_scoop(json.loads((args.dist / "scoop" / "meldrove.json").read_text()), version, url, digest, programs)
    check_winget(args.dist / "winget", version, url, digest, programs)
    return report()


def report():
    for failure in failures:
        print(f"FAIL: {failure}")
    print(f"check_dist: {'failed' if failures else 'passed'}, {len(failures)} problems")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
