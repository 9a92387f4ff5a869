#!/usr/bin/python3
# What a screen reader reads of one application: every object of its windows
# as one JSON list (role, name, description, states, the top-level window it
# belongs to). Runs in the desktop's environment, so pyatspi finds its bus.
# Usage: a11y_objects.py APPLICATION
import json
import sys

import pyatspi


def walk(acc, top, out, depth=0):
    try:
        states = acc.getState()
        role = acc.getRoleName()
        entry = {
            "role": role,
            "name": acc.name or "",
            "description": acc.description or "",
            "top": top,
            "focusable": states.contains(pyatspi.STATE_FOCUSABLE),
            "focused": states.contains(pyatspi.STATE_FOCUSED),
            "showing": states.contains(pyatspi.STATE_SHOWING),
            "enabled": states.contains(pyatspi.STATE_ENABLED),
        }
        out.append(entry)
        children = [acc.getChildAtIndex(i) for i in range(acc.childCount)] if depth < 20 else []
    except Exception:  # an object that went away while we read
        return
    for child in children:
        if child is not None:
            walk(child, top, out, depth + 1)


def main():
    desktop = pyatspi.Registry.getDesktop(0)
    out = []
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == sys.argv[1]:
            for j in range(app.childCount):
                window = app.getChildAtIndex(j)
                if window is not None:
                    walk(window, window.name, out)
    print(json.dumps(out))


main()
