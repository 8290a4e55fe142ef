#!/usr/bin/python3
"""Fails on an include that runs against the layers.

    check_layers.py --root DIR LAYER=BELOW,BELOW ...   checks every source of the layers
    check_layers.py --self-test LAYER=BELOW ...        plants upward includes in a scratch tree
    check_layers.py --no-symbols BINARY NAME ...       fails when nm -C finds a symbol of a NAME

Each LAYER=... names a source folder and the folders its sources may include besides their
own (cmake/TallyleafLayers.cmake holds the table). An include "x/File.h" whose first folder is
a folder of the repository (a layer, tests/, tools/, ...) and not one of those is reported
with file and line; the status is 1 when there is one.
"""
import os
import re
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]*"')
SOURCES = (".cpp", ".h")


def parse_rules(args):
    rules = {}
    for arg in args:
        layer, _, below = arg.partition("=")
        rules[layer] = {b for b in below.split(",") if b}
    return rules


def violations(root, rules):
    folders = {d for d in os.listdir(root) if os.path.isdir(os.path.join(root, d)) and not d.startswith(".")}
    found = []
    for layer, below in rules.items():
        allowed = below | {layer}
        for top, _, files in os.walk(os.path.join(root, layer)):
            for name in sorted(files):
                if not name.endswith(SOURCES):
                    continue
                path = os.path.join(top, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if m and m.group(1) in folders and m.group(1) not in allowed:
                            found.append("%s:%d: %s includes %s" % (os.path.relpath(path, root), number,
                                                                    layer, line.strip()))
    return found


def self_test(rules):
    """Every layer that may not include another gets a planted include of it; each must be
    found, and the same tree without the plants must pass."""
    failures = []
    with tempfile.TemporaryDirectory() as root:
        for layer in rules:
            os.makedirs(os.path.join(root, layer))
            with open(os.path.join(root, layer, "Clean.h"), "w") as f:
                f.write('#include "%s/Own.h"\n' % layer + "".join('#include "%s/X.h"\n' % b for b in rules[layer]))
        if violations(root, rules):
            failures.append("a tree of allowed includes was refused: %s" % violations(root, rules))
        for layer in rules:
            for other in rules:
                if other == layer or other in rules[layer]:
                    continue
                plant = os.path.join(root, layer, "Planted.cpp")
                with open(plant, "w") as f:
                    f.write('#include <QString>\n\n#include "%s/Upward.h"\n' % other)
                found = violations(root, rules)
                if found != ["%s/Planted.cpp:3: %s includes #include \"%s/Upward.h\"" % (layer, layer, other)]:
                    failures.append("%s including %s: %s" % (layer, other, found))
                os.remove(plant)
    for failure in failures:
        print("self-test: " + failure)
    return 1 if failures else 0


def symbols_of(binary, names):
    """The symbols of `binary` (nm -C) that belong to one of the classes `names`."""
    import subprocess
    listing = subprocess.run(["nm", "-C", binary], check=True, capture_output=True, text=True).stdout
    pattern = re.compile(r"\b(%s)\b" % "|".join(map(re.escape, names)))
    return [line for line in listing.splitlines() if pattern.search(line)]


def main(argv):
    if len(argv) >= 2 and argv[1] == "--self-test":
        return self_test(parse_rules(argv[2:]))
    if len(argv) >= 4 and argv[1] == "--no-symbols":
        found = symbols_of(argv[2], argv[3:])
        for line in found[:20]:
            print(line)
        return 1 if found else 0
    if len(argv) >= 3 and argv[1] == "--root":
        found = violations(argv[2], parse_rules(argv[3:]))
        for line in found:
            print(line)
        return 1 if found else 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
