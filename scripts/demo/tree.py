#!/usr/bin/env python3
"""Prints the running manager's device and certificate tree, read from the
window itself through the desktop's accessibility bus (AT-SPI)."""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

TREE_ROLES = {Atspi.Role.TREE, Atspi.Role.TREE_TABLE}
ITEM_ROLES = {Atspi.Role.TREE_ITEM, Atspi.Role.TABLE_CELL, Atspi.Role.LIST_ITEM}


def children(node):
    try:
        count = min(node.get_child_count(), 500)
    except Exception:
        return []
    out = []
    for i in range(count):
        try:
            child = node.get_child_at_index(i)
        except Exception:
            continue
        if child is not None:
            out.append(child)
    return out


def find(node, roles, depth=0):
    if depth > 12:
        return None
    try:
        if node.get_role() in roles and node.get_state_set().contains(Atspi.StateType.SHOWING):
            return node
    except Exception:
        return None
    for child in children(node):
        found = find(child, roles, depth + 1)
        if found is not None:
            return found
    return None


def manager_app(name):
    desktop = Atspi.get_desktop(0)
    for app in children(desktop):
        try:
            if app.get_name() == name:
                return app
        except Exception:
            continue
    return None


def level_of(item):
    try:
        attributes = item.get_attributes() or {}
        if "level" in attributes:
            return int(attributes["level"])
    except Exception:
        pass
    return None


def main():
    name = sys.argv[1] if len(sys.argv) > 1 else "tarnukey"
    deadline = time.time() + 15
    tree = None
    while time.time() < deadline and tree is None:
        app = manager_app(name)
        tree = find(app, TREE_ROLES) if app is not None else None
        if tree is None:
            time.sleep(0.5)
    if tree is None:
        print(f"The accessibility bus shows no tree of {name}.", file=sys.stderr)
        return 1
    rows = []
    for item in children(tree):
        try:
            role = item.get_role()
            label = item.get_name()
        except Exception:
            continue
        if role not in ITEM_ROLES or not label:
            continue
        states = item.get_state_set()
        rows.append((label, level_of(item), states.contains(Atspi.StateType.EXPANDABLE)))
    if not rows:
        print("  (the tree is empty)")
    for label, level, expandable in rows:
        if level is not None:
            indent = "  " * (level - (1 if level > 0 else 0))
        else:
            indent = "" if expandable else "  "
        print(f"  {indent}{'+ ' if expandable else '- '}{label}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
