# Prints what a screen reader finds of the running Orvane through AT-SPI: one line per
# object of its showing windows, "<depth> <role>|<name>|<description>". Usage: atspiwalk.py
import sys

import pyatspi


def walk(node, depth, out):
    try:
        if not node.getState().contains(pyatspi.STATE_SHOWING) and depth > 1:
            return
        out.append("%d %s|%s|%s" % (depth, node.getRoleName(), node.name, node.description))
        for child in node:
            walk(child, depth + 1, out)
    except Exception:  # an object that went away while it was read
        pass


lines = []
for app in pyatspi.Registry.getDesktop(0):
    if app is not None and app.name == "Orvane":
        walk(app, 0, lines)
print("\n".join(lines))
sys.exit(0 if lines else 1)
