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


class Clears:
    """A number whose conversion empties a list, as Python code run by a conversion may."""

    def __init__(self, target):
        self.target = target

    def __float__(self):
        self.target.clear()
        return 3.0


def adam_step_at(t):
    mosswick.adam_step(*(np.zeros(1) for _ in range(4)), t=t)


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
            (lambda: mosswick.gcd(b=1), "gcd() missing 1 required positional argument: 'a'"),
            (lambda: mosswick.gcd(), "gcd() missing 2 required positional arguments: 'a' and 'b'"),
            (lambda: mosswick.mod_pow(exp=1), "mod_pow() missing 2 required positional arguments: 'base' and 'modulus'"),
            (lambda: mosswick.mod_pow(), "mod_pow() missing 3 required positional arguments: 'base', 'exp', and 'modulus'"),
            (lambda: mosswick.adam_step(lr=0.1),
             "adam_step() missing 4 required positional arguments: 'params', 'grads', 'm', and 'v'"),
            (lambda: mosswick.sgd_momentum_step(np.zeros(1)), "sgd_momentum_step() missing 4 required positional "
             "arguments: 'grads', 'velocity', 'lr', and 'momentum'"),
            (lambda: mosswick.Tensor.rand(), "Tensor.rand() missing 1 required positional argument: 'shape'"),
            (lambda: mosswick.MosswickHashMap().insert(1),
             "MosswickHashMap.insert() missing 1 required positional argument: 'value'"),
            (lambda: mosswick.gcd(1, a=2), "gcd() got multiple values for argument 'a'"),
            (lambda: mosswick.gcd(1, c=2), "gcd() got an unexpected keyword argument 'c'"),
            (lambda: mosswick.MosswickHashMap(size=3), "MosswickHashMap.__new__() got an unexpected keyword argument 'size'"),
            (lambda: mosswick.MosswickHashMap().insert(1, 2, key=3),
             "MosswickHashMap.insert() got multiple values for argument 'key'"),
        ],
    )
    def test_refusals(self, call, text):
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

    @pytest.mark.parametrize("call", [lambda: mosswick.gcd(2**63, 1), lambda: mosswick.is_prime(-1),
                                      lambda: mosswick.is_prime(2**64), lambda: adam_step_at(2**63)])
    def test_out_of_range_integers_raise_overflow_unwrapped(self, call):
        kind, text = message(call)
        assert kind is OverflowError and not text.startswith("argument")

    @pytest.mark.parametrize("t", [2**31, -(2**31) - 1])
    def test_int32_range(self, t):
        assert message(lambda: adam_step_at(t)) == (OverflowError, "out of range integral type conversion attempted")

    def test_type_errors_name_the_argument(self):
        assert message(lambda: mosswick.gcd(1.5, 2)) == (
            TypeError, "argument 'a': 'float' object cannot be interpreted as an integer")
        assert message(lambda: mosswick.is_prime("7")) == (
            TypeError, "argument 'n': 'str' object cannot be interpreted as an integer")
        assert message(lambda: mosswick.leaky_relu(np.zeros(1), "x")) == (
            TypeError, "argument 'alpha': must be real number, not str")

    def test_floats_accept_ints_and_float_like_objects(self):
        for alpha, result in ((1, -2.0), (Floaty(), -5.0), (np.float32(0.5), -1.0)):
            assert mosswick.leaky_relu(np.array([-2.0]), alpha).tolist() == [result]

    def test_only_exact_type_errors_are_renamed_and_the_cause_is_kept(self):
        with pytest.raises(TypeError) as info:
            mosswick.gcd(RaisesTypeErrorWithCause(), 1)
        assert type(info.value) is TypeError
        assert str(info.value) == "argument 'a': no index today"
        assert isinstance(info.value.__cause__, ValueError) and str(info.value.__cause__) == "root cause"
        with pytest.raises(TypeErrorSubclass, match="^special$"):
            mosswick.gcd(RaisesTypeErrorSubclass(), 1)

    def test_sequences_that_change_while_they_convert(self):
        row = [1.0, 2.0, 7.0]
        row[1] = Clears(row)  # the items after it go; the ones converted stay
        assert mosswick.pairwise_manhattan([row], [[0.0, 0.0, 0.0]]) == [[4.0]]
        outer = [[5.0]]
        outer[0].append(Clears(outer))  # the row being converted stays alive, the rows after it go
        outer.append([1.0, 1.0])
        assert mosswick.pairwise_manhattan(outer, [[0.0, 0.0]]) == [[8.0]]
