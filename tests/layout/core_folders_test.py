# SPDX-License-Identifier: GPL-3.0-or-later
"""The folders of src/core include one way: a folder never includes, through
any chain, a folder that includes it. A cycle ties folders that should be
read, tested and changed apart.

Run by ctest as: python3 core_folders_test.py PATH/TO/src/core"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/', re.M)


def folder_graph(core):
    graph = {}
    for path in core.rglob("*"):
        if path.suffix not in (".h", ".cpp") or path.parent == core:
            continue
        folder = path.relative_to(core).parts[0]
        uses = {f for f in INCLUDE.findall(path.read_text(errors="replace"))
                if f != folder and (core / f).is_dir()}
        graph.setdefault(folder, set()).update(uses)
    return graph


def cycles(graph):
    """Every pair of folders that reach each other, named once."""
    def reach(start):
        seen, todo = set(), [start]
        while todo:
            for nxt in graph.get(todo.pop(), ()):
                if nxt not in seen:
                    seen.add(nxt)
                    todo.append(nxt)
        return seen
    reached = {f: reach(f) for f in graph}
    return sorted({tuple(sorted((a, b))) for a in graph for b in reached[a]
                   if a != b and a in reached.get(b, ())})


if __name__ == "__main__":
    found = cycles(folder_graph(pathlib.Path(sys.argv[1])))
    for a, b in found:
        print(f"core folders include each other: {a} <-> {b}")
    sys.exit(1 if found else 0)
