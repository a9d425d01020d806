#!/usr/bin/env python3
"""Fails when an #include in src/ points the wrong way between layers.

The layers, each a folder, and what each may include besides itself:

    core/platform   nothing else of ours
    core/tree       core/platform
    core/feeds      core/tree, core/platform
    core/store      core/tree, core/platform
    core/sync       core/store, core/feeds, core/tree, core/platform
    ui/frame        core
    ui/collection   ui/frame, core
    ui/navtree      ui/collection, ui/frame, core
    ui/browser      ui/collection, ui/frame, core
    ui/app          ui/navtree, ui/browser, ui/collection, ui/frame, core
    cli             core

Nothing in core or cli includes a Qt header. A quoted include is read as
"folder/file.h" against the include roots src/core and src/ui (a name
without a folder is a file beside the includer), or as "ui/folder/file.h"
and "core/folder/file.h" against src, which kelvor-tool has as a root too.
Nothing in cli includes anything of ui, however it is spelt. The tree is a
view: navtree reaches downloads and the database only through the
collection service, never by including the download queue or the store.

Usage: check_layers.py [PROJECT_DIR]
Ends with the line "N passed, N failed" and exits non-zero on a failure.
"""

import os
import re
import sys

PROJECT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                          os.path.join(os.path.dirname(__file__), ".."))
SRC = os.path.join(PROJECT, "src")

# The folder of each layer under src/, and the first path element an
# include of it starts with.
LAYERS = {
    "core/platform": "platform",
    "core/tree": "tree",
    "core/feeds": "feeds",
    "core/store": "store",
    "core/sync": "sync",
    "ui/frame": "frame",
    "ui/collection": "collection",
    "ui/navtree": "navtree",
    "ui/browser": "browser",
    "ui/app": "app",
    "cli": "cli",
}
CORE = {"core/platform", "core/tree", "core/feeds", "core/store", "core/sync"}
ALLOWED = {
    "core/platform": set(),
    "core/tree": {"core/platform"},
    "core/feeds": {"core/tree", "core/platform"},
    "core/store": {"core/tree", "core/platform"},
    "core/sync": {"core/store", "core/feeds", "core/tree", "core/platform"},
    "ui/frame": CORE,
    "ui/collection": {"ui/frame"} | CORE,
    "ui/navtree": {"ui/collection", "ui/frame"} | CORE,
    "ui/browser": {"ui/collection", "ui/frame"} | CORE,
    "ui/app": {"ui/navtree", "ui/browser", "ui/collection", "ui/frame"} | CORE,
    "cli": CORE,
}
NO_QT = CORE | {"cli"}
# Includes a layer may not make although their layer is allowed.
FORBIDDEN_FILES = {
    "ui/navtree": [("core/feeds", "DownloadQueue.h"), ("core/store", None)],
}
BY_PREFIX = {prefix: layer for layer, prefix in LAYERS.items()}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def target_of(name):
    """The layer an include names, None for one outside the project."""
    parts = [part for part in name.split("/") if part not in (".", "..")]
    if not parts:
        return None
    if parts[0] in ("core", "ui") and len(parts) > 2:
        layer = "/".join(parts[:2])
        return layer if layer in LAYERS else parts[0]
    return BY_PREFIX.get(parts[0])


def layer_of(path):
    rel = os.path.relpath(path, SRC).replace(os.sep, "/")
    for layer in sorted(LAYERS, key=len, reverse=True):
        if rel.startswith(layer + "/"):
            return layer
    return None


def problems_of(path):
    layer = layer_of(path)
    if layer is None:
        rel = os.path.relpath(path, PROJECT)
        return [f"{rel}: lies in no layer's folder"]
    found = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            kind, name = match.groups()
            where = f"{os.path.relpath(path, PROJECT)}:{number}"
            target = target_of(name) if "/" in name else None
            if layer == "cli" and target and target.startswith("ui"):
                found.append(f"{where}: cli may not include {name} (ui)")
                continue
            if kind == "<":
                if layer in NO_QT and re.match(r"Q[A-Za-z]|qt", name):
                    found.append(f"{where}: {layer} includes the Qt header <{name}>")
                continue
            if target is None or target == layer:
                continue
            if target not in ALLOWED[layer]:
                found.append(f"{where}: {layer} may not include {name} ({target})")
                continue
            for banned, file in FORBIDDEN_FILES.get(layer, []):
                if target == banned and (file is None or name.endswith("/" + file)):
                    found.append(f"{where}: {layer} may not include {name} "
                                 "(the collection service owns it)")
    return found


def main():
    passed = failed = 0
    for root, _, files in os.walk(SRC):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, name)
            problems = problems_of(path)
            if problems:
                failed += 1
                for problem in problems:
                    print("FAIL", problem)
            else:
                passed += 1
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
