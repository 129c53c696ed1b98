"""The crafted files of the hardening issue, for make bench: collections
whose member offsets all name one table directory, a sparse collection that
declares 0xFFFFFFFF members, and one whose shared directory has a large
format 12 character map. Each is timed and measured (peak resident memory)
through meldrove-query --all-members --coverage Cyrillic, alone in a folder,
beside a real font of about the same size, alone in its folder."""
import os
import shutil
import statistics
import struct
import subprocess
import time
from pathlib import Path

CRAFTED_OPTIONS = ["--all-members", "--coverage", "Cyrillic"]


def table_directory(tables, base):
    """A table directory at `base` followed by its tables: (tag, bytes) pairs."""
    header = struct.pack(">IHHHH", 0x00010000, len(tables), 0, 0, 0)
    offset = base + 12 + 16 * len(tables)
    records, data = b"", b""
    for tag, table in tables:
        records += struct.pack(">4sIII", tag, 0, offset + len(data), len(table))
        data += table + b"\0" * (-len(table) % 4)
    return header + records + data


def os2_table():
    table = bytearray(86)
    struct.pack_into(">H", table, 0, 1)
    struct.pack_into(">IIII", table, 42, 0x200, 0, 0, 0)  # bit 9: Cyrillic
    return bytes(table)


def name_table(full_name):
    text = full_name.encode("ascii")
    return struct.pack(">HHH", 0, 1, 6 + 12) + struct.pack(">HHHHHH", 1, 0, 0, 4, len(text), 0) + text


def cmap_format12(groups):
    body = b"".join(struct.pack(">III", first, last, glyph) for first, last, glyph in groups)
    subtable = struct.pack(">HHIII", 12, 0, 16 + len(body), 0, len(groups)) + body
    return struct.pack(">HH", 0, 1) + struct.pack(">HHI", 3, 10, 12) + subtable


def shared_directory_collection(members, cmap_groups=None):
    directory_at = 12 + 4 * members
    tables = [(b"OS/2", os2_table()), (b"name", name_table("Shared"))]
    if cmap_groups:
        tables.append((b"cmap", cmap_format12(cmap_groups)))
    return (struct.pack(">4sII", b"ttcf", 0x00020000, members) + struct.pack(">I", directory_at) * members +
            table_directory(tables, directory_at))


def sparse_collection(size):
    return struct.pack(">4sII", b"ttcf", 0, 0xFFFFFFFF) + b"\0" * (size - 12)


def crafted_files():
    """Name and bytes of each crafted file."""
    groups = [(0x400 + 2 * g, 0x400 + 2 * g, 1 + g) for g in range(20000)]
    return [
        ("80000-members-one-directory.ttc", shared_directory_collection(80000)),
        ("160000-members-one-directory.ttc", shared_directory_collection(160000)),
        ("sparse-1MB-numFonts-FFFFFFFF.ttc", sparse_collection(1 << 20)),
        ("12000-members-cmap-20000-groups.ttc", shared_directory_collection(12000, groups)),
    ]


def run_measured(command):
    """Wall time and peak resident memory (KiB) of one run."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    # 1 is an answer too: nothing listed, as a file of zeros declares no bit.
    if os.waitstatus_to_exitcode(status) not in (0, 1):
        raise RuntimeError(f"{command} ended with {os.waitstatus_to_exitcode(status)}")
    return elapsed, usage.ru_maxrss


def measure(query, folder, reps):
    runs = [run_measured([str(query), "--fonts-dir", str(folder)] + CRAFTED_OPTIONS) for _ in range(reps)]
    return statistics.median(t for t, _ in runs), max(m for _, m in runs)


def catalog_seconds(bench, folder, reps):
    """The median time of the catalog alone (every member, every character
    map) in meldrove-bench, without the tool's lines and output."""
    out = subprocess.run([str(bench), "--fonts-dir", str(folder), "--only", "catalog", "--reps", str(reps)],
                         check=True, capture_output=True, text=True).stdout
    return statistics.median(float(line.split()[2]) for line in out.splitlines() if line.startswith("time "))


def nearest_real_font(fonts, size):
    return min(fonts, key=lambda path: abs(path.stat().st_size - size))


def run(query, bench, work, real_fonts, out, reps=5):
    """Writes the crafted files under `work`, measures each beside its real
    peer and writes the table and the goal's verdict through `out`."""
    out.line("\nCrafted files (meldrove-query " + " ".join(CRAFTED_OPTIONS) +
             ", each file alone in its folder, whole process; median of " + f"{reps} runs, peak memory the largest):")
    out.line("")
    out.line("| file | size | time | memory | real font of about that size | its time | its memory | "
             "time ÷ real | memory ÷ real | the catalog alone: crafted, real |")
    out.line("|---|---:|---:|---:|---|---:|---:|---:|---:|---:|")
    met = True
    for name, data in crafted_files():
        folder = work / name.rsplit(".", 1)[0]
        folder.mkdir(parents=True, exist_ok=True)
        (folder / name).write_bytes(data)
        real = nearest_real_font(real_fonts, len(data))
        real_folder = work / ("real-" + name.rsplit(".", 1)[0])
        real_folder.mkdir(parents=True, exist_ok=True)
        for old in real_folder.iterdir():
            old.unlink()
        shutil.copyfile(real, real_folder / real.name)
        seconds, memory = measure(query, folder, reps)
        real_seconds, real_memory = measure(query, real_folder, reps)
        time_ratio, memory_ratio = seconds / real_seconds, memory / real_memory
        alone, real_alone = catalog_seconds(bench, folder, reps), catalog_seconds(bench, real_folder, reps)
        met = met and time_ratio <= 2 and memory_ratio <= 2
        out.line(f"| {name} | {len(data) / 1024:,.0f} KiB | {seconds * 1000:,.1f} ms | {memory / 1024:,.1f} MiB | "
                 f"{real.name} ({real.stat().st_size / 1024:,.0f} KiB) | {real_seconds * 1000:,.1f} ms | "
                 f"{real_memory / 1024:,.1f} MiB | {time_ratio:.2f} | {memory_ratio:.2f} | "
                 f"{alone * 1000:,.2f} ms, {real_alone * 1000:,.2f} ms |")
    out.line(f"- no crafted file costs more than twice a real font of its size, in time and memory: "
             f"{'met' if met else 'MISSED'}")
    return met
