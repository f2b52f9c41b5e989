"""Argument binding and conversion, as every function and method sees them."""

import numpy as np
import pytest

import mosswick


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class Floaty:
    def __float__(self):
        return 2.5


class TypeErrorSubclass(TypeError):
    pass


class RaisesTypeErrorWithCause:
    def __index__(self):
        raise TypeError("no index today") from ValueError("root cause")


class RaisesTypeErrorSubclass:
    def __index__(self):
        raise TypeErrorSubclass("special")


def message(call):
    with pytest.raises(BaseException) as info:
        call()
    return type(info.value), str(info.value)


class TestBinding:
    @pytest.mark.parametrize(
        "call, text",
        [
            (lambda: mosswick.gcd(1, 2, 3), "gcd() takes 2 positional arguments but 3 were given"),
            (lambda: mosswick.leaky_relu(np.zeros(1), 0.1, 3),
             "leaky_relu() takes from 1 to 2 positional arguments but 3 were given"),
            (lambda: mosswick.MosswickHashMap(1), "MosswickHashMap.__new__() takes 0 positional arguments but 1 was given"),
            (lambda: mosswick.MosswickHashMap().get(1, 2),
             "MosswickHashMap.get() takes 1 positional arguments but 2 were given"),
        ],
    )
    def test_too_many_positional(self, call, text):
        assert message(call) == (TypeError, text)

    @pytest.mark.parametrize(
        "call, text",
        [
            (lambda: mosswick.mod_pow(), "mod_pow() missing 3 required positional arguments: 'base', 'exp', and 'modulus'"),
            (lambda: mosswick.gcd(), "gcd() missing 2 required positional arguments: 'a' and 'b'"),
            (lambda: mosswick.gcd(b=1), "gcd() missing 1 required positional argument: 'a'"),
            (lambda: mosswick.mod_pow(exp=1), "mod_pow() missing 2 required positional arguments: 'base' and 'modulus'"),
            (lambda: mosswick.MosswickHashMap().insert(1),
             "MosswickHashMap.insert() missing 1 required positional argument: 'value'"),
        ],
    )
    def test_missing(self, call, text):
        assert message(call) == (TypeError, text)

    @pytest.mark.parametrize(
        "call, text",
        [
            (lambda: mosswick.gcd(1, a=2), "gcd() got multiple values for argument 'a'"),
            (lambda: mosswick.gcd(1, c=2), "gcd() got an unexpected keyword argument 'c'"),
            (lambda: mosswick.MosswickHashMap(size=3), "MosswickHashMap.__new__() got an unexpected keyword argument 'size'"),
            (lambda: mosswick.MosswickHashMap().insert(1, 2, key=3),
             "MosswickHashMap.insert() got multiple values for argument 'key'"),
        ],
    )
    def test_keywords(self, call, text):
        assert message(call) == (TypeError, text)

    def test_every_parameter_by_keyword(self):
        assert mosswick.mod_pow(base=2, exp=10, modulus=1000) == 24
        assert mosswick.mod_pow(modulus=1000, base=2, exp=10) == 24
        assert mosswick.leaky_relu(alpha=0.5, x=np.array([-2.0])).tolist() == [-1.0]
        table = mosswick.MosswickHashMap()
        assert table.insert(value=5, key=1) is None and table.get(key=1) == 5


class TestConversion:
    def test_integers_accept_index_objects(self):
        assert mosswick.gcd(Index(12), Index(-18)) == 6
        assert mosswick.is_prime(Index(97)) is True
        assert mosswick.is_prime(np.uint64(2**64 - 59)) is True
        assert mosswick.gcd(True, 4) == 1

    def test_out_of_range_integers_raise_overflow_unwrapped(self):
        for call in (lambda: mosswick.gcd(2**63, 1), lambda: mosswick.is_prime(-1), lambda: mosswick.is_prime(2**64)):
            kind, text = message(call)
            assert kind is OverflowError and not text.startswith("argument")

    def test_type_errors_name_the_argument(self):
        assert message(lambda: mosswick.gcd(1.5, 2)) == (
            TypeError, "argument 'a': 'float' object cannot be interpreted as an integer")
        assert message(lambda: mosswick.is_prime("7")) == (
            TypeError, "argument 'n': 'str' object cannot be interpreted as an integer")
        assert message(lambda: mosswick.leaky_relu(np.zeros(1), "x")) == (
            TypeError, "argument 'alpha': must be real number, not str")

    def test_floats_accept_ints_and_float_like_objects(self):
        assert mosswick.leaky_relu(np.array([-2.0]), 1).tolist() == [-2.0]
        assert mosswick.leaky_relu(np.array([-2.0]), Floaty()).tolist() == [-5.0]
        assert mosswick.leaky_relu(np.array([-2.0]), np.float32(0.5)).tolist() == [-1.0]

    def test_only_exact_type_errors_are_renamed_and_the_cause_is_kept(self):
        with pytest.raises(TypeError) as info:
            mosswick.gcd(RaisesTypeErrorWithCause(), 1)
        assert type(info.value) is TypeError
        assert str(info.value) == "argument 'a': no index today"
        assert isinstance(info.value.__cause__, ValueError) and str(info.value.__cause__) == "root cause"
        with pytest.raises(TypeErrorSubclass, match="^special$"):
            mosswick.gcd(RaisesTypeErrorSubclass(), 1)

    def test_instances_of_the_wrong_class(self):
        table = mosswick.MosswickHashMap()
        with pytest.raises(TypeError, match="descriptor 'get'"):
            mosswick.MosswickHashMap.get(42, 1)
        table.insert(1, 1)
        with pytest.raises(TypeError):
            table.insert(1, "one")
        assert table.insert(1, 2) == 1  # the failed call released its borrow
