#!/usr/bin/env python3
"""Prints the slot registry as the daemon published it: the four slots and the
processes waiting for changes. Reads the shared-memory segment without its
lock, so it is a snapshot; checks its size before trusting any offset."""
import argparse
import os
import struct
import sys

SEGMENT_SIZE = 57472
SLOTS_AT, SLOT_SIZE, SLOT_COUNT = 96, 13144, 4
PROCS_AT, PROC_SIZE, PROC_COUNT = 52672, 48, 100


def csp_name(config_path):
    name = "Zenvit Base CSP v1.0"
    section = None
    try:
        with open(config_path, encoding="utf-8", errors="replace") as f:
            for line in f:
                line = line.strip()
                if line.startswith("[") and line.endswith("]"):
                    section = line[1:-1]
                elif section == "ZTTokenInfo" and line.startswith("CSPName") and "=" in line:
                    key, value = line.split("=", 1)
                    if key.strip() == "CSPName":
                        name = value.strip()
    except OSError:
        pass
    return name


def simplified(name):
    raw = name.encode("utf-8")
    return bytes(c for c in raw.upper() if c not in b" .").decode("utf-8", "replace")


def text(raw):
    return raw.split(b"\0", 1)[0].decode("utf-8", "replace").rstrip()


def label(raw):
    units = raw.decode("utf-16-le", "replace")
    return units.split("\0", 1)[0].rstrip()


def alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except PermissionError:
        return True
    except OSError:
        return False


def program(pid):
    try:
        with open(f"/proc/{pid}/comm", encoding="utf-8", errors="replace") as f:
            return f.read().strip()
    except OSError:
        return "running"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--config", default="/opt/apps/org.zvit.zevudazivud/files/ConfigFile/Config.ini")
    args = parser.parse_args()
    name = simplified(csp_name(args.config)) + "P11X64"
    path = "/dev/shm/" + name
    try:
        with open(path, "rb") as f:
            data = f.read(SEGMENT_SIZE + 1)
    except OSError as e:
        print(f"No slot registry {name}: {e.strerror}. Is tarndaemon running?", file=sys.stderr)
        return 1
    if len(data) != SEGMENT_SIZE:
        print(f"{path} holds {len(data)} bytes, not {SEGMENT_SIZE}: not a slot registry.", file=sys.stderr)
        return 1

    present = sum(1 for n in range(SLOT_COUNT) if data[SLOTS_AT + n * SLOT_SIZE + 268] == 1)
    print(f"Slot registry {name}: {present} key(s) present (count field {data[0]})")
    for n in range(SLOT_COUNT):
        rec = data[SLOTS_AT + n * SLOT_SIZE: SLOTS_AT + (n + 1) * SLOT_SIZE]
        slot_id = struct.unpack_from("<Q", rec, 0)[0]
        present = rec[268] == 1
        if not present:
            print(f"  slot {n}: empty")
            continue
        flags = struct.unpack_from("<Q", rec, 368)[0]
        token = rec[384:592]
        print(f"  slot {n}: {label(rec[12888:12952])!r}  device {text(rec[8:264])!r}")
        print(f"          token label {text(token[0:32])!r}, serial {text(token[80:96])!r}, "
              f"slot id {slot_id}, flags {flags:#x}")
    waiting = []
    for i in range(PROC_COUNT):
        entry = data[PROCS_AT + i * PROC_SIZE: PROCS_AT + (i + 1) * PROC_SIZE]
        if entry[0] != 1:
            continue
        pid, pending = struct.unpack_from("<qi", entry, 8)
        state = program(pid) if alive(pid) else "gone"
        change = "none" if pending == -1 else f"slot {pending}"
        waiting.append(f"  process {pid} ({state}), pending change: {change}")
    print(f"Registered processes: {len(waiting)}")
    for line in waiting:
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
