"""make bench: builds fonts folders of 1,000 and 10,000 real font files under
build/bench/, then times over each, side by side, the inventory build, the
two floors, the two peers (fc-scan and a fontTools script) and the matching,
prints the report and writes it into docs/performance.md, between the
markers of its native section."""
import argparse
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

import crafted
from report import Report

ROOT = Path(__file__).resolve().parent.parent
BENCH = ROOT / "build/native/bench/meldrove-bench"
QUERY = ROOT / "build/native/tools/meldrove-query"
FONTTOOLS_SCRIPT = ROOT / "bench/fonttools_read.py"
DEBIAN_PYTHON = "/usr/bin/python3"  # the interpreter python3-fonttools installs into
SOURCES = [Path("/usr/share/fonts")]
COLLECTIONS_PER_THOUSAND = 4  # so 40 of 10,000: the inventory keeps at most 50


def font_sources():
    """The real fonts the corpus links to: every *.ttf and *.ttc, by path."""
    found = sorted(p for s in SOURCES for p in s.rglob("*") if p.suffix.lower() in (".ttf", ".ttc") and p.is_file())
    return [p for p in found if p.suffix.lower() == ".ttf"], [p for p in found if p.suffix.lower() == ".ttc"]


def make_corpus(count, singles, collections, folder=None):
    """A folder (by default build/bench/corpus-COUNT) of `count` uniquely
    named copies, cycling through the real fonts. Copies, not hard links:
    the catalog that meldrove-query --coverage reads through reads a file
    reached twice once, and a hard link is the file it links."""
    folder = folder or ROOT / f"build/bench/corpus-{count}"
    wanted_collections = count * COLLECTIONS_PER_THOUSAND // 1000 if collections else 0
    plan = [collections[i % len(collections)] for i in range(wanted_collections)]
    plan += [singles[i % len(singles)] for i in range(count - wanted_collections)]
    names = [f"{i:05d}-{source.name}" for i, source in enumerate(plan)]
    if folder.is_dir() and sorted(os.listdir(folder)) == sorted(names) and \
            all((folder / name).stat().st_nlink == 1 for name in names):
        return folder, wanted_collections
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    for name, source in zip(names, plan):
        shutil.copyfile(source, folder / name)
    return folder, wanted_collections


def run_engine_bench(folder, reps):
    out = subprocess.run([str(BENCH), "--fonts-dir", str(folder), "--reps", str(reps)], check=True,
                         capture_output=True, text=True).stdout
    samples, found, lines = {}, {}, {}
    for line in out.splitlines():
        kind, name, *rest = line.split()
        if kind == "time":
            samples.setdefault(name, []).append(float(rest[0]))
        elif kind == "found":
            found[name] = tuple(int(x) for x in rest)
        elif kind == "lines":
            lines[name] = int(rest[0])
    return samples, found, lines


def syscalls_per_file(folder, files, measure):
    """System calls of one pass, per file: strace counts a run of 3 passes and
    one of 1, so that what the program does at start and end cancels out."""
    if not shutil.which("strace"):
        return None
    totals = []
    for reps in (1, 3):
        out = subprocess.run(["strace", "-f", "-c", "-o", "/dev/stdout", str(BENCH), "--fonts-dir", str(folder),
                              "--reps", str(reps), "--only", measure], check=True, capture_output=True, text=True)
        total = [line for line in out.stdout.splitlines() if line.rstrip().endswith("total")]
        totals.append(int(total[-1].split()[3]))
    return (totals[1] - totals[0]) / (2 * files)


def time_fc_scan(folder, reps):
    if not shutil.which("fc-scan"):
        return None
    samples = []
    for _ in range(reps):
        start = time.perf_counter()
        subprocess.run(["fc-scan", "--format", "%{family}\n", str(folder)], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        samples.append(time.perf_counter() - start)
    return samples


def time_query(folder, reps, *args):
    """meldrove-query over the folder, the whole process as a user runs it,
    as fc-scan is timed."""
    samples = []
    for _ in range(reps):
        start = time.perf_counter()
        subprocess.run([str(QUERY), "--fonts-dir", str(folder), *args], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        samples.append(time.perf_counter() - start)
    return samples


# The tool's answers timed beside each other: the default listing, every
# character map against a block, every layout table, every language.
QUERY_TIMERS = (
    ("default", ()),
    ("coverage", ("--coverage", "Cyrillic")),
    ("layout", ("--layout",)),
    ("languages", ("--languages",)),
)


def time_fonttools(folder, reps):
    probe = subprocess.run([DEBIAN_PYTHON, "-c", "import fontTools"], capture_output=True)
    if probe.returncode != 0:
        return None
    samples = []
    for _ in range(reps):
        out = subprocess.run([DEBIAN_PYTHON, str(FONTTOOLS_SCRIPT), str(folder)], check=True, capture_output=True,
                             text=True).stdout
        samples.append(float(out.split()[0]))
    return samples


def machine():
    cpu = "unknown CPU"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    fs = subprocess.run(["stat", "-f", "-c", "%T", str(ROOT / "build")], capture_output=True, text=True).stdout.strip()
    return f"{cpu}, {os.cpu_count()} cores (shared), Linux {platform.release()}, file system {fs or 'unknown'}"


def fmt_us(seconds):
    us = seconds * 1e6
    return f"{us:.2f}" if us < 10 else f"{us:.1f}" if us < 1000 else f"{us:,.0f}"


def spread(samples, files):
    return f"{fmt_us(min(samples) / files)}–{fmt_us(max(samples) / files)}"


ROWS = [
    ("engine", "inventory build (engine)"),
    ("physical", "physical floor: each file opened once"),
    ("readers", "readers' floor: each file opened per reader"),
    ("fc-scan", "fc-scan over the folder"),
    ("fonttools", "fontTools script (lazy OS/2 and name)"),
    ("default", "meldrove-query, the default listing (names, no character map), whole process"),
    ("coverage", "meldrove-query --coverage Cyrillic (every character map), whole process"),
    ("layout", "meldrove-query --layout (every GSUB and GPOS), whole process"),
    ("languages", "meldrove-query --languages (every character map against 753 languages), whole process"),
    ("match-none", "matching, no block (every font listed)"),
    ("match-one", "matching, one block (Cyrillic)"),
    ("match-five", "matching, five blocks (Latin x3, Greek, Cyrillic)"),
    ("match-none-unsorted", "matching, no block, the list filled but not read back sorted"),
]


FLOORS = ("physical", "readers")


def floor_ratio(samples, floor):
    """The build over a floor: the median of the ratios of runs made one
    right after the other (sample i of each comes from the same round), which
    a change in the machine's load moves far less than a ratio of medians."""
    return statistics.median(e / f for e, f in zip(samples["engine"], samples[floor]))


def compared(key, median, engine, samples):
    """How a measure compares with the inventory build, read the way that
    row is meant: a floor under the build, a peer above it, a matching as a
    share of it."""
    if key == "engine":
        return "1"
    if key in FLOORS:
        return f"build = {floor_ratio(samples, key):.2f} × this"
    if key in ("fc-scan", "fonttools"):
        return f"this = {median / engine:.1f} × build"
    if key == "coverage":
        return f"this = {median / engine:.1f} × build; fc-scan = {statistics.median(samples['fc-scan']) / median:.1f} × this" \
            if samples.get("fc-scan") else f"this = {median / engine:.1f} × build"
    return f"{median / engine:.2%} of build"


def print_table(out, results, sizes):
    header = "| measure |"
    rule = "|---|"
    for n in sizes:
        header += f" N={n:,}: µs per file, median (min–max) | N={n:,}: compared with the build |"
        rule += "---:|---:|"
    header += " growth: µs per file at N=" + f"{sizes[-1]:,} ÷ at N={sizes[0]:,} |"
    rule += "---:|"
    out.line(header)
    out.line(rule)
    for key, label in ROWS:
        cells = f"| {label} |"
        medians = []
        for n in sizes:
            samples = results[n]["samples"].get(key)
            if not samples:
                cells += " not measured | |"
                medians.append(None)
                continue
            files = results[n]["files"]
            median = statistics.median(samples)
            engine = statistics.median(results[n]["samples"]["engine"])
            medians.append(median / files)
            reps = f", {len(samples)} run{'s' if len(samples) > 1 else ''}" if key in ("fc-scan", "fonttools", "coverage") else ""
            cells += f" {fmt_us(median / files)} ({spread(samples, files)}{reps}) | {compared(key, median, engine, results[n]['samples'])} |"
        growth = f"{medians[-1] / medians[0]:.2f}" if None not in medians and len(medians) > 1 else ""
        out.line(cells + f" {growth} |")


def goals(out, results, sizes):
    n, small = sizes[-1], sizes[0]
    med = {k: statistics.median(v) for k, v in results[n]["samples"].items()}
    engine = med["engine"]
    out.line(f"\nGoals at N={n:,} (a floor: the median ratio of runs made one after the other):")
    readers, physical = (floor_ratio(results[n]["samples"], f) for f in ("readers", "physical"))
    checks = [
        ("inventory build ÷ readers' floor", readers, "<= 1.2", readers <= 1.2),
        ("inventory build ÷ physical floor", physical, "<= 2", physical <= 2),
    ]
    if "fc-scan" in med:
        checks.append(("fc-scan ÷ inventory build", med["fc-scan"] / engine, ">= 20", med["fc-scan"] / engine >= 20))
    per_file = {m: statistics.median(results[m]["samples"]["engine"]) / results[m]["files"] for m in sizes}
    growth = per_file[n] / per_file[small]
    checks.append((f"per file at {n:,} ÷ at {small:,}", growth, "<= 1.2", growth <= 1.2))
    if "coverage" in med:
        if "fc-scan" in med:
            ratio = med["fc-scan"] / med["coverage"]
            checks.append(("fc-scan ÷ meldrove-query --coverage (whole processes)", ratio, ">= 10", ratio >= 10))
        covered = {m: statistics.median(results[m]["samples"]["coverage"]) / results[m]["files"] for m in sizes}
        grown = covered[n] / covered[small]
        checks.append((f"--coverage per file at {n:,} ÷ at {small:,}", grown, "<= 1.2", grown <= 1.2))
    # What the newer answers cost beside the old ones: ratios to report, each
    # the price of reading more of every font.
    if "layout" in med and "default" in med:
        ratio = med["layout"] / med["default"]
        checks.append(("meldrove-query --layout ÷ the default listing", ratio, "<= 3", ratio <= 3))
    if "languages" in med and "coverage" in med:
        ratio = med["languages"] / med["coverage"]
        checks.append(("meldrove-query --languages ÷ --coverage Cyrillic", ratio, "<= 3", ratio <= 3))
        if "fc-scan" in med:
            ratio = med["fc-scan"] / med["languages"]
            checks.append(("fc-scan ÷ meldrove-query --languages", ratio, ">= 2", ratio >= 2))
    worst = max(med[k] for k in ("match-none", "match-one", "match-five"))
    checks.append(("slowest matching ÷ inventory build", worst / engine, "< 1%", worst / engine < 0.01))
    for label, value, target, met in checks:
        shown = f"{value:.2%}" if target.endswith("%") else f"{value:.2f}"
        out.line(f"- {label}: {shown} (goal {target}): {'met' if met else 'MISSED'}")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--sizes", type=int, nargs="+", default=[1000, 10000])
    parser.add_argument("--reps", type=int, default=15, help="runs of each engine measure, over all rounds")
    parser.add_argument("--rounds", type=int, default=3, help="rounds over the sizes; each peer runs once a round")
    parser.add_argument("--crafted-only", action="store_true", help="only the crafted files against real fonts")
    args = parser.parse_args()

    singles, collections = font_sources()
    if not singles:
        sys.exit("no *.ttf under /usr/share/fonts: run scripts/install-deps --bench")
    hostile = Report()
    crafted.run(QUERY, BENCH, ROOT / "build/bench/crafted", singles + collections, hostile)
    hostile.publish("crafted")
    if args.crafted_only:
        return
    folders = {n: make_corpus(n, singles, collections) for n in args.sizes}
    results = {n: {"samples": {}, "files": n, "found": {}, "lines": {}, "ttc": folders[n][1], "calls": {}}
               for n in args.sizes}
    # The sizes take turns, round after round, so that a change in the load of
    # the machine falls on all of them alike.
    for round_ in range(args.rounds):
        for n in args.sizes:
            folder, result = folders[n][0], results[n]
            samples, result["found"], result["lines"] = run_engine_bench(folder, -(-args.reps // args.rounds))
            for key, timer in (("fc-scan", time_fc_scan), ("fonttools", time_fonttools)):
                timed = timer(folder, 1)
                if timed:
                    samples[key] = timed
            for key, args_ in QUERY_TIMERS:
                samples[key] = time_query(folder, 1, *args_)
            for key, values in samples.items():
                result["samples"].setdefault(key, []).extend(values)
    first = args.sizes[0]
    results[first]["calls"] = {m: syscalls_per_file(folders[first][0], first, m) for m in ("engine", "physical", "readers")}
    for n in args.sizes:
        found = results[n]["found"]
        disagree = [p for p in ("physical", "readers") if found.get(p) != found.get("engine")]
        if disagree:
            sys.stderr.write(f"warning: at N={n} the {', '.join(disagree)} floor read other fonts than the engine: {found}\n")

    out = Report()
    runs = args.rounds * -(-args.reps // args.rounds)
    out.line(f"\nMachine: {machine()}; warm cache; {runs} runs of each engine measure, {3 * runs} of each "
          f"matching, {args.rounds} of each peer, the sizes taking turns.")
    for n in args.sizes:
        r = results[n]
        singles_n, ttc_n, fonts = r["found"]["engine"][:3]
        out.line(f"Folder of {n:,} files: {singles_n:,} *.ttf (copies cycling through {len(singles)} "
              f"fonts of /usr/share/fonts) and {ttc_n} *.ttc (cycling through {len(collections)} CJK collections), "
              f"{fonts:,} fonts read; matching lists {r['lines'].get('match-none', 0):,} / "
              f"{r['lines'].get('match-one', 0):,} / {r['lines'].get('match-five', 0):,} lines (none / one / five).")
    calls = results[args.sizes[0]]["calls"]
    if all(calls.values()) and calls:
        out.line(f"System calls per file (strace, N={args.sizes[0]:,}): inventory build {calls['engine']:.2f}, "
              f"readers' floor {calls['readers']:.2f}, physical floor {calls['physical']:.2f}.")
    out.line("")
    print_table(out, results, args.sizes)
    goals(out, results, args.sizes)
    out.publish("native")


if __name__ == "__main__":
    main()
