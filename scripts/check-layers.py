#!/usr/bin/env python3
"""Fails when a source file of the program includes across the layering.

check-layers.py <source root>

Every folder of the program is a layer that may include only the folders listed for
it below (its own included); a folder not listed fails too, so a new one gets its
place here. Qt headers are only for platform/qt. The storage drivers' folders are
internal: above the platform only the dictionary and the tools reach a driver, and
only through its one public header. Tests, benchmarks and fuzz targets are not
checked.
"""
import os
import re
import sys

CORE = "platform/core"
STORAGE = "platform/storage"
UI = "platform/ui"
FRAMEWORK = "platform/framework"
SCRIPT = "platform/script"
QT = "platform/qt"
PATTERNS = "app/patterns"
DRIVERS = {
    "platform/storage/dat21": "dat21.h",
    "platform/storage/dbase": "dbase.h",
    "platform/storage/odbc": "odbc.h",
    "platform/storage/text": "textfile.h",
}
DRIVER_HEADERS = [f"{folder}/{header}" for folder, header in DRIVERS.items()]

PLATFORM = [CORE, STORAGE, UI, FRAMEWORK]
SYSTEM = PLATFORM + ["dictionary", PATTERNS]
WINDOWS = ["firms", "import", "review"]

# Each folder and what it may include: folders, or single files of a folder.
MAY_INCLUDE = {
    CORE: [CORE],
    STORAGE: [CORE, STORAGE],
    **{driver: [CORE, STORAGE, driver] for driver in DRIVERS},
    UI: [CORE, STORAGE, UI],
    FRAMEWORK: PLATFORM,
    SCRIPT: PLATFORM + [SCRIPT],
    QT: PLATFORM + [QT],
    "dictionary": PLATFORM + ["dictionary"] + DRIVER_HEADERS,
    PATTERNS: SYSTEM,
    **{folder: SYSTEM + [folder] for folder in WINDOWS},
    "app": SYSTEM + WINDOWS + ["app"],
    "app/main": ["app", QT],
    "tools/zelk-script": SYSTEM + ["app", SCRIPT, "tools/zelk-script"] + DRIVER_HEADERS,
    "tools/make-examples": SYSTEM + DRIVER_HEADERS + ["tests/import"],
}
CHECKED = ["platform", "dictionary", "app", "firms", "import", "review", "tools"]
QT_ONLY = {QT}

OWN = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
QT_HEADER = re.compile(r"^\s*#\s*include\s*<(Q[A-Za-z]+|Qt[A-Za-z]*/[^>]*|q[a-z0-9_]+\.h)>")


def allowed(folder, path):
    rules = MAY_INCLUDE[folder]
    return os.path.dirname(path) in rules or path in rules


def check(root):
    faults = []
    for top in CHECKED:
        for dirpath, _, files in os.walk(os.path.join(root, top)):
            sources = sorted(f for f in files if f.endswith((".cpp", ".h")))
            if not sources:
                continue
            folder = os.path.relpath(dirpath, root).replace(os.sep, "/")
            if folder not in MAY_INCLUDE:
                faults.append(f"{folder}/: a folder with no place in the layering")
                continue
            for name in sources:
                where = f"{folder}/{name}"
                with open(os.path.join(dirpath, name), encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        own = OWN.match(line)
                        if own and "/" in own.group(1) and not allowed(folder, own.group(1)):
                            faults.append(f"{where}:{number}: includes {own.group(1)}")
                        if QT_HEADER.match(line) and folder not in QT_ONLY:
                            faults.append(f"{where}:{number}: includes a Qt header outside {QT}")
    return faults


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.getcwd()
    faults = check(root)
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} includes cross the layering")
        return 1
    print("the includes keep the layering")
    return 0


if __name__ == "__main__":
    sys.exit(main())
