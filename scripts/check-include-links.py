#!/usr/bin/env python3
"""Fails when a file includes a header of a library its target does not link.

Every target of src/ and tools/ is read from its CMakeLists.txt: the files
it is built from, and the libraries its target_link_libraries() names. A
header belongs to the target that lists it; a file that includes another
target's header must be in a target that links that one itself (not only
through a third), so that each library's CMake says what it really uses.
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
blocks = re.compile(r"\b(add_library|add_executable|target_link_libraries)\s*\(([^)]*)\)", re.S)
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)

sources = {}  # target -> files it is built from
links = {}  # target -> targets it links
owner = {}  # file -> target that lists it
for cmake in sorted(list(root.glob("src/*/CMakeLists.txt")) + list(root.glob("tools/*/CMakeLists.txt"))):
    text = re.sub(r"#[^\n]*", "", cmake.read_text())
    for kind, body in blocks.findall(text):
        words = body.split()
        name, rest = words[0], words[1:]
        if kind == "target_link_libraries":
            links.setdefault(name, set()).update(w.replace("corvant::", "corvant_") for w in rest)
            continue
        files = [cmake.parent / w for w in rest if w.endswith((".cpp", ".h"))]
        if "ALIAS" in rest:
            continue
        sources[name] = files
        for f in files:
            owner.setdefault(f.resolve(), name)

failures = []
for target, files in sorted(sources.items()):
    for f in files:
        if not f.exists():
            continue
        for header in include.findall(f.read_text(errors="replace")):
            for base in ("src", "tools"):
                path = (root / base / header).resolve()
                needed = owner.get(path)
                if needed:
                    break
            if needed and needed != target and needed not in links.get(target, set()):
                failures.append(f"{f.relative_to(root)}: includes {header} of {needed}, "
                                f"which {target} does not link")
for line in failures:
    print(line)
print(f"{len(sources)} targets checked, {len(failures)} includes of unlinked libraries")
sys.exit(1 if failures else 0)
