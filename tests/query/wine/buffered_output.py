"""meldrove-query.exe writes its standard output in whole buffers: a thousand
lines under Wine take a handful of NtWriteFile calls, not one a character (a
C runtime without a buffer once made 45,656 of them for 1,000 lines). The
calls are counted in Wine's trace of the file channel, which logs each
NtWriteFile with its handle and length.

  buffered_output.py --exe TOOL.EXE --work DIR
"""

import argparse
import re
import shutil
import sys
from pathlib import Path

import harness
import sfnt

LINES = 1000
# More than 64 KiB in all, so that a second buffer is needed, and far fewer
# writes than lines however the buffer is sized.
MOST_WRITES = 4
COLLECTION = "meldrove-thousand-members.ttc"  # its name finds the tool's process in the trace

# "0123:0124:trace:file:NtWriteFile (handle,event,apc,apc_user,io_status,buffer,length,offset,key)"
WRITE = re.compile(rb"^([0-9a-f]+):[0-9a-f]+:trace:file:NtWriteFile \((?:[^,]*,){6}(0x[0-9a-f]+),", re.M)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--prefix", default=str(harness.SOURCE / "build" / "wine-prefix"))
    options = parser.parse_args()
    harness.require(options.exe, "meldrove-query.exe", "build it: cmake --build --preset mingw")
    harness.prepare(options.prefix)
    work = Path(options.work).resolve()
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    members = [sfnt.face(f"Member {i:04d} of a collection of a thousand fonts") for i in range(LINES)]
    (work / COLLECTION).write_bytes(sfnt.collection(members))

    folder = harness.windows_path(work)
    checks = harness.Checks()
    counts = [writes_of(options, ["--fonts-dir", folder, "--all-members"], LINES, checks),
              # A line of what each font misses under its own: the two kinds
              # of line share the buffers too.
              writes_of(options, ["--fonts-dir", folder, "--all-members", "--match", "covered", "--min", "0",
                                  "--missing=1", "Basic Latin"], 2 * LINES, checks)]
    return checks.finish(", ".join(f"{lines} lines ({size} bytes) in {writes} writes"
                                   for lines, size, writes in counts if writes is not None))


def writes_of(options, args, expected_lines, checks):
    """Runs the tool with `args` under the trace and checks that its
    `expected_lines` lines went out in at most MOST_WRITES writes; returns
    the lines, the bytes and the writes counted."""
    run = harness.wine(options.exe, args, options.prefix, debug="+pid,+file")
    lines = run.out.count(b"\n")
    if not checks.check(run.code == 0 and lines == expected_lines,
                        f"{args}: exit code {run.code} and {lines} lines, not 0 and {expected_lines}: "
                        f"{run.err[-500:]!r}"):
        return lines, len(run.out), None
    processes = set(re.findall(rb"^([0-9a-f]+):[^\n]*" + re.escape(COLLECTION.encode()), run.err, re.M))
    if len(processes) != 1:
        sys.exit(f"FAIL: the trace names {COLLECTION} in {len(processes)} processes, not in one: "
                 f"Wine's file channel no longer logs what this test reads")
    process = processes.pop()
    writes = [int(length, 16) for pid, length in WRITE.findall(run.err) if pid == process]
    if not writes:
        sys.exit("FAIL: the trace shows no NtWriteFile of meldrove-query.exe: Wine's file channel no longer "
                 "logs it, and its writes cannot be counted")
    checks.check(sum(writes) == len(run.out),
                 f"{args}: the traced writes hold {sum(writes)} bytes, standard output {len(run.out)}: "
                 "some went uncounted")
    checks.check(len(writes) <= MOST_WRITES,
                 f"{args}: {len(writes)} writes for {lines} lines ({len(run.out)} bytes), not at most {MOST_WRITES}")
    return lines, len(run.out), len(writes)

if __name__ == "__main__":
    sys.exit(main())
