import shutil
import subprocess
import sys

import numpy as np
import pytest

import mosswick

# Registration order of every name the module will carry.
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


def internal_failure():
    try:
        mosswick.mod_pow(5, 3, 0)
    except BaseException as e:  # noqa: BLE001 - the type under test derives from BaseException
        return e
    raise AssertionError("mod_pow(5, 3, 0) did not fail")


class TestRegistration:
    def test_all_is_the_table(self):
        assert mosswick.__all__ == TABLE
        assert mosswick.__all__[-2:] == ["Tensor", "MosswickHashMap"]
        public = {name for name in vars(mosswick) if not name.startswith("_")}
        assert public == set(TABLE)

    def test_module_doc_is_empty_string(self):
        assert mosswick.__doc__ == ""
        assert mosswick.__name__ == "mosswick"

    def test_functions_are_builtins_bound_to_the_module(self):
        for name in mosswick.__all__:
            f = getattr(mosswick, name)
            if isinstance(f, type):
                continue
            assert f.__module__ == "mosswick"
            assert f.__self__ is mosswick
            assert f.__name__ == name

    def test_text_signature_and_empty_body(self):
        assert mosswick.gcd.__text_signature__ == "(a, b)"
        assert mosswick.gcd.__doc__ is None
        assert mosswick.adam_step.__text_signature__ == (
            "(params, grads, m, v, lr=0.001, beta1=0.9, beta2=0.999, eps=1e-8, t=1)")
        assert mosswick.one_hot.__doc__ == "One-hot encode class indices into a (n, num_classes) float matrix."
        documented = [name for name in TABLE[:50] if getattr(mosswick, name).__doc__ is not None]
        assert documented == ["leaky_relu", "elu", "gelu", "silu", "softmax", "softmax_cross_entropy", "one_hot",
                              "mae_loss", "bce_loss", "adam_step", "clip_grad_norm", "dropout"]

    def test_classes(self):
        for cls, signature in ((mosswick.Tensor, "(array)"), (mosswick.MosswickHashMap, "()")):
            assert cls.__name__ == cls.__qualname__ and "." not in cls.__name__
            assert cls.__module__ == "mosswick"
            assert cls.__text_signature__ == signature
            with pytest.raises(TypeError):
                type("Sub", (cls,), {})
            assert not hasattr(cls(*([np.zeros(1)] if cls is mosswick.Tensor else [])), "__dict__")

    def test_reimport_gives_identical_objects(self):
        gcd = mosswick.gcd
        del sys.modules["mosswick"]
        import mosswick as again

        assert again is mosswick
        assert again.gcd is gcd
        sys.modules["mosswick"] = mosswick

    def test_import_does_not_need_numpy(self, python):
        out = python(
            """
            import sys
            sys.modules["numpy"] = None  # makes any import of numpy fail
            import mosswick
            print(mosswick.gcd(12, 18), "numpy" in sys.modules and sys.modules["numpy"] is not None)
            """
        ).stdout
        assert out.split() == ["6", "False"]

    def test_sub_interpreter_import_is_refused(self, python):
        out = python(
            """
            import os, _testcapi
            import mosswick
            r, w = os.pipe()
            code = f'''
            import os
            try:
                import mosswick
                os.write({w}, b"imported")
            except ImportError as e:
                os.write({w}, ("ImportError: " + str(e)).encode())
            '''
            _testcapi.run_in_subinterp(code.replace("\\n            ", "\\n"))
            os.close(w)
            print(os.read(r, 1000).decode())
            """
        ).stdout
        assert out.startswith("ImportError:")
        assert "sub-interpreters" in out

    @pytest.mark.skipif(shutil.which("nm") is None, reason="needs binutils' nm")
    def test_only_the_init_function_is_exported(self):
        symbols = subprocess.run(
            ["nm", "-D", "--defined-only", mosswick.__file__], capture_output=True, text=True, check=True
        ).stdout.split("\n")
        exported = [line.split()[-1] for line in symbols if line.strip()]
        assert exported == ["PyInit_mosswick"]
        assert mosswick.__file__.endswith("mosswick.abi3.so")


class TestInternalFailure:
    def test_escapes_exception_handlers(self):
        with pytest.raises(BaseException) as info:
            try:
                mosswick.mod_pow(5, 3, 0)
            except Exception:  # noqa: BLE001
                pytest.fail("the internal failure was caught as an Exception")
        assert not isinstance(info.value, Exception)

    def test_type(self):
        error = internal_failure()
        kind = type(error)
        assert kind.__bases__ == (BaseException,)
        assert error.args == ("attempt to calculate the remainder with a divisor of zero",)
        assert kind.__name__ not in vars(mosswick)
        assert "BaseException" in kind.__doc__
        assert type(internal_failure()) is kind  # created once
