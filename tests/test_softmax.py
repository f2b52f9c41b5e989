import math

import numpy as np
import pytest

import mosswick

NAN, INF = float("nan"), float("inf")


def softmax_row(z):
    m = -INF
    for v in z:
        m = v if v > m else m
    e = [math.exp(v - m) if not math.isnan(v - m) else NAN for v in z]
    s = 0.0
    for v in e:
        s += v
    return [v / s for v in e]


def reference_cross_entropy(logits, targets):
    b = float(len(logits))
    grad, total = [], -0.0
    for z, c in zip(logits.tolist(), targets.tolist()):
        p = softmax_row(z)
        pc = p[c]
        p[c] = pc + -1.0
        grad.append([v / b for v in p])
        total += -math.log(pc if pc > 1e-15 else 1e-15)
    return total / b if b else NAN, grad


def assert_same(actual, expected):
    np.testing.assert_array_equal(actual, np.array(expected, dtype=np.float64).reshape(actual.shape))


def assert_internal_failure(excinfo, text):
    assert not isinstance(excinfo.value, Exception)
    assert str(excinfo.value) == text


def logits(rows, classes, seed=0):
    rng = np.random.default_rng(seed)
    x = rng.standard_normal((rows, classes)) * 30.0
    return x, rng.integers(0, classes, rows) if classes else np.zeros(rows, dtype=np.int64)


SPECIAL_ROWS = [[1000.0, 1000.0], [INF, 0.0], [-INF, -INF], [NAN, 1.0], [NAN, NAN], [-0.0, 0.0], [-745.0, 0.0]]


@pytest.mark.parametrize("rows, classes", [(1, 1), (5, 7), (200, 33), (9999, 3), (10_000, 3), (10_001, 4)])
def test_softmax_matches_the_row_kernel(rows, classes):
    x, _ = logits(rows, classes, rows)
    out = mosswick.softmax(x)
    assert out.flags.c_contiguous and out.flags.writeable and not np.shares_memory(out, x)
    assert_same(out, [softmax_row(z) for z in x.tolist()])


def test_special_rows():
    x = np.array(SPECIAL_ROWS)
    assert_same(mosswick.softmax(x), [softmax_row(z) for z in SPECIAL_ROWS])
    assert mosswick.softmax(x)[0].tolist() == [0.5, 0.5]


@pytest.mark.parametrize("rows, classes", [(3, 7), (9999, 2), (10_000, 5)])
def test_cross_entropy_matches_reference(rows, classes):
    x, t = logits(rows, classes, classes)
    loss, grad = mosswick.softmax_cross_entropy(x, t)
    expected_loss, expected_grad = reference_cross_entropy(x, t)
    assert loss == expected_loss
    assert_same(grad, expected_grad)


def test_cross_entropy_examples():
    loss, grad = mosswick.softmax_cross_entropy(np.array([[0.0, 0.0]]), np.array([1]))
    assert loss == math.log(2) and grad.tolist() == [[0.5, -0.5]]
    loss, grad = mosswick.softmax_cross_entropy(np.array([[NAN, 1.0]]), np.array([1]))
    assert loss == -math.log(1e-15) and np.isnan(grad).all()
    loss, grad = mosswick.softmax_cross_entropy(np.zeros((0, 4)), np.zeros(0, dtype=np.int64))
    assert math.isnan(loss) and grad.shape == (0, 4)


@pytest.mark.parametrize("shape", [(3, 0), (10_000, 0), (0, 3), (0, 0)])
def test_empty_shapes(shape):
    assert mosswick.softmax(np.zeros(shape)).shape == shape


def test_layouts():
    x, t = logits(6, 4)
    for f, message in [(mosswick.softmax, "input must be C-contiguous"),
                       (lambda a: mosswick.softmax_cross_entropy(a, t[:4]), "logits must be C-contiguous")]:
        with pytest.raises(ValueError, match=f"^{message}$"):
            f(x.T)
        with pytest.raises(ValueError, match=f"^{message}$"):
            f(x[:, ::2])
    row, column = np.arange(5.0).reshape(5, 1).T, np.arange(5.0).reshape(1, 5).T
    assert_same(mosswick.softmax(row), [softmax_row(row[0].tolist())])
    assert_same(mosswick.softmax(column), [[1.0]] * 5)
    assert mosswick.softmax_cross_entropy(row, np.array([4]))[0] == reference_cross_entropy(row, np.array([4]))[0]


@pytest.mark.parametrize(
    "x, t, message",
    [
        (np.zeros((4, 3)).T, np.array([0, 0, 0, 0])[::2], "logits must be C-contiguous"),
        (np.zeros((2, 3)), np.array([0, 0, 0, 0])[::2][::-1], "targets must be contiguous"),
        (np.zeros((2, 3)), np.array([0, 9, 9]), "targets length must match logits batch size"),
        (np.zeros((3, 3)), np.array([0, 1, 3]), "target class index out of range for logits.shape[1]"),
        (np.zeros((3, 3)), np.array([0, 1, -1]), "target class index out of range for logits.shape[1]"),
        (np.zeros((1, 0)), np.array([0]), "target class index out of range for logits.shape[1]"),
    ],
)
def test_cross_entropy_refusals_in_order(x, t, message):
    with pytest.raises(ValueError) as e:
        mosswick.softmax_cross_entropy(x, t)
    assert str(e.value) == message


@pytest.mark.parametrize("targets", [np.zeros(2), np.zeros(2, dtype=np.int32), [0, 0]])
def test_targets_are_not_cast(targets):
    with pytest.raises(TypeError, match="^argument 'targets': "):
        mosswick.softmax_cross_entropy(np.zeros((2, 2)), targets)


class TestOneHot:
    @pytest.mark.parametrize("indices, classes", [([2, 0], 3), ([], 4), ([0, 0, 1], 2), ([4] * 3, 5)])
    def test_matches_numpy(self, indices, classes):
        out = mosswick.one_hot(np.array(indices, dtype=np.int64), classes)
        np.testing.assert_array_equal(out, np.eye(classes)[indices].reshape(len(indices), classes))
        assert out.dtype == np.float64 and out.flags.c_contiguous

    @pytest.mark.parametrize(
        "indices, step, classes, message",
        [([0], 1, 0, "class index out of range for num_classes"),
         ([1, 2, -1], 1, 3, "class index out of range for num_classes"),
         ([0, 1, 2, 7], 2, 3, "indices must be contiguous"), ([0, 9, 0, 9], -2, 3, "indices must be contiguous")],
    )
    def test_refusals(self, indices, step, classes, message):
        with pytest.raises(ValueError) as e:
            mosswick.one_hot(np.array(indices, dtype=np.int64)[::step], classes)
        assert str(e.value) == message

    def test_conversions(self):
        with pytest.raises(OverflowError):
            mosswick.one_hot(np.array([0]), -1)
        with pytest.raises(TypeError, match="^argument 'num_classes': "):
            mosswick.one_hot(np.array([0]), 2.0)

    @pytest.mark.parametrize("n, classes", [(1, 2**61), (4, 2**62), (3, 2**64 - 1), (2**20, 2**41)])
    def test_capacity_overflow(self, n, classes):
        with pytest.raises(BaseException) as e:
            mosswick.one_hot(np.zeros(n, dtype=np.int64), classes)
        assert_internal_failure(e, "capacity overflow")

    def test_unrepresentable_empty_shapes(self):
        with pytest.raises(ValueError, match="^ShapeError/Overflow: arithmetic overflow$"):
            mosswick.one_hot(np.zeros(0, dtype=np.int64), 2**63)
        with pytest.raises(ValueError, match="array is too big"):  # NumPy's own limit on the byte size
            mosswick.one_hot(np.zeros(0, dtype=np.int64), 2**62)
        assert mosswick.one_hot(np.zeros(0, dtype=np.int64), 2**59).shape == (0, 2**59)


def test_registration_texts():
    assert mosswick.softmax.__doc__.startswith("Row-wise softmax over a (batch, classes) matrix. Numerically stable \u2014\n")
    assert mosswick.softmax_cross_entropy.__doc__.endswith("`targets` is class indices (like PyTorch), not one-hot vectors.")
    assert mosswick.one_hot.__doc__ == "One-hot encode class indices into a (n, num_classes) float matrix."
    assert mosswick.mse_loss.__doc__ is None and mosswick.sgd_momentum_step.__doc__ is None
    assert mosswick.adam_step.__text_signature__ == "(params, grads, m, v, lr=0.001, beta1=0.9, beta2=0.999, eps=1e-8, t=1)"
