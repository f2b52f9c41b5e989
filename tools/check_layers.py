"""Fails the build when a file under src/ breaks the layer rules.

Every file is read, whatever its name, and every include in it, quoted or in angle
brackets: a name that leads into a folder of src/ (directly, or from beside the
including file) counts as an include of that folder.

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
import os
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
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
PYTHON_HEADERS = re.compile(r"^(Python\.h|numpy/)")


def included_folder(src: pathlib.Path, path: pathlib.Path, form: str, name: str) -> str | None:
    """The folder of src/ that an include names, or None for a header from elsewhere. A
    quoted name is looked up beside the including file first, as the compiler does; then
    any name under src/, the include directory."""
    beside = pathlib.Path(os.path.normpath(path.parent / name))
    if form == '"' and beside.is_file() and beside.is_relative_to(src):
        return beside.relative_to(src).parts[0]
    parts = pathlib.Path(os.path.normpath(name)).parts
    if len(parts) > 1 and (src / parts[0]).is_dir():
        return parts[0]
    return None


def include_faults(src: pathlib.Path) -> list[str]:
    """Every file under src/, whatever its name: sources, headers, included fragments."""
    src = pathlib.Path(os.path.normpath(src.absolute()))
    faults = []
    for path in sorted(p for p in src.rglob("*") if p.is_file()):
        folder = path.relative_to(src).parts[0]
        if folder not in MAY_INCLUDE:
            faults.append(f"{path}: folder {folder}/ has no layer rule in {__file__}")
            continue
        allowed = MAY_INCLUDE[folder]
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            form, name = match.groups()
            where = f"{path.relative_to(src.parent)}:{number}"
            if PYTHON_HEADERS.match(name) and folder != "frame":
                faults.append(f"{where}: only frame/ includes Python or NumPy headers")
            target = included_folder(src, path, form, name)
            if target is not None and allowed is not None and target not in allowed:
                faults.append(f"{where}: {folder}/ may not include {target}/")
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
