"""make bench, the Finder: meldrove-finder.exe under Wine, timed from its
start to its visible window and to its full list, over fonts folders of
1,000 and 10,000 fonts (filled as the other benchmarks fill theirs), as a
ratio of meldrove.exe's start-up to its window in the same prefix. Prints
the table; FINDER_BENCH_SIZES and FINDER_BENCH_RUNS set what is run."""
import os
import statistics
import subprocess
import sys
import tempfile

from run_bench import font_sources
from run_wine_bench import BUILD, PINNED, WINE_RUN, Display, Prefix, windows_path

TIMER = BUILD / "bench/finder-timer.exe"
FINDER = BUILD / "finder/meldrove-finder.exe"
MELDROVE = BUILD / "app/meldrove.exe"


def time_prefix(prefix, runs):
    command = PINNED + [str(WINE_RUN), str(TIMER), str(runs), windows_path(FINDER), windows_path(MELDROVE)]
    with tempfile.TemporaryFile("w+") as output:
        subprocess.run(command, env=prefix.env, check=True, stdout=output, stdin=subprocess.DEVNULL)
        output.seek(0)
        samples = {}
        for line in output.read().splitlines():
            kind, label, value = line.split(" ")
            if kind == "time":
                samples.setdefault(label, []).append(float(value))
    return {label: statistics.median(values) for label, values in samples.items()}


def main():
    sizes = [int(s) for s in os.environ.get("FINDER_BENCH_SIZES", "1000 10000").split()]
    runs = int(os.environ.get("FINDER_BENCH_RUNS", "3"))
    singles, collections = font_sources()
    if not singles:
        sys.exit("no fonts to copy: make bench installs them")
    rows = []
    with Display():
        for size in sizes:
            prefix = Prefix(size, singles, collections)
            prefix.start_server()
            medians = time_prefix(prefix, runs)
            prefix.stop_server()
            rows.append((size, medians))
    print(f"meldrove-finder.exe under Wine, median of {runs} runs each")
    print("| fonts | meldrove.exe to its window | Finder to its window | ratio | Finder to its full list | ratio |")
    print("|---:|---:|---:|---:|---:|---:|")
    for size, m in rows:
        base = m["meldrove"]
        print(f"| {size:,} | {base:.2f} s | {m['finder-window']:.2f} s | {m['finder-window'] / base:.2f} | "
              f"{m['finder-list']:.2f} s | {m['finder-list'] / base:.2f} |")


if __name__ == "__main__":
    main()
