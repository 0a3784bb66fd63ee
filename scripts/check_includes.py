#!/usr/bin/env python3
"""Checks that every #include "..." between the program's folders points down and
that no two units (X.h with X.cpp) include each other, directly or through others.

Order, lowest first: platform, shell, engine, the Qt-free files of app/ (the list
BRISKO_CORE_APP in CMakeLists.txt), controls, dialogs, the rest of app/. A file may
include its own layer or any layer below it. Prints each fault; exit status 1 if any.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ["platform", "shell", "engine", "app", "controls", "dialogs"]


def core_app_units():
    text = open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8").read()
    return set(re.search(r"set\(BRISKO_CORE_APP ([^)]*)\)", text).group(1).split())


def rank(unit, core_app):
    folder, name = unit.split("/", 1)
    if folder == "app":
        return 3 if name in core_app else 6
    return {"platform": 0, "shell": 1, "engine": 2, "controls": 4, "dialogs": 5}[folder]


def include_graph():
    graph = {}
    for folder in FOLDERS:
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            stem, ext = os.path.splitext(name)
            if ext not in (".h", ".cpp") or name == "main.cpp":
                continue
            unit = folder + "/" + stem
            text = open(os.path.join(ROOT, folder, name), encoding="utf-8", errors="replace").read()
            for target in re.findall(r'^\s*#\s*include\s+"([^"]+)\.h"', text, re.M):
                if target.split("/")[0] in FOLDERS and target != unit:
                    graph.setdefault(unit, set()).add(target)
            graph.setdefault(unit, set())
    return graph


def cycles(graph):
    found, state = [], {}

    def visit(unit, path):
        state[unit] = "open"
        for target in sorted(graph.get(unit, ())):
            if state.get(target) == "open":
                found.append(path[path.index(target):] + [target])
            elif target not in state:
                visit(target, path + [target])
        state[unit] = "done"

    for unit in sorted(graph):
        if unit not in state:
            visit(unit, [unit])
    return found


def main():
    core_app = core_app_units()
    graph = include_graph()
    faults = [f"{u} includes {t}.h, a layer above it"
              for u in sorted(graph) for t in sorted(graph[u]) if rank(t, core_app) > rank(u, core_app)]
    faults += ["circle: " + " -> ".join(c) for c in cycles(graph)]
    for fault in faults:
        print(fault)
    edges = sum(len(t) for t in graph.values())
    print(f"{len(graph)} units, {edges} include arrows, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
