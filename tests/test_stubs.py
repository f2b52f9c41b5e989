"""The type stubs shipped beside the module agree with it."""

import ast
import functools
import inspect
import os

import pytest

import mosswick
from stub_kinds import KINDS

STUB = os.path.join(os.path.dirname(mosswick.__file__), "mosswick.pyi")


def stub_tree():
    with open(STUB) as f:
        return ast.parse(f.read())


def public(nodes):
    return {n.name: n for n in nodes if isinstance(n, (ast.FunctionDef, ast.ClassDef)) and not n.name.startswith("_")}


def stub_parameters(node, drop_first):
    args = node.args.args[1:] if drop_first else node.args.args
    defaults = [None] * (len(node.args.args) - len(node.args.defaults)) + list(node.args.defaults)
    defaults = defaults[1:] if drop_first else defaults
    return [(a.arg, inspect.Parameter.empty if d is None else ast.literal_eval(d)) for a, d in zip(args, defaults)]


def runtime_parameters(obj):
    params = list(inspect.signature(obj).parameters.values())
    if params and params[0].name in ("self", "cls"):
        params = params[1:]
    return [(p.name, p.default) for p in params]


def test_same_public_names():
    assert set(public(stub_tree().body)) == set(mosswick.__all__)


def documented():
    """(label, node, runtime object) for both classes and every function, method and property."""
    found = []
    for node in public(stub_tree().body).values():
        runtime = getattr(mosswick, node.name)
        found.append((node.name, node, runtime))
        if isinstance(node, ast.ClassDef):
            found += [(f"{node.name}.{m.name}", m, getattr(runtime, m.name))
                      for m in node.body if isinstance(m, ast.FunctionDef)]
    return found


def sections(doc):
    lines = doc.splitlines()
    return {a for a, b in zip(lines, lines[1:]) if b and set(b) == {"-"} and len(b) == len(a)}


@pytest.mark.parametrize(("label", "node", "runtime"), documented(), ids=lambda v: v if isinstance(v, str) else "-")
def test_docstring_sections(label, node, runtime):
    doc = ast.get_docstring(node)
    assert doc and doc.split("\n", 1)[0].strip(), label
    if isinstance(node, ast.ClassDef):
        expected = {"Examples"}
    else:
        takes = len(node.args.args) > (0 if label in mosswick.__all__ else 1)
        expected = {"Returns", "Raises", "Examples"} | ({"Parameters"} if takes else set())
    assert expected <= sections(doc), label
    # What the module itself says comes first, word for word.
    if runtime.__doc__ and not label.rpartition(".")[2].startswith("__"):
        assert doc.startswith(runtime.__doc__), label


@pytest.mark.parametrize("name", [n for n, node in public(stub_tree().body).items() if isinstance(node, ast.FunctionDef)])
def test_function_parameters_and_defaults(name):
    node = public(stub_tree().body)[name]
    assert stub_parameters(node, drop_first=False) == runtime_parameters(getattr(mosswick, name))


@pytest.mark.parametrize("name", ["Tensor", "MosswickHashMap"])
def test_class_members(name):
    cls = getattr(mosswick, name)
    node = public(stub_tree().body)[name]
    members = [n for n in node.body if isinstance(n, ast.FunctionDef)]
    runtime_members = {m for m in vars(cls) if not m.startswith("_")}
    assert {m.name for m in members if not m.name.startswith("_")} == runtime_members
    for member in members:
        decorators = {d.id for d in member.decorator_list if isinstance(d, ast.Name)}
        if member.name == "__new__":
            assert stub_parameters(member, drop_first=True) == runtime_parameters(cls)
        elif "property" in decorators:
            assert inspect.isgetsetdescriptor(vars(cls)[member.name])
        elif not member.name.startswith("_"):
            expected = runtime_parameters(getattr(cls, member.name))
            assert stub_parameters(member, drop_first=True) == expected, member.name


def call_method(cls, name, *args):
    instance = KINDS["Tensor"]()[0][0] if cls is mosswick.Tensor else cls()
    return getattr(instance, name)(*args)


def targets():
    """(label, target, parameters) for every function, constructor and method with parameters;
    target(*args) makes the call, a method on a new instance."""
    for node in public(stub_tree().body).values():
        if isinstance(node, ast.FunctionDef):
            yield node.name, getattr(mosswick, node.name), node.args.args
            continue
        cls = getattr(mosswick, node.name)
        for member in (m for m in node.body if isinstance(m, ast.FunctionDef)):
            decorators = {d.id for d in member.decorator_list if isinstance(d, ast.Name)}
            if member.name == "__new__":
                target = cls
            elif "classmethod" in decorators:
                target = getattr(cls, member.name)
            elif member.name.startswith("_") or "property" in decorators:
                continue
            else:
                target = functools.partial(call_method, cls, member.name)
            yield f"{node.name}.{member.name}", target, member.args.args[1:]


@pytest.mark.parametrize(
    ("target", "annotations", "position"),
    [
        pytest.param(target, [ast.unparse(p.annotation) for p in parameters], k, id=f"{label}-{parameter.arg}")
        for label, target, parameters in targets()
        for k, parameter in enumerate(parameters)
    ],
)
def test_each_parameter_converts_what_its_annotation_admits(target, annotations, position):
    def converts(value):
        args = [KINDS[annotation]()[0][0] for annotation in annotations]
        args[position] = value
        try:
            target(*args)
        except TypeError:
            return False
        except (ValueError, IndexError):
            pass  # converted, then refused for its value
        return True

    admitted, refused = KINDS[annotations[position]]()
    assert [form for form in admitted if not converts(form)] == []
    assert [form for form in refused if converts(form)] == []
