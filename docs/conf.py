"""Sphinx configuration: the API reference is read from mosswick.pyi, the other pages
are sections of the README, so that each fact is stated in one place."""

import pathlib
import re
import tomllib

ROOT = pathlib.Path(__file__).resolve().parent.parent

project = "mosswick"
author = "The mosswick developers"
release = version = tomllib.loads((ROOT / "pyproject.toml").read_text())["project"]["version"]

extensions = ["autoapi.extension", "myst_parser", "sphinx.ext.napoleon"]
exclude_patterns = ["_build"]
html_theme = "alabaster"
# Messages are quoted exactly: no typographic quotes or dashes.
smartquotes = False

# The stubs are the module's only Python source; autoapi reads a directory, so it gets
# one that holds just them.
STUBS = ROOT / "build" / "docs" / "stubs"
STUBS.mkdir(parents=True, exist_ok=True)
(STUBS / "mosswick.pyi").unlink(missing_ok=True)
(STUBS / "mosswick.pyi").symlink_to(ROOT / "mosswick.pyi")

autoapi_dirs = [str(STUBS)]
autoapi_file_patterns = ["*.pyi"]
autoapi_root = "api"
autoapi_options = ["members", "special-members", "show-module-summary"]
autoapi_member_order = "bysource"
autoapi_keep_files = False

napoleon_google_docstring = False
napoleon_use_rtype = False

myst_heading_anchors = 2


def show_public_names(app, what, name, obj, skip, options):
    """The stubs declare __all__ without its value, which autoapi would read as "no
    public names": a module-level name is shown unless it begins with an underscore."""
    if name.count(".") == 1:
        return name.rpartition(".")[2].startswith("_")
    return None


# The docstrings are plain text first (help() shows them as they are), so a "|" or a
# word's trailing "_" means itself, not a substitution or a link.
PLAIN = re.compile(r"\||(?<=\w)_(?=[\s).,;:]|$)")


def keep_plain_text(app, what, name, obj, options, lines):
    for i, line in enumerate(lines):
        if not line.lstrip().startswith((">>>", "...")):
            lines[i] = PLAIN.sub(lambda m: "\\" + m.group(), line)


def setup(app):
    app.connect("autoapi-skip-member", show_public_names)
    app.connect("autodoc-process-docstring", keep_plain_text, priority=400)
