"""The examples in the stubs' docstrings run against the module and print what they show."""

import ast
import doctest

import numpy as np
import pytest

import mosswick
from test_stubs import stub_tree


def examples():
    parser = doctest.DocTestParser()
    tests = []
    for node in ast.walk(stub_tree()):
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            test = parser.get_doctest(ast.get_docstring(node) or "", {}, node.name, "mosswick.pyi", node.body[0].lineno - 1)
            if test.examples:
                tests.append(test)
    return tests


@pytest.mark.parametrize("test", examples(), ids=lambda t: t.name)
def test_example(test):
    test.globs = {"np": np, "mosswick": mosswick}
    report = []
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
    runner.run(test, out=report.append)
    assert runner.failures == 0, "".join(report)
