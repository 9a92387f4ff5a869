#!/usr/bin/python3
"""Runs the benchmarks listed in <build>/bench/manifest.txt and prints one table.

Google Benchmark programs: each benchmark's real time (the fastest of ten
repetitions run in random order) and its ratio to the program's floor (a
benchmark whose name contains "Floor"; with several floors the one with the
same part after the first "/"). Their JSON is read from a
file of its own, never from standard output: the programs under test and the
tools they start print there too.
Other bench programs print "RESULT <name> <value> <unit> [floor <v>] [target <text>]";
their other standard output lines are progress, shown on stderr as they come.

    report.py BUILD [--filter TEXT]           every benchmark of the manifest
    report.py --run gbench|program PATH [ARGS...]
                                              one program (the test build's smoke runs)

Exits non-zero when a program fails, reports an error or gives no figure.
"""
import json
import os
import subprocess
import sys
import tempfile
import threading

TIMEOUT = 4 * 3600
# Repeated in random order, so a busy spell of the machine does not fall on
# a floor or on what is divided by it alone; the table shows the fastest run.
TABLE_GBENCH_ARGS = ["--benchmark_repetitions=10", "--benchmark_enable_random_interleaving=true"]


def failed_row(path, out):
    detail = (out.stderr or out.stdout or "").strip().replace("\n", " | ")[-300:]
    return (os.path.basename(path), "failed", "", "", "exit %d: %s" % (out.returncode, detail))


def run_gbench(path, args=()):
    with tempfile.TemporaryDirectory(prefix="zvit-bench-") as folder:
        result = os.path.join(folder, "result.json")
        out = subprocess.run([path, "--benchmark_out=" + result, "--benchmark_out_format=json"] + list(args),
                             capture_output=True, text=True, timeout=TIMEOUT)
        if out.returncode != 0:
            return [failed_row(path, out)]
        try:
            with open(result) as f:
                data = json.load(f)
        except (OSError, ValueError) as e:
            return [(os.path.basename(path), "failed", "", "", "no JSON result: %s" % e)]
    # The fastest repetition of each: a shared machine only ever adds time.
    fastest = {}
    for b in data.get("benchmarks", []):
        if b.get("run_type", "iteration") != "iteration":
            continue
        kept = fastest.get(b["name"])
        if kept is None or (not b.get("error_occurred") and b["real_time"] < kept["real_time"]):
            fastest[b["name"]] = b
    # In the program's own order, whatever order the repetitions ran in.
    rows = sorted(fastest.values(), key=lambda b: (b.get("family_index", 0), b.get("per_family_instance_index", 0)))
    floors = [b for b in rows if "floor" in b["name"].lower() and not b.get("error_occurred")]

    def floor_for(name):
        suffix = name.split("/", 1)[1] if "/" in name else None
        for f in floors:
            if suffix and f["name"].split("/", 1)[-1] == suffix:
                return f
        return floors[0] if floors else None

    table = []
    for b in rows:
        if b.get("error_occurred"):
            table.append((b["name"], "failed", "", "", b.get("error_message", "")))
            continue
        f = floor_for(b["name"])
        ratio = "" if not f or f is b else "%.2f" % (b["real_time"] / f["real_time"])
        table.append((b["name"], "%.1f" % b["real_time"], b["time_unit"], ratio, "floor" if f is b else ""))
    if not table:
        table.append((os.path.basename(path), "failed", "", "", "no benchmark ran"))
    return table


def run_streaming(command):
    """Runs a program, echoing its other standard output lines (progress) to
    stderr as they come; stderr is kept in a file, so neither pipe can fill."""
    with tempfile.TemporaryFile(mode="w+") as errors:
        proc = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=errors, text=True)
        # A program that hangs with its output open is killed, as run() would.
        watchdog = threading.Timer(TIMEOUT, proc.kill)
        watchdog.start()
        lines = []
        try:
            for line in proc.stdout:
                lines.append(line)
                if not line.startswith("RESULT "):
                    sys.stderr.write("   " + line)
                    sys.stderr.flush()
            proc.wait()
        except BaseException:
            proc.kill()
            proc.wait()
            raise
        finally:
            watchdog.cancel()
        errors.seek(0)
        return subprocess.CompletedProcess(command, proc.returncode, "".join(lines), errors.read())


def run_program(path, args=()):
    out = run_streaming([path] + list(args))
    table = []
    for line in out.stdout.splitlines():
        parts = line.split()
        if len(parts) < 4 or parts[0] != "RESULT":
            continue
        name, value, unit = parts[1], parts[2], parts[3]
        try:
            float(value)
        except ValueError:
            table.append((name, "failed", "", "", "not a number: %s" % value))
            continue
        rest = parts[4:]
        ratio, note = "", ""
        if "floor" in rest:
            floor = float(rest[rest.index("floor") + 1])
            ratio = "%.2f" % (float(value) / floor) if floor else ""
        if "target" in rest:
            note = "target " + " ".join(rest[rest.index("target") + 1:])
        table.append((name, value, unit, ratio, note))
    if out.returncode != 0:
        table.append(failed_row(path, out))
    elif not table:
        table.append((os.path.basename(path), "failed", "", "", "no RESULT line"))
    return table


def print_rows(rows):
    for row in rows:
        print("%-48s %12s %5s %8s  %s" % row)
    sys.stdout.flush()
    return all(row[1] != "failed" for row in rows)


def header():
    print("%-48s %12s %5s %8s  %s" % ("benchmark", "time", "unit", "ratio", "note"))
    sys.stdout.flush()


def run_one(kind, path, args):
    return run_gbench(path, args) if kind == "gbench" else run_program(path, args)


def main():
    if len(sys.argv) >= 4 and sys.argv[1] == "--run":
        header()
        return 0 if print_rows(run_one(sys.argv[2], sys.argv[3], sys.argv[4:])) else 1
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    build = sys.argv[1]
    only = sys.argv[sys.argv.index("--filter") + 1] if "--filter" in sys.argv else ""
    with open(os.path.join(build, "bench", "manifest.txt")) as f:
        entries = [line.split() for line in f if line.strip()]
    header()
    ok = True
    for kind, name in entries:
        if only and only not in name:
            continue
        path = os.path.join(build, "bin", name)
        print("-- %s" % name)
        sys.stdout.flush()
        ok = print_rows(run_one(kind, path, TABLE_GBENCH_ARGS if kind == "gbench" else [])) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
