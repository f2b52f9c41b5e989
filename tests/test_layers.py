"""The layer rules of src/ hold, and the build's check notices when they are broken."""

import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CHECK = os.path.join(ROOT, "tools", "check_layers.py")


def check(src):
    return subprocess.run([sys.executable, CHECK, str(src)], capture_output=True, text=True)


def test_the_tree_keeps_the_rules_and_breaking_them_is_caught(tmp_path):
    assert check(os.path.join(ROOT, "src")).returncode == 0
    src = tmp_path / "src"
    shutil.copytree(os.path.join(ROOT, "src"), src)
    with open(src / "ml" / "kmeans.cpp", "a") as f:
        f.write('#include "frame/ref.hpp"\n')
    with open(src / "core" / "errors.hpp", "a") as f:
        f.write("#include <Python.h>\n")
    (src / "stray").mkdir()
    (src / "stray" / "x.cpp").write_text("")
    result = check(src)
    assert result.returncode == 1
    assert "ml/ may not include frame/" in result.stderr
    assert "only frame/ includes Python" in result.stderr
    assert "folder stray/ has no layer rule" in result.stderr
