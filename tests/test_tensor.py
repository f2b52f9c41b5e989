import re
import threading

import numpy as np
import pytest

import mosswick
from conftest import internal_failure, raises_memory_error, same_bits

# References over infinities and NaN (inf - inf and the like) are meant.
pytestmark = pytest.mark.filterwarnings("ignore:invalid value:RuntimeWarning")

Tensor = mosswick.Tensor
EXTENTS = (3, 4, 2, 5)


def row_major_strides(shape):
    strides, step = [], 1
    for extent in reversed(shape):
        strides.insert(0, step)
        step *= extent
    return strides


def layouts(rank):
    """Arrays of one rank in every layout a caller may hand over, with their C-ordered copies."""
    rng = np.random.default_rng(rank)
    shape = EXTENTS[:rank]
    base = rng.standard_normal(shape)
    big = rng.standard_normal([2 * e + 1 for e in shape])

    def every_axis(step):
        return (slice(None, None, step),) * rank if rank else ...  # `...` keeps a rank-0 array an array

    return {
        "C": base,
        "Fortran": np.array(base, order="F"),
        "transposed": base.T,
        "stepped": big[every_axis(2)],
        "reversed": base[every_axis(-1)],
    }


class TestConstruction:
    @pytest.mark.parametrize("rank", range(5))
    @pytest.mark.parametrize("layout", ["C", "Fortran", "transposed", "stepped", "reversed"])
    def test_any_layout_reads_as_its_c_ordered_copy(self, rank, layout):
        array = layouts(rank)[layout]
        t = Tensor(array)
        copy = np.array(array, order="C")
        assert t.shape == list(array.shape)
        assert t.strides == row_major_strides(array.shape)
        assert t.to_list() == copy.tolist()
        assert np.array_equal(t.data, copy.ravel())

    @pytest.mark.parametrize(
        "shape, strides, listed",
        [((), [], 1.5), ((2, 0), [0, 1], [[], []]), ((0, 3), [3, 1], []), ((2, 0, 3), [0, 3, 1], [[], []])],
    )
    def test_empty_and_scalar_shapes(self, shape, strides, listed):
        t = Tensor(np.full(shape, 1.5))
        assert (t.shape, t.strides, t.to_list()) == (list(shape), strides, listed)
        assert t.data.shape == (int(np.prod(shape)),)
        assert type(t.to_list()) is type(listed)

    @pytest.mark.parametrize("value", [[1.0, 2.0], np.arange(3), np.ones(3, ">f8")])
    def test_only_float64_arrays_are_accepted(self, value):
        with pytest.raises(TypeError, match=r"^argument 'array': .*'PyArray<T, D>'"):
            Tensor(value)

    def test_results_are_copies(self):
        source = np.arange(6.0).reshape(2, 3)
        t = Tensor(source)
        source[0, 0] = 99.0
        t.data[:] = -1.0
        t.shape.append(7)
        t.strides.clear()
        assert (t.to_list()[0][0], t.shape, t.strides) == (0.0, [2, 3], [3, 1])
        assert t.data.flags.c_contiguous and t.data.flags.writeable


class TestReshape:
    def test_same_elements_new_strides(self):
        t = Tensor(np.arange(6.0).reshape(2, 3)).reshape([3, 2])
        assert (t.shape, t.strides, t.to_list()) == ([3, 2], [2, 1], [[0.0, 1.0], [2.0, 3.0], [4.0, 5.0]])
        assert Tensor(np.array([4.0])).reshape(()).to_list() == 4.0

    @pytest.mark.parametrize("new_shape, error, text", [
        ([4, 2], ValueError, "Total number of elements cannot change during reshape."),
        ([-1, 3], OverflowError, ""),
        ("23", TypeError, "argument 'new_shape': Can't extract `str` to `Vec`"),
    ])
    def test_refusals(self, new_shape, error, text):
        t = Tensor(np.arange(6.0).reshape(2, 3))
        with pytest.raises(error, match="^" + re.escape(text)):
            t.reshape(new_shape)
        assert t.shape == [2, 3]

    @pytest.mark.parametrize("new_shape", [[2**32, 2**32], [0, 2**40, 2**40]])
    def test_shapes_beyond_64_bits_are_refused(self, new_shape):
        with pytest.raises(OverflowError, match="does not fit in 64 bits"):
            Tensor(np.zeros(0)).reshape(new_shape)

    @pytest.mark.parametrize("outer", [2**63, pytest.param(2**40, marks=raises_memory_error)])
    def test_unbuildable_list_raises_memory_error(self, outer):
        with pytest.raises(MemoryError):
            Tensor(np.zeros(0)).reshape([outer, 0]).to_list()

    def test_reshape_shares_the_buffer(self):
        def resident_bytes():
            with open("/proc/self/statm") as f:
                return int(f.read().split()[1]) * 4096

        t = Tensor(np.ones(4_000_000))  # 32 MB
        before = resident_bytes()
        views = [t.reshape([2000, 2000]) for _ in range(16)]
        assert resident_bytes() - before < 16_000_000  # copies would take 512 MB
        assert views[-1].to_list()[1999][1999] == 1.0

    @pytest.mark.parametrize("change", ["relu_inplace", "add_bias_inplace"])
    @pytest.mark.parametrize("changed", ["original", "reshaped"])
    def test_copy_on_write_both_ways(self, change, changed):
        values = np.linspace(-3.0, 3.0, 12).reshape(3, 4)
        original = Tensor(values)
        reshaped = original.reshape([3, 4])
        target, other = (original, reshaped) if changed == "original" else (reshaped, original)
        getattr(target, change)(*([np.ones(4)] if change == "add_bias_inplace" else []))
        assert other.to_list() == values.tolist()
        assert target.to_list() != values.tolist()
        getattr(target, change)(*([np.ones(4)] if change == "add_bias_inplace" else []))  # now sole holder
        assert other.to_list() == values.tolist()


def special_values(n, seed):
    x = np.random.default_rng(seed).standard_normal(n) * 10
    x[:6] = [0.0, -0.0, np.nan, np.inf, -np.inf, -1e-300]
    return x


ELEMENTWISE = {
    "add": (lambda a, b: a.add(b), lambda x, y: x + y),
    "sub": (lambda a, b: a.sub(b), lambda x, y: x - y),
    "mul_elementwise": (lambda a, b: a.mul_elementwise(b), lambda x, y: x * y),
    "mul_scalar": (lambda a, b: a.mul_scalar(-2.5), lambda x, y: x * -2.5),
    "relu_derivative": (lambda a, b: a.relu_derivative(), lambda x, y: (x > 0.0).astype(float)),
}


class TestElementwise:
    # 9,999 elements run on the calling thread, 10,000 on the pool.
    @pytest.mark.parametrize("rows, cols", [(99, 101), (100, 100)])
    @pytest.mark.parametrize("name", ELEMENTWISE)
    def test_bit_exact_against_numpy(self, name, rows, cols):
        ours, reference = ELEMENTWISE[name]
        x, y = special_values(rows * cols, 1).reshape(rows, cols), special_values(rows * cols, 2)[::-1].reshape(rows, cols)
        a, b = Tensor(x), Tensor(y)
        result = ours(a, b)
        assert result.shape == [rows, cols] and result.strides == [cols, 1]
        assert same_bits(result.data, reference(x, y).ravel())
        assert same_bits(a.data, x.ravel()) and same_bits(b.data, y.ravel())

    @pytest.mark.parametrize("rows, cols", [(99, 101), (100, 100)])
    def test_relu_inplace(self, rows, cols):
        x = special_values(rows * cols, 3).reshape(rows, cols)
        t = Tensor(x)
        assert t.relu_inplace() is None
        assert same_bits(t.data, np.where(x < 0.0, 0.0, x).ravel())  # keeps -0.0 and NaN

    @pytest.mark.parametrize("rows, cols", [(99, 101), (100, 100), (0, 3), (4, 0)])
    def test_add_bias_inplace(self, rows, cols):
        x = special_values(rows * cols + 6, 4)[:rows * cols].reshape(rows, cols)
        bias = special_values(cols + 6, 5)[:cols]
        t = Tensor(x)
        assert t.add_bias_inplace(bias) is None
        assert same_bits(t.data, (x + bias).ravel())

    def test_receiver_as_its_own_operand(self):
        x = special_values(12, 6)
        t = Tensor(x)
        assert same_bits(t.sub(t).data, x - x)
        assert same_bits(t.data, x)

    @pytest.mark.parametrize("name, message", [
        ("add", "Shapes must match for element-wise addition."),
        ("sub", "Shapes must match for subtraction."),
        ("mul_elementwise", "Shapes must match for element-wise multiplication."),
    ])
    def test_shape_mismatch(self, name, message):
        a, b = Tensor(np.zeros((2, 3))), Tensor(np.zeros((3, 2)))
        with pytest.raises(ValueError) as info:
            getattr(a, name)(b)
        assert str(info.value) == message
        with pytest.raises(TypeError, match="^argument 'other': 'list' object cannot be converted to 'Tensor'$"):
            getattr(a, name)([1.0])

    @pytest.mark.parametrize("shape, bias, error, message", [
        ((2, 3), np.arange(4.0), ValueError, "Bias length must match the second dimension of the tensor: 4 vs 3."),
        ((2, 3), np.arange(6.0)[::2], ValueError, "Bias array must be contiguous."),
        ((2, 3), np.arange(8.0)[::2], ValueError, "Bias array must be contiguous."),  # contiguity before length
        ((2, 3, 4), np.arange(3.0), ValueError, "add_bias_inplace requires a rank-2 tensor."),
        ((2, 3), np.ones((1, 3)), TypeError, "argument 'bias': "),
    ])
    def test_add_bias_refusals_leave_the_receiver(self, shape, bias, error, message):
        x = np.arange(float(np.prod(shape))).reshape(shape)
        t = Tensor(x)
        with pytest.raises(error) as info:
            t.add_bias_inplace(bias)
        assert str(info.value).startswith(message)
        assert t.to_list() == x.tolist()

    @pytest.mark.parametrize("shape", [(), (3,)])
    def test_add_bias_below_rank_2_is_an_internal_failure(self, shape):
        t = Tensor(np.zeros(shape))
        internal_failure(t.add_bias_inplace, np.zeros(3))
        assert t.to_list() == np.zeros(shape).tolist()


class TestBorrows:
    @pytest.mark.parametrize("busy, blocked, message", [
        (lambda t: t.add(t), lambda t: t.relu_inplace(), "Already borrowed"),
        (lambda t: t.relu_inplace(), lambda t: t.add(t), "Already mutably borrowed"),
    ], ids=["relu_inplace during add", "add during relu_inplace"])
    def test_conflicting_borrow_fails_at_once(self, busy, blocked, message):
        t = Tensor(np.ones(2_000_000))  # nothing negative: relu_inplace changes nothing
        stop, errors = threading.Event(), []

        def keep_busy():
            while not stop.is_set():
                try:
                    busy(t)
                except RuntimeError as e:  # the main thread held the borrow at that moment
                    errors.append(e)

        worker = threading.Thread(target=keep_busy)
        worker.start()
        try:
            for _ in range(10_000):  # the worker releases the interpreter lock inside every call
                try:
                    blocked(t)
                except RuntimeError as e:
                    assert str(e) == message
                    break
            else:
                pytest.fail("no borrow conflict observed")
        finally:
            stop.set()
            worker.join()
        assert t.to_list()[:3] == [1.0, 1.0, 1.0]


def test_to_list_of_any_rank_on_any_thread(python):
    # The nested lists are built without native recursion: a rank of 200,000 on the
    # main thread, and of 20,000 on a thread with a 256 KiB stack, once crashed.
    out = python("""
        import threading
        from mosswick import Tensor

        def depth(v):
            d = 0
            while isinstance(v, list):
                v, d = v[0], d + 1
            return d, v

        t = Tensor.rand([1] * 200_000, seed=1)
        print(depth(t.to_list()) == (200_000, t.data[0]))
        threading.stack_size(256 * 1024)
        found = []
        thread = threading.Thread(target=lambda: found.append(Tensor.rand([1] * 20_000 + [2], seed=2).to_list()))
        thread.start()
        thread.join()
        print(depth(found[0])[0])
    """).stdout.split()
    assert out == ["True", "20001"]
