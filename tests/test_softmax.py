import math

import numpy as np
import pytest

import mosswick
from conftest import internal_failure

NAN, INF = float("nan"), float("inf")
SPECIAL_ROWS = [[1000.0, 1000.0], [INF, 0.0], [-INF, -INF], [NAN, 1.0], [NAN, NAN], [-0.0, 0.0], [-745.0, 0.0]]


def softmax_row(z):
    m = -INF
    for v in z:
        m = v if v > m else m
    e = [NAN if math.isnan(v - m) else math.exp(v - m) for v in z]
    s = 0.0
    for v in e:
        s += v
    return [v / s for v in e]


def reference_cross_entropy(logits, targets):
    b, grad, total = float(len(logits)), [], -0.0
    for z, c in zip(logits.tolist(), targets.tolist()):
        p = softmax_row(z)
        pc, p[c] = p[c], p[c] + -1.0
        grad.append([v / b for v in p])
        total += -math.log(pc if pc > 1e-15 else 1e-15)
    return total / b if b else NAN, np.array(grad).reshape(logits.shape)


def logits(rows, classes):
    rng = np.random.default_rng(rows + classes)
    x = rng.standard_normal((rows, classes)) * 30.0
    if rows >= len(SPECIAL_ROWS) and classes >= 2:
        x[: len(SPECIAL_ROWS), :2] = SPECIAL_ROWS
    return x, rng.integers(0, classes, rows)


@pytest.mark.parametrize("rows, classes", [(1, 1), (7, 2), (200, 33), (9999, 3), (10_000, 2), (10_001, 4)])
def test_against_reference(rows, classes):
    x, t = logits(rows, classes)
    out = mosswick.softmax(x)
    assert out.flags.c_contiguous and out.flags.writeable and not np.shares_memory(out, x)
    np.testing.assert_array_equal(out, [softmax_row(z) for z in x.tolist()])
    loss, grad = mosswick.softmax_cross_entropy(x, t)
    expected_loss, expected_grad = reference_cross_entropy(x, t)
    assert loss == expected_loss
    np.testing.assert_array_equal(grad, expected_grad)


def test_examples_and_empty_shapes():
    assert mosswick.softmax(np.array([[1000.0, 1000.0]])).tolist() == [[0.5, 0.5]]
    loss, grad = mosswick.softmax_cross_entropy(np.array([[0.0, 0.0]]), np.array([1]))
    assert loss == math.log(2) and grad.tolist() == [[0.5, -0.5]]
    for shape in [(3, 0), (10_000, 0), (0, 3), (0, 0)]:
        assert mosswick.softmax(np.zeros(shape)).shape == shape
    loss, grad = mosswick.softmax_cross_entropy(np.zeros((0, 4)), np.zeros(0, dtype=np.int64))
    assert math.isnan(loss) and grad.shape == (0, 4)


def test_layouts():
    x = logits(6, 4)[0]
    for bad in (x.T, x[:, ::2]):
        with pytest.raises(ValueError, match="^input must be C-contiguous$"):
            mosswick.softmax(bad)
    row, column = np.arange(5.0).reshape(5, 1).T, np.arange(5.0).reshape(1, 5).T  # both layouts at once
    np.testing.assert_array_equal(mosswick.softmax(row), [softmax_row(row[0].tolist())])
    np.testing.assert_array_equal(mosswick.softmax(column), np.ones((5, 1)))
    assert mosswick.softmax_cross_entropy(column, np.zeros(5, dtype=np.int64))[0] == 0.0


OUT_OF_RANGE = "target class index out of range for logits.shape[1]"


@pytest.mark.parametrize(
    "x, t, message",
    [
        (np.zeros((4, 3)).T, np.arange(4)[::2], "logits must be C-contiguous"),
        (np.zeros((2, 3)), np.arange(4)[::-2], "targets must be contiguous"),
        (np.zeros((2, 3)), np.array([0, 9, 9]), "targets length must match logits batch size"),
        (np.zeros((3, 3)), np.array([0, 1, 3]), OUT_OF_RANGE),
        (np.zeros((3, 3)), np.array([0, 1, -1]), OUT_OF_RANGE),
        (np.zeros((1, 0)), np.array([0]), OUT_OF_RANGE),
        (np.zeros((2, 2)), np.zeros(2), "argument 'targets': "),  # neither float nor int32 targets are cast
        (np.zeros((2, 2)), np.zeros(2, dtype=np.int32), "argument 'targets': "),
    ],
)
def test_cross_entropy_refusals_in_order(x, t, message):
    with pytest.raises(TypeError if message.startswith("argument") else ValueError) as e:
        mosswick.softmax_cross_entropy(x, t)
    assert str(e.value).startswith(message)


def test_one_hot():
    for indices, classes in [([2, 0], 3), ([], 4), ([4, 4, 0], 5)]:
        out = mosswick.one_hot(np.array(indices, dtype=np.int64), classes)
        np.testing.assert_array_equal(out, np.eye(classes)[indices].reshape(len(indices), classes))
        assert out.dtype == np.float64 and out.flags.c_contiguous
    for indices, classes, message in [(np.array([0]), 0, "class index out of range for num_classes"),
                                      (np.array([1, 2, -1]), 3, "class index out of range for num_classes"),
                                      (np.array([0, 9, 0, 9, 0])[::2], 3, "indices must be contiguous")]:
        with pytest.raises(ValueError) as e:
            mosswick.one_hot(indices, classes)
        assert str(e.value) == message


@pytest.mark.parametrize("n, classes", [(1, 2**61), (3, 2**64 - 1)])
def test_one_hot_capacity_overflow(n, classes):
    assert internal_failure(mosswick.one_hot, np.zeros(n, dtype=np.int64), classes) == "capacity overflow"


def test_one_hot_unrepresentable_empty_shapes():
    empty = np.zeros(0, dtype=np.int64)
    with pytest.raises(ValueError, match="^ShapeError/Overflow: arithmetic overflow$"):
        mosswick.one_hot(empty, 2**63)
    with pytest.raises(ValueError, match="array is too big"):  # NumPy's own limit on the byte size
        mosswick.one_hot(empty, 2**62)
    assert mosswick.one_hot(empty, 2**59).shape == (0, 2**59)
