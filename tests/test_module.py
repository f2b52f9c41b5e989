"""Registration: the names in order, documentation, the classes, import and the internal-failure type.
(Signatures and defaults are compared with the stubs in test_stubs.py.)"""

import shutil
import subprocess
import sys

import numpy as np
import pytest

import mosswick

# Registration order of every name the module carries.
TABLE = [
    "quicksort", "quicksort_f64", "mergesort", "parallel_sort", "binary_search", "kth_smallest",
    "top_k", "dedup", "levenshtein", "gcd", "lcm", "mod_pow", "is_prime", "sieve", "fibonacci",
    "mean", "median", "variance", "std_dev", "dot_product", "matmul", "kmeans", "pairwise_manhattan",
    "pairwise_cosine", "determinant", "matrix_inverse", "relu", "relu_derivative", "leaky_relu",
    "leaky_relu_derivative", "elu", "elu_derivative", "gelu", "silu", "silu_derivative", "sigmoid",
    "sigmoid_derivative", "tanh", "tanh_derivative", "softmax", "softmax_cross_entropy", "one_hot",
    "mse_loss", "categorical_cross_entropy", "mae_loss", "bce_loss", "sgd_momentum_step", "adam_step",
    "clip_grad_norm", "dropout", "Tensor", "MosswickHashMap",
]


def test_all_is_the_table_and_functions_are_bound_to_the_module():
    assert mosswick.__all__ == TABLE
    assert {name for name in vars(mosswick) if not name.startswith("_")} == set(TABLE)
    assert mosswick.__doc__ == "" and mosswick.__name__ == "mosswick"
    for name in TABLE[:50]:
        f = getattr(mosswick, name)
        assert (f.__module__, f.__self__, f.__name__) == ("mosswick", mosswick, name)


def test_documentation():
    documented = [name for name in TABLE[:50] if getattr(mosswick, name).__doc__ is not None]
    assert documented == ["leaky_relu", "elu", "gelu", "silu", "softmax", "softmax_cross_entropy", "one_hot",
                          "mae_loss", "bce_loss", "adam_step", "clip_grad_norm", "dropout"]
    assert mosswick.one_hot.__doc__ == "One-hot encode class indices into a (n, num_classes) float matrix."


@pytest.mark.parametrize("cls, signature", [(mosswick.Tensor, "(array)"), (mosswick.MosswickHashMap, "()")])
def test_classes(cls, signature):
    assert cls.__name__ == cls.__qualname__ and "." not in cls.__name__
    assert cls.__module__ == "mosswick" and cls.__text_signature__ == signature
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})
    assert not hasattr(cls(*([np.zeros(1)] if cls is mosswick.Tensor else [])), "__dict__")


def test_reimport_gives_identical_objects():
    gcd = mosswick.gcd
    del sys.modules["mosswick"]
    try:
        import mosswick as again

        assert again is mosswick and again.gcd is gcd
    finally:
        sys.modules["mosswick"] = mosswick


def test_without_numpy_only_array_routines_fail(python):
    out = python(
        """
        import sys

        class NotInstalled:  # NumPy as if it were not installed
            def find_spec(self, name, path=None, target=None):
                if name.partition(".")[0] == "numpy":
                    raise ModuleNotFoundError(f"No module named {name!r}", name=name)

        sys.meta_path.insert(0, NotInstalled())
        import mosswick
        print(mosswick.gcd(12, 18))
        try:
            mosswick.relu([1.0])
        except BaseException as e:
            print(type(e).__mro__[1].__name__)
            print(e)
        print(mosswick.gcd(6, 4))
        """
    ).stdout.splitlines()
    assert out == ["6", "BaseException", "Failed to access NumPy array API capsule: No module named 'numpy'; "
                   "install it with: pip install 'mosswick[numpy]'", "2"]


def test_sub_interpreter_import_is_refused(python):
    proc = python("import _testcapi, mosswick; print(_testcapi.run_in_subinterp('import mosswick'))")
    assert proc.stdout.split() == ["-1"]  # the import in the sub-interpreter failed
    assert "ImportError: " in proc.stderr and "sub-interpreters" in proc.stderr


@pytest.mark.skipif(shutil.which("nm") is None, reason="needs binutils' nm")
def test_only_the_init_function_is_exported():
    symbols = subprocess.run(
        ["nm", "-D", "--defined-only", mosswick.__file__], capture_output=True, text=True, check=True
    ).stdout.split("\n")
    assert [line.split()[-1] for line in symbols if line.strip()] == ["PyInit_mosswick"]
    assert mosswick.__file__.endswith("mosswick.abi3.so")


def test_internal_failure_type():
    with pytest.raises(BaseException) as info:
        try:
            mosswick.mod_pow(5, 3, 0)
        except Exception:  # noqa: BLE001
            pytest.fail("the internal failure was caught as an Exception")
    kind = type(info.value)
    assert info.value.args == ("attempt to calculate the remainder with a divisor of zero",)
    assert kind.__name__ not in vars(mosswick) and "BaseException" in kind.__doc__
    with pytest.raises(kind):  # created once
        mosswick.median([1.0, float("nan")])
