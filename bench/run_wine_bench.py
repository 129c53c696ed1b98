"""make bench, under Wine: the real program's start-up. In a Wine prefix of
its own under build/bench/ for each size (an empty fonts folder, 1,000 and
10,000 fonts, filled as the native bench fills its folders), times as whole
processes, one right after the other, from a Windows timing driver
(start-timer.exe):

  - meldrove.exe, from its start to its visible main window (then ended
    through "E&xit");
  - bare-window.exe, a window of the same class and title that reads no
    font: what Wine itself costs a window program in that prefix;
  - win32-floor.exe, the readers' floor in Win32 calls, to its exit.

Prints the report and writes it into docs/performance.md, between the
markers of its wine section. With --count it also counts, from a tracing
wineserver, the requests each program makes of Wine's server per font file.
"""
import argparse
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from collections import Counter
from pathlib import Path

from report import Report
from run_bench import font_sources, machine, make_corpus

ROOT = Path(__file__).resolve().parent.parent
BUILD = ROOT / "build/mingw"
TIMER = BUILD / "bench/start-timer.exe"
PROGRAMS = [  # label, how start-timer times it, the program
    ("meldrove", "--window", BUILD / "app/meldrove.exe"),
    ("bare", "--window", BUILD / "bench/bare-window.exe"),
    ("floor", "--exit", BUILD / "bench/win32-floor.exe"),
]
WINE_RUN = ROOT / "scripts/wine-run"
# Every timed process, Wine's server and the X server run on this one CPU
# (the last). On a virtual machine a request that wakes Wine's server on
# another, idle CPU waits for the host to run that CPU again: over the
# thousands of round trips of a run that wait moved the floor's time three-
# to fourfold from one minute to the next on an idle machine; on one CPU the
# same runs agree within about 10%.
CPU = str((os.cpu_count() or 1) - 1)
PINNED = ["taskset", "-c", CPU]


def windows_path(path):
    """Z:\\... for a path of the host, as Wine maps it."""
    return "Z:" + str(path).replace("/", "\\")


class Prefix:
    """A Wine prefix of its own for one size, its fonts folder filled, its
    wineserver kept running between the rounds so that no round pays for
    starting it."""

    def __init__(self, size, singles, collections):
        self.size = size
        self.path = ROOT / f"build/bench/wine-{size}"
        subprocess.run([str(WINE_RUN), "--prepare"], env=self.env, check=True)
        fonts = self.path / "drive_c/windows/Fonts"
        _, self.collections = make_corpus(size, singles, collections, fonts)
        self.files = size

    @property
    def env(self):
        # Taken when used: the display is chosen after the prefix.
        return dict(os.environ, WINEPREFIX=str(self.path), WINEDEBUG="-all")

    def start_server(self, trace_to=None):
        self.stop_server()
        if trace_to is None:
            subprocess.run(PINNED + ["wineserver", "-p"], env=self.env, check=True)
            return
        # Every request, with the thread that made it, to the file.
        self.tracer = subprocess.Popen(PINNED + ["wineserver", "-f", "-d1"], env=self.env, stderr=open(trace_to, "w"))
        time.sleep(0.5)

    def stop_server(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)
        tracer = getattr(self, "tracer", None)
        if tracer:
            tracer.wait()
            self.tracer = None

    def time(self, runs, programs=PROGRAMS):
        """Runs start-timer: every program once untimed, then `runs` runs."""
        command = PINNED + [str(WINE_RUN), str(TIMER), str(runs)]
        for label, kind, path in programs:
            command += [kind, label, windows_path(path)]
        # To a file, not a pipe: the Wine services that the run starts inherit
        # its output and outlive it, so a pipe would never reach its end.
        with tempfile.TemporaryFile("w+") as output:
            subprocess.run(command, env=self.env, check=True, stdout=output, stdin=subprocess.DEVNULL)
            output.seek(0)
            out = output.read()
        samples, output = {}, {}
        for line in out.splitlines():
            kind, label, rest = (line.split(" ", 2) + [""])[:3]
            if kind == "time":
                samples.setdefault(label, []).append(float(rest))
            elif kind == "output":
                output.setdefault(label, []).append(rest)
        return samples, output


class Display:
    """A virtual X display of its own, so that no window manager or other
    desktop takes part."""

    def __enter__(self):
        read, write = os.pipe()
        self.server = subprocess.Popen(PINNED + ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                                        "-nolisten", "tcp"], pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                sys.exit("Xvfb did not start")
            number += chunk
        os.close(read)
        self.previous = os.environ.get("DISPLAY")
        os.environ["DISPLAY"] = ":" + number.decode().strip()
        return self

    def __exit__(self, *_):
        self.server.terminate()
        self.server.wait()
        if self.previous is None:
            os.environ.pop("DISPLAY", None)
        else:
            os.environ["DISPLAY"] = self.previous


# ---- Counting the requests of Wine's server --------------------------------

REQUEST = re.compile(r"^([0-9a-f]{4}): ([a-z_]+)\((?!\) = )")  # a request, not its reply
FIRST_THREAD = re.compile(r"^([0-9a-f]{4}): init_first_thread\(\) = 0 \{ pid=([0-9a-f]{4})")
NEW_PROCESS = re.compile(r"^([0-9a-f]{4}): new_process\(.*imagepath=L\"([^\"]*)\"")
NEW_PROCESS_REPLY = re.compile(r"^([0-9a-f]{4}): new_process\(\) = 0 \{ info=[0-9a-f]+, pid=([0-9a-f]{4})")
NEW_OWN_THREAD = re.compile(r"^([0-9a-f]{4}): new_thread\( process=ffffffff")
NEW_THREAD_REPLY = re.compile(r"^([0-9a-f]{4}): new_thread\(\) = 0 \{ tid=([0-9a-f]{4})")


def requests_by_program(trace):
    """The server requests of each program's process, by kind, from a
    wineserver -d1 trace: {image file name: Counter}."""
    process_of_thread, image_of_process, pending, own_thread = {}, {}, {}, set()
    counts = {}
    with open(trace, errors="replace") as lines:
        for line in lines:
            if (m := NEW_OWN_THREAD.match(line)):
                own_thread.add(m.group(1))
            elif (m := NEW_THREAD_REPLY.match(line)) and m.group(1) in own_thread:
                own_thread.discard(m.group(1))
                if m.group(1) in process_of_thread:
                    process_of_thread[m.group(2)] = process_of_thread[m.group(1)]
            elif (m := NEW_PROCESS.match(line)):
                pending[m.group(1)] = m.group(2).rsplit("\\", 1)[-1].lower()
            elif (m := NEW_PROCESS_REPLY.match(line)):
                image_of_process[m.group(2)] = pending.pop(m.group(1), "?")
            elif (m := FIRST_THREAD.match(line)):
                process_of_thread[m.group(1)] = m.group(2)
            if (m := REQUEST.match(line)):
                image = image_of_process.get(process_of_thread.get(m.group(1)), "?")
                counts.setdefault(image, Counter())[m.group(2)] += 1
    return counts


def count_requests(prefixes, workdir):
    """Requests per font file of each program: one run in the prefix of
    each size under a tracing wineserver, less the run over no fonts."""
    per_size = {}
    for prefix in prefixes:
        trace = Path(workdir) / f"trace-{prefix.size}.txt"
        prefix.start_server(trace_to=trace)
        prefix.time(0)  # each program once, untimed
        prefix.stop_server()
        per_size[prefix.size] = requests_by_program(trace)
        trace.unlink()
        prefix.start_server()
    return per_file(prefixes, per_size)


# Wine's loader started on a program: the program is its first argument.
STARTED = re.compile(r'^execve\("[^"]*/wine64", \["[^"]*", "([^"]*)".* = 0$')
SYSCALL = re.compile(r"^([a-z_0-9]+)\(")
THREAD_CREATED = re.compile(r"^clone3?\(.*CLONE_THREAD.*\) = (\d+)$")


def syscalls_by_program(folder):
    """The system calls of each program's process, by kind, from the files
    of strace -ff (one per thread, named by its id): {image file name: Counter}."""
    files = {int(p.suffix[1:]): p for p in Path(folder).iterdir()}
    names = {p.name.lower() for _, _, p in PROGRAMS}
    counts = {}
    for tid, path in files.items():
        with open(path, errors="replace") as f:
            started = [m.group(1) for line in f if (m := STARTED.match(line))]
        image = next((n for n in names for program in started if program.lower().endswith(n)), None)
        if image is None:
            continue
        # The process's threads: its first thread's file, and those of the
        # threads that any of them created.
        todo, counter = [tid], counts.setdefault(image, Counter())
        while todo:
            with open(files[todo.pop()], errors="replace") as f:
                for line in f:
                    if (m := SYSCALL.match(line)):
                        counter[m.group(1)] += 1
                    if (m := THREAD_CREATED.match(line)) and int(m.group(1)) in files:
                        todo.append(int(m.group(1)))
    return counts


def count_syscalls(prefixes, workdir):
    """System calls per font file of each program's process (all its
    threads): one run in the prefix of each size under strace, less the run
    over no fonts."""
    per_size = {}
    for prefix in prefixes:
        # Wine's own services of the prefix must be running before: strace
        # waits for every process it traces to end, and they do not.
        prefix.time(0)
        folder = Path(workdir) / f"strace-{prefix.size}"
        folder.mkdir()
        command = ["strace", "-f", "-ff", "-s", "300", "-o", str(folder / "t"), str(WINE_RUN), str(TIMER), "0"]
        for label, kind, path in PROGRAMS:
            command += [kind, label, windows_path(path)]
        subprocess.run(command, env=prefix.env, check=True, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        per_size[prefix.size] = syscalls_by_program(folder)
        shutil.rmtree(folder)
    return per_file(prefixes, per_size)


def per_file(prefixes, per_size):
    """{(size, label): {kind: count per file}} from counts per size and image."""
    empty = per_size[prefixes[0].size]
    result = {}
    for prefix in prefixes[1:]:
        for label, _, path in PROGRAMS:
            image = path.name.lower()
            here, there = per_size[prefix.size].get(image, Counter()), empty.get(image, Counter())
            kinds = {k: (here[k] - there[k]) / prefix.files for k in set(here) | set(there)}
            result[(prefix.size, label)] = {k: v for k, v in kinds.items() if abs(v) >= 0.05}
    return result


# ---- The report ----------------------------------------------------------------

def fmt_ms(seconds):
    return f"{seconds * 1e3:.3f}"


def fmt_s(seconds):
    return f"{seconds:.3f}"


ROWS = [
    ("meldrove", "meldrove.exe: start to visible main window"),
    ("bare", "bare window: Wine's own start of a window program"),
    ("floor", "readers' floor (win32-floor.exe): start to exit"),
    ("baseline", "baseline build of meldrove.exe (--baseline)"),
]


def per_run(samples, size, empty_samples):
    """For each run of a size: seconds above the empty folder of the program
    itself (prog), of its part beyond Wine's own window start (ours: the
    program less the bare window of the same run), and of the floor."""
    med = {k: statistics.median(v) for k, v in empty_samples.items()}
    rows = []
    baseline = samples.get("baseline", [None] * len(samples["meldrove"]))
    for prog, bare, floor, base in zip(samples["meldrove"], samples["bare"], samples["floor"], baseline):
        row = {
            "prog": prog - med["meldrove"],
            "wine": bare - med["bare"],
            "ours": (prog - bare) - (med["meldrove"] - med["bare"]),
            "floor": floor - med["floor"],
        }
        if base is not None:
            row["baseline-ours"] = (base - bare) - (med["baseline"] - med["bare"])
        rows.append(row)
    return rows


def write_report(out, results, sizes, runs, counts):
    empty = results[0]["samples"]
    header = "| program | empty folder: s, median (min–max) |"
    rule = "|---|---:|"
    for n in sizes:
        header += f" N={n:,}: s, median (min–max) | N={n:,}: ms per file above the empty folder |"
        rule += "---:|---:|"
    out.line(header)
    out.line(rule)
    for key, label in ROWS:
        if key not in empty:
            continue
        e = empty[key]
        cells = f"| {label} | {fmt_s(statistics.median(e))} ({fmt_s(min(e))}–{fmt_s(max(e))}) |"
        for n in sizes:
            s = results[n]["samples"][key]
            above = (statistics.median(s) - statistics.median(e)) / n
            cells += f" {fmt_s(statistics.median(s))} ({fmt_s(min(s))}–{fmt_s(max(s))}) | {fmt_ms(above)} |"
        out.line(cells)

    out.line("")
    out.line("| per font file, above the empty folder | " + " | ".join(f"N={n:,}" for n in sizes) + " |")
    out.line("|---|" + "---:|" * len(sizes))
    ratios = {}
    lines = {"prog": "meldrove.exe, ms per file", "wine": "of which Wine's own (the bare window), ms per file",
             "ours": "of which the program's own (meldrove.exe less the bare window), ms per file",
             "floor": "readers' floor, ms per file"}
    table = {k: [] for k in lines}
    for n in sizes:
        rows = per_run(results[n]["samples"], n, empty)
        for k in lines:
            table[k].append(statistics.median(r[k] for r in rows) / n)
        ratios[n] = {
            "ours": statistics.median(r["ours"] / r["floor"] for r in rows),
            "prog": statistics.median(r["prog"] / r["floor"] for r in rows),
        }
    for k, label in lines.items():
        out.line(f"| {label} | " + " | ".join(fmt_ms(v) for v in table[k]) + " |")
    out.line("| the program's own ÷ the floor (median of the runs' ratios) | "
             + " | ".join(f"{ratios[n]['ours']:.2f}" for n in sizes) + " |")
    out.line("| meldrove.exe, Wine's part included, ÷ the floor (the same) | "
             + " | ".join(f"{ratios[n]['prog']:.2f}" for n in sizes) + " |")
    if "baseline" in empty:
        baseline = [statistics.median(r["baseline-ours"] / r["floor"] for r in per_run(results[n]["samples"], n, empty))
                    for n in sizes]
        out.line("| the baseline build's own ÷ the floor (the same) | " + " | ".join(f"{b:.2f}" for b in baseline) + " |")

    first = sizes[0]
    for key, what in (("requests", "Requests of Wine's server"), ("syscalls", "System calls of the process")):
        if key not in counts:
            continue
        out.line("")
        out.line(f"{what} per font file (N={first:,}: a run less one over the empty folder; kinds under 0.05 per "
                 "file left out):")
        out.line("")
        for label, title in (("meldrove", "meldrove.exe"), ("bare", "bare window"), ("floor", "readers' floor"),
                             ("baseline", "baseline build")):
            if (first, label) not in counts[key]:
                continue
            kinds = counts[key][(first, label)]
            total = sum(kinds.values())
            shown = ", ".join(f"{k} {v:.2f}" for k, v in sorted(kinds.items(), key=lambda kv: -kv[1]) if v > 0)
            out.line(f"- {title}: {total:.2f} ({shown or 'none'})")

    out.line("")
    out.line("Goal: the program's own cost per file at most 1.3 times the floor's:")
    for n in sizes:
        r = ratios[n]["ours"]
        out.line(f"- N={n:,}: {r:.2f}: {'met' if r <= 1.3 else 'MISSED'}")


def load_note():
    try:
        with open("/proc/loadavg") as f:
            return ", ".join(f.read().split()[:3])
    except OSError:
        return "unknown"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sizes", type=int, nargs="+", default=[1000, 10000])
    parser.add_argument("--reps", type=int, default=9, help="timed runs of each program at each size, over all rounds")
    parser.add_argument("--rounds", type=int, default=3, help="rounds over the sizes, the sizes taking turns")
    parser.add_argument("--no-count", dest="count", action="store_false",
                        help="leave out the count of the requests of Wine's server per file")
    parser.add_argument("--baseline", type=Path, metavar="EXE",
                        help="another build of meldrove.exe, timed beside this one in every run")
    args = parser.parse_args()

    if args.baseline:
        PROGRAMS.append(("baseline", "--window", args.baseline.resolve()))
    missing = [p for p in [TIMER] + [p for _, _, p in PROGRAMS] if not p.is_file()]
    if missing:
        sys.exit(f"missing {', '.join(map(str, missing))}: cmake --preset mingw && cmake --build --preset mingw")
    singles, collections = font_sources()
    if not singles:
        sys.exit("no *.ttf under /usr/share/fonts: run scripts/install-deps --bench")

    sizes = [0] + args.sizes
    prefixes = [Prefix(n, singles, collections) for n in sizes]
    results = {n: {"samples": {}} for n in sizes}
    per_round = -(-args.reps // args.rounds)
    load_before = load_note()
    with Display():
        try:
            for prefix in prefixes:
                prefix.start_server()
                # Wine builds its own cache of the prefix's fonts in the
                # first window program; no timed run pays for it.
                prefix.time(0)
            for _ in range(args.rounds):
                for prefix in prefixes:
                    samples, output = prefix.time(per_round)
                    for key, values in samples.items():
                        results[prefix.size]["samples"].setdefault(key, []).extend(values)
                    results[prefix.size]["output"] = output
            counts = {}
            if args.count:
                with tempfile.TemporaryDirectory(dir=ROOT / "build/bench") as workdir:
                    counts["requests"] = count_requests([prefixes[0], prefixes[1]], workdir)
                    if shutil.which("strace"):
                        counts["syscalls"] = count_syscalls([prefixes[0], prefixes[1]], workdir)
        finally:
            for prefix in prefixes:
                prefix.stop_server()
    load_after = load_note()
    raw = ROOT / "build/bench/wine-samples.json"
    raw.write_text(json.dumps({n: results[n]["samples"] for n in sizes}, indent=1))

    out = Report()
    runs = args.rounds * per_round
    out.line(f"\nMachine: {machine()}; load average {load_before} before and {load_after} after; "
             f"{subprocess.run(['wine', '--version'], capture_output=True, text=True).stdout.strip()} on a virtual "
             f"X display (Xvfb), the timed programs, Wine's server and Xvfb all on CPU {CPU}; warm cache; {runs} timed runs of each program at each size, the programs one right "
             f"after the other and the sizes taking turns, {args.rounds} rounds.")
    for n in args.sizes:
        floor_line = " ".join(results[n]["output"].get("floor", []))
        out.line(f"Fonts folder of {n:,} files ({prefixes[sizes.index(n)].collections} "
                 f"*.ttc), as the native bench fills its own; the floor found: {floor_line}.")
    program_output = {n: results[n]["output"].get("meldrove", []) for n in sizes}
    if any(program_output.values()):
        out.line("meldrove.exe printed: " + "; ".join(f"N={n:,}: {len(v)} lines" for n, v in program_output.items()))
    out.line("")
    write_report(out, results, args.sizes, runs, counts)
    out.publish("wine")


if __name__ == "__main__":
    main()
