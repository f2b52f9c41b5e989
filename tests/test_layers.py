"""The layer rules of src/ hold, and the build's check notices each way of breaking them."""

import os
import shutil
import subprocess
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CHECK = os.path.join(ROOT, "tools", "check_layers.py")


def check(src, *objects):
    args = [sys.executable, CHECK, str(src)] + (["--objects", *map(str, objects)] if objects else [])
    return subprocess.run(args, capture_output=True, text=True)


def test_the_tree_keeps_the_rules():
    result = check(os.path.join(ROOT, "src"))
    assert result.returncode == 0, result.stderr


@pytest.mark.parametrize("path, line, fault", [
    ("ml/kmeans.cpp", '#include "frame/ref.hpp"', "ml/ may not include frame/"),
    ("dl/activations.cpp", "#include <tensor/tensor.hpp>", "dl/ may not include tensor/"),
    ("dl/extra.h", '#include "../tensor/tensor.hpp"', "dl/ may not include tensor/"),
    ("core/table.inc", '  #  include "vecmath/vector_math.hpp"', "core/ may not include vecmath/"),
    ("vecmath/extra.hh", "#include <dl/losses.hpp>", "vecmath/ may not include dl/"),
    ("core/errors.hpp", "#include <Python.h>", "only frame/ includes Python or NumPy headers"),
    ("tensor/extra.cc", '#include "numpy/arrayobject.h"', "only frame/ includes Python or NumPy headers"),
    ("stray/x.cpp", "", "folder stray/ has no layer rule"),
])
def test_each_break_is_caught(tmp_path, path, line, fault):
    src = tmp_path / "src"
    shutil.copytree(os.path.join(ROOT, "src"), src)
    (src / path).parent.mkdir(exist_ok=True)
    with open(src / path, "a") as f:
        f.write(line + "\n")
    result = check(src)
    assert result.returncode == 1 and fault in result.stderr, result.stderr


def test_weak_symbols_in_kernel_objects_are_caught(tmp_path):
    compiler = shutil.which("c++")
    if compiler is None:
        pytest.skip("needs a C++ compiler")
    sources = {"weak": "inline int shared() { return 1; }\nint use() { return shared(); }\n",
               "internal": "static int own() { return 2; }\nint use_own() { return own(); }\n"}
    for name, text in sources.items():
        (tmp_path / f"{name}.cpp").write_text(text)
        subprocess.run([compiler, "-O0", "-c", tmp_path / f"{name}.cpp", "-o", tmp_path / f"{name}.o"], check=True)
    assert check(os.path.join(ROOT, "src"), tmp_path / "internal.o").returncode == 0
    result = check(os.path.join(ROOT, "src"), tmp_path / "internal.o", tmp_path / "weak.o")
    assert result.returncode == 1
    assert "weak.o: weak symbol shared()" in result.stderr and "internal.o" not in result.stderr
