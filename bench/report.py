#!/usr/bin/python3
"""Runs the benchmarks listed in <build>/bench/manifest.txt and prints one table.

Google Benchmark programs: each benchmark's real time and its ratio to the
program's floor (a benchmark whose name contains "Floor"; with several floors
the one with the same part after the first "/").
Other bench programs print "RESULT <name> <value> <unit> [floor <v>] [target <text>]".
"""
import json
import os
import subprocess
import sys


def run_gbench(path):
    out = subprocess.run([path, "--benchmark_format=json"], capture_output=True, text=True, timeout=1800)
    if out.returncode != 0:
        return [(os.path.basename(path), "failed", "", "", out.stderr.strip()[-200:])]
    data = json.loads(out.stdout)
    rows = [b for b in data["benchmarks"] if b.get("run_type", "iteration") == "iteration"]
    floors = [b for b in rows if "floor" in b["name"].lower()]

    def floor_for(name):
        suffix = name.split("/", 1)[1] if "/" in name else None
        for f in floors:
            if suffix and f["name"].split("/", 1)[-1] == suffix:
                return f
        return floors[0] if floors else None

    table = []
    for b in rows:
        f = floor_for(b["name"])
        ratio = "" if not f or f is b else "%.2f" % (b["real_time"] / f["real_time"])
        table.append((b["name"], "%.1f" % b["real_time"], b["time_unit"], ratio, "floor" if f is b else ""))
    return table


def run_program(path):
    out = subprocess.run([path], capture_output=True, text=True, timeout=1800)
    table = []
    for line in out.stdout.splitlines():
        parts = line.split()
        if len(parts) < 4 or parts[0] != "RESULT":
            continue
        name, value, unit = parts[1], parts[2], parts[3]
        rest = parts[4:]
        ratio, note = "", ""
        if "floor" in rest:
            floor = float(rest[rest.index("floor") + 1])
            ratio = "%.2f" % (float(value) / floor) if floor else ""
        if "target" in rest:
            note = "target " + " ".join(rest[rest.index("target") + 1:])
        table.append((name, value, unit, ratio, note))
    if out.returncode != 0:
        table.append((os.path.basename(path), "failed", "", "", out.stderr.strip()[-200:]))
    return table


def main():
    build = sys.argv[1]
    only = sys.argv[sys.argv.index("--filter") + 1] if "--filter" in sys.argv else ""
    with open(os.path.join(build, "bench", "manifest.txt")) as f:
        entries = [line.split() for line in f if line.strip()]
    print("%-48s %12s %5s %8s  %s" % ("benchmark", "time", "unit", "ratio", "note"))
    for kind, name in entries:
        if only and only not in name:
            continue
        path = os.path.join(build, "bin", name)
        print("-- %s" % name)
        sys.stdout.flush()
        rows = run_gbench(path) if kind == "gbench" else run_program(path)
        for row in rows:
            print("%-48s %12s %5s %8s  %s" % row)


if __name__ == "__main__":
    main()
