"""Representative arguments for every kind of parameter the stubs declare: forms the
annotation admits and forms it refuses, the first admitted form being an ordinary
value. mypy checks the forms against the annotations (each refused form must be a
type error there); test_stubs.py checks the module converts exactly the admitted ones.
Forms the annotation cannot tell apart (complex values, object arrays, ranks, byte
orders, and NumPy booleans as integers, which NumPy 1 allows and NumPy 2 does not) are
in neither list."""

from __future__ import annotations

from collections.abc import Callable, Sequence
from fractions import Fraction
from typing import TYPE_CHECKING, SupportsIndex

import numpy as np

from mosswick import Tensor

if TYPE_CHECKING:
    from mosswick import (
        _Float64Array,
        _Float64Matrix,
        _Float64Vector,
        _Int64Vector,
        _Ints,
        _Real,
        _RealRows,
        _Reals,
    )

Forms = tuple[Sequence[object], Sequence[object]]


# Arrays are built before they are listed: inside the list, mypy would infer their
# element type from the list's and fall back to an untyped array when they differ.


def ints() -> Forms:
    int64 = np.array([1, 2, 3], dtype=np.int64)
    uint8 = np.array([1, 2, 3], dtype=np.uint8)
    strided_int32 = np.arange(1, 7, dtype=np.int32)[::2]
    float64 = np.array([1.0, 2.0, 3.0], dtype=np.float64)
    admitted: list[_Ints] = [
        [1, 2, 3],
        (1, 2, 3),
        range(1, 4),
        [True, np.int32(2), np.uint64(3)],
        int64,
        uint8,
        strided_int32,
    ]
    refused: list[_Ints] = [
        "123",  # type: ignore[list-item]
        [1.0, 2.0, 3.0],  # type: ignore[list-item]
        float64,  # type: ignore[list-item]
        3,  # type: ignore[list-item]
    ]
    return admitted, refused


def reals() -> Forms:
    float64 = np.array([1.0, 2.0, 3.0], dtype=np.float64)
    float32 = np.array([1.0, 2.0, 3.0], dtype=np.float32)
    int64 = np.array([1, 2, 3], dtype=np.int64)
    booleans = np.array([True, False, True], dtype=np.bool_)
    reversed_float64 = np.arange(1.0, 7.0, dtype=np.float64)[::-2]
    strings = np.array(["1", "2", "3"], dtype=np.str_)
    admitted: list[_Reals] = [
        [1.0, 2.0, 3.0],
        (1.0, 2.0, 3.0),
        range(1, 4),
        [1, np.float32(2.0), Fraction(3)],
        float64,
        float32,
        int64,
        booleans,
        reversed_float64,
    ]
    refused: list[_Reals] = [
        "123",  # type: ignore[list-item]
        ["1", "2", "3"],  # type: ignore[list-item]
        strings,  # type: ignore[list-item]
        1.0,  # type: ignore[list-item]
    ]
    return admitted, refused


def real_rows() -> Forms:
    float64 = np.array([[1.0, 2.0], [3.0, 4.0]], dtype=np.float64)
    int32 = np.array([[1, 2], [3, 4]], dtype=np.int32)
    strings = np.array([["1", "2"], ["3", "4"]], dtype=np.str_)
    admitted: list[_RealRows] = [
        [[1.0, 2.0], [3.0, 4.0]],
        ((1, 2), (3, 4)),
        [range(1, 3), range(3, 5)],
        [float64[0], float64[1]],
        float64,
        int32,
    ]
    refused: list[_RealRows] = [
        [1.0, 2.0],  # type: ignore[list-item]
        ["12", "34"],  # type: ignore[list-item]
        strings,  # type: ignore[list-item]
    ]
    return admitted, refused


def index() -> Forms:
    admitted: list[SupportsIndex] = [1, True, np.int64(1), np.uint8(1)]
    refused: list[SupportsIndex] = [
        1.0,  # type: ignore[list-item]
        "1",  # type: ignore[list-item]
        np.float64(1.0),  # type: ignore[list-item]
        None,  # type: ignore[list-item]
    ]
    return admitted, refused


def optional_index() -> Forms:
    admitted: list[SupportsIndex | None] = [None, 1, np.uint64(1)]
    refused: list[SupportsIndex | None] = [
        1.0,  # type: ignore[list-item]
        "1",  # type: ignore[list-item]
    ]
    return admitted, refused


def real() -> Forms:
    admitted: list[_Real] = [0.5, 0, np.float32(0.5), np.int64(0), Fraction(1, 2)]
    refused: list[_Real] = [
        "0.5",  # type: ignore[list-item]
        0.5j,  # type: ignore[list-item]
        None,  # type: ignore[list-item]
    ]
    return admitted, refused


def flag() -> Forms:
    admitted: list[bool] = [False, True]
    refused: list[bool] = [
        1,  # type: ignore[list-item]
        None,  # type: ignore[list-item]
    ]
    return admitted, refused


def text() -> Forms:
    admitted: list[str] = ["ab", np.str_("ab")]
    refused: list[str] = [
        b"ab",  # type: ignore[list-item]
        ["a", "b"],  # type: ignore[list-item]
    ]
    return admitted, refused


def tensor() -> Forms:
    array = np.ones((2, 3), dtype=np.float64)
    admitted: list[Tensor] = [Tensor(array)]
    refused: list[Tensor] = [
        array,  # type: ignore[list-item]
    ]
    return admitted, refused


def float64_vector() -> Forms:
    vector = np.array([0.25, 0.5, 0.75], dtype=np.float64)
    strided = np.array([0.25, 0.0, 0.5, 0.0, 0.75], dtype=np.float64)[::2]
    float32 = np.array([0.25, 0.5, 0.75], dtype=np.float32)
    int64 = np.array([0, 1, 1], dtype=np.int64)
    admitted: list[_Float64Vector] = [vector, strided]
    refused: list[_Float64Vector] = [
        [0.25, 0.5, 0.75],  # type: ignore[list-item]
        float32,  # type: ignore[list-item]
        int64,  # type: ignore[list-item]
    ]
    return admitted, refused


def float64_matrix() -> Forms:
    matrix = np.array([[0.25, 0.5, 0.75], [1.0, 0.0, -1.0]], dtype=np.float64)
    corner = np.ones((3, 4), dtype=np.float64)[1:, 1:]
    float32 = np.ones((2, 3), dtype=np.float32)
    admitted: list[_Float64Matrix] = [matrix, corner]
    refused: list[_Float64Matrix] = [
        [[0.25, 0.5, 0.75], [1.0, 0.0, -1.0]],  # type: ignore[list-item]
        float32,  # type: ignore[list-item]
    ]
    return admitted, refused


def float64_array() -> Forms:
    matrix = np.ones((2, 3), dtype=np.float64)
    scalar = np.ones((), dtype=np.float64)
    fortran = np.ones((2, 3, 4), dtype=np.float64, order="F")
    int64 = np.ones((2, 3), dtype=np.int64)
    admitted: list[_Float64Array] = [matrix, scalar, fortran]
    refused: list[_Float64Array] = [
        [[1.0, 1.0, 1.0], [1.0, 1.0, 1.0]],  # type: ignore[list-item]
        int64,  # type: ignore[list-item]
    ]
    return admitted, refused


def int64_vector() -> Forms:
    labels = np.array([0, 2], dtype=np.int64)
    reversed_labels = np.array([2, 1, 0], dtype=np.int64)[::-2]
    int32 = np.array([0, 2], dtype=np.int32)
    float64 = np.array([0.0, 2.0], dtype=np.float64)
    admitted: list[_Int64Vector] = [labels, reversed_labels]
    refused: list[_Int64Vector] = [
        [0, 2],  # type: ignore[list-item]
        int32,  # type: ignore[list-item]
        float64,  # type: ignore[list-item]
    ]
    return admitted, refused


# Keyed by the annotation as the stub spells it.
KINDS: dict[str, Callable[[], Forms]] = {
    "_Ints": ints,
    "_Reals": reals,
    "_RealRows": real_rows,
    "SupportsIndex": index,
    "SupportsIndex | None": optional_index,
    "_Real": real,
    "bool": flag,
    "str": text,
    "Tensor": tensor,
    "_Float64Vector": float64_vector,
    "_Float64Matrix": float64_matrix,
    "_Float64Array": float64_array,
    "_Int64Vector": int64_vector,
}
