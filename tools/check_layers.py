"""Fails the build when a source breaks the layer rules.

The folders of src/ and what each may include:
  core/                       core/ only, and no Python or NumPy header
  vecmath/                    core/ and itself: the vector exp, log and tanh
  classic/ hashmap/ ml/       core/ and itself
  random/                     core/ and itself
  dl/                         core/, itself, random/ and vecmath/
  tensor/                     core/, itself and random/ (the shared random sources)
  frame/                      core/ and itself: the CPython and NumPy binding, no kernel
  module/                     anything: the table, the classes, initialisation

With --objects, the object files of the per-instruction-set compilations must
define no weak symbol: an inline function or template instance that two
compilations share would be kept once by the linker, possibly the AVX-512 copy.
"""

from __future__ import annotations

import argparse
import pathlib
import re
import subprocess
import sys

MAY_INCLUDE = {
    "core": {"core"},
    "vecmath": {"core", "vecmath"},
    "classic": {"core", "classic"},
    "hashmap": {"core", "hashmap"},
    "ml": {"core", "ml"},
    "random": {"core", "random"},
    "dl": {"core", "dl", "random", "vecmath"},
    "tensor": {"core", "tensor", "random"},
    "frame": {"core", "frame"},
    "module": None,
}
PYTHON_HEADERS = re.compile(r"#\s*include\s*<(Python\.h|numpy/)")
LOCAL_INCLUDE = re.compile(r'#\s*include\s*"([^"/]+)/')


def include_faults(src: pathlib.Path) -> list[str]:
    faults = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in {".cpp", ".hpp"}:
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in MAY_INCLUDE:
            faults.append(f"{path}: folder {folder}/ has no layer rule in {__file__}")
            continue
        allowed = MAY_INCLUDE[folder]
        for number, line in enumerate(path.read_text().splitlines(), 1):
            where = f"{path.relative_to(src.parent)}:{number}"
            if PYTHON_HEADERS.search(line) and folder != "frame":
                faults.append(f"{where}: only frame/ includes Python or NumPy headers")
            match = LOCAL_INCLUDE.search(line)
            if match and allowed is not None and match.group(1) not in allowed:
                faults.append(f"{where}: {folder}/ may not include {match.group(1)}/")
    return faults


def weak_symbol_faults(objects: list[str]) -> list[str]:
    faults = []
    for obj in objects:
        listing = subprocess.run(["nm", "-C", "--defined-only", obj], capture_output=True, text=True, check=True)
        for line in listing.stdout.splitlines():
            parts = line.split(maxsplit=2)
            if len(parts) == 3 and parts[1] in {"W", "V", "u"}:
                faults.append(f"{obj}: weak symbol {parts[2]}")
    return faults


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("src", type=pathlib.Path)
    parser.add_argument("--objects", nargs="*", default=[])
    args = parser.parse_args()
    faults = include_faults(args.src) + weak_symbol_faults(args.objects)
    for fault in faults:
        print(f"layer rule broken: {fault}", file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
