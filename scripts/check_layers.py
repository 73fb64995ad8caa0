#!/usr/bin/env python3
"""Fails when a file under src/ includes a folder its layer may not use.

The layers and what each may include come from src/layers.txt. A front end
(marked "*") may include every core folder and the front ends it names; no
core folder may include a front end. Usage: check_layers.py [SOURCE_ROOT]
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z0-9_]+)/')


def read_layers(path):
    layers = {}
    for line in path.read_text().splitlines():
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        name, _, uses = line.partition(":")
        layers[name.strip()] = uses.split()
    core = [n for n, u in layers.items() if "*" not in u]
    return {n: (set(core) | set(u) if "*" in u else set(u)) - {"*"} for n, u in layers.items()}


def check(root):
    src = root / "src"
    layers = read_layers(src / "layers.txt")
    folders = {p.name for p in src.iterdir() if p.is_dir()}
    faults = []
    for folder in sorted(folders - set(layers)):
        faults.append(f"src/{folder}/: folder not declared in src/layers.txt")
    for folder in sorted(folders & set(layers)):
        allowed = layers[folder] | {folder}
        for path in sorted((src / folder).rglob("*")):
            if path.suffix not in (".h", ".cpp", ".hpp", ".cc"):
                continue
            for number, text in enumerate(path.read_text(errors="replace").splitlines(), 1):
                m = INCLUDE.match(text)
                if m and m.group(1) in folders and m.group(1) not in allowed:
                    faults.append(f"{path.relative_to(root)}:{number}: {folder} may not include "
                                  f"{m.group(1)}/ (allowed: {', '.join(sorted(allowed))})")
    return faults


def self_test():
    """The check over a copy of the real tree with one include against the order."""
    import shutil
    import tempfile
    real = pathlib.Path(__file__).resolve().parent.parent
    with tempfile.TemporaryDirectory() as tmp:
        copy = pathlib.Path(tmp)
        shutil.copytree(real / "src", copy / "src")
        if check(copy):
            print("self-test: the copied tree should pass", file=sys.stderr)
            return 1
        bad = copy / "src" / "codec" / "segment.h"
        bad.write_text(bad.read_text() + '\n#include "model/page.h"\n')
        faults = check(copy)
        if len(faults) != 1 or "codec may not include model/" not in faults[0]:
            print(f"self-test: expected one fault for codec -> model, got {faults}", file=sys.stderr)
            return 1
        (copy / "src" / "stray").mkdir()
        if not any("not declared" in f for f in check(copy)):
            print("self-test: an undeclared folder should fail", file=sys.stderr)
            return 1
    print("check_layers self-test: an include against the order and an undeclared folder fail")
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    faults = check(root)
    for f in faults:
        print(f, file=sys.stderr)
    if faults:
        print(f"check_layers: {len(faults)} include(s) against the layer order", file=sys.stderr)
        return 1
    print("check_layers: every include follows src/layers.txt")
    return 0


if __name__ == "__main__":
    sys.exit(main())
