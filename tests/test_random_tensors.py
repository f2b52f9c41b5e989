import math
import struct

import numpy as np
import pytest

import mosswick
from test_random import chacha12_block, expand_seed

U64_MAX = 2**64 - 1


def words64(seed):
    """The seed's stream as 64-bit words (low half first), endless."""
    key, counter = expand_seed(seed), 0
    while True:
        block = chacha12_block(key, counter)
        counter += 1
        yield from (block[i] | block[i + 1] << 32 for i in range(0, 16, 2))


def from_bits(bits):
    return struct.unpack("<d", struct.pack("<Q", bits))[0]


def ziggurat_tables():
    r, v = 3.6541528853610088, 0.00492867323399
    phi = lambda t: math.exp(-t * t / 2)  # noqa: E731
    x = [v / phi(r), r] + [0.0] * 255
    for i in range(1, 255):
        x[i + 1] = math.sqrt(-2 * math.log(v / x[i] + phi(x[i])))
    f = [phi(t) for t in x]
    f[0], f[3], f[94] = 0.000477467764586655, 0.004037972593371872, 0.2064054063986793
    return x, f, phi, r


def reference_normals(seed, n):
    """n draws of the 256-layer ziggurat, and how many came from the tail."""
    x_table, f, phi, r = ziggurat_tables()
    words = words64(seed)
    out, tail = [], 0
    while len(out) < n:
        w = next(words)
        i = w & 255
        u = from_bits(0x4000000000000000 | (w >> 12)) - 3.0
        x = u * x_table[i]
        if abs(x) < x_table[i + 1]:
            out.append(x)
        elif i == 0:
            while True:
                a = from_bits(0x3FF0000000000000 | (next(words) >> 12)) - (1 - 2.0**-53)
                b = from_bits(0x3FF0000000000000 | (next(words) >> 12)) - (1 - 2.0**-53)
                tx, ty = math.log(a) / r, math.log(b)
                if -2 * ty >= tx * tx:
                    break
            out.append(tx - r if u < 0 else r - tx)
            tail += 1
        elif f[i + 1] + (f[i] - f[i + 1]) * ((next(words) >> 11) * 2.0**-53) < phi(x):
            out.append(x)
    return out, tail


def reference_uniforms(seed, n):
    words = words64(seed)
    return [(next(words) >> 11) * 2.0**-53 for _ in range(n)]


def test_reference_ziggurat_tables():
    x, f, _, _ = ziggurat_tables()
    assert (x[0], x[2], x[255]) == (3.91075795953709, 3.4492782985609645, 0.2152418959132738)


@pytest.mark.parametrize(
    "method, seed, expected",
    [
        ("rand", 0, [0.7311134158637046, 0.7734601843532382, 0.025844634233355035, 0.5841592619362002]),
        ("rand", 42, [0.5265574090027738, 0.5427252099031439, 0.6364650991438949, 0.4059017582307767]),
        ("randn", 0, [0.7128130103834549, 0.8583314468179001, -2.4362438894664367, 0.1633442588933682]),
        ("randn", 42, [0.06942791836196335, 0.13293812199412544, 0.2625763573739537, -0.22530087839099155]),
    ],
)
def test_examples(method, seed, expected):
    make = getattr(mosswick.Tensor, method)
    assert make([4], seed=seed).to_list() == expected
    assert make([2, 2], seed).to_list() == [expected[:2], expected[2:]]


@pytest.mark.parametrize("seed", [0, 42, U64_MAX])
def test_seeded_values_follow_the_stream(seed):
    assert mosswick.Tensor.rand([3000], seed).to_list() == reference_uniforms(seed, 3000)
    assert mosswick.Tensor.randn([3000], seed).to_list() == reference_normals(seed, 3000)[0]


def test_seeded_normal_tail_follows_the_stream():
    expected, tail = reference_normals(5, 30_000)
    assert tail > 0
    assert mosswick.Tensor.randn([30_000], 5).to_list() == expected


@pytest.mark.parametrize("method", ["rand", "randn"])
def test_longer_tensors_extend_the_same_stream(method):
    make = getattr(mosswick.Tensor, method)
    long = make([100, 1000], seed=7).data
    assert np.array_equal(make([20_001], seed=7).data, long[:20_001])
    assert np.array_equal(make([100, 1000], seed=7).data, long)


@pytest.mark.parametrize("method", ["rand", "randn"])
def test_shapes(method):
    make = getattr(mosswick.Tensor, method)
    scalar = make([], seed=1)
    assert scalar.shape == [] and isinstance(scalar.to_list(), float)
    empty = make([3, 0, 2], seed=1)
    assert empty.shape == [3, 0, 2] and empty.strides == [0, 2, 1] and empty.to_list() == [[], [], []]
    assert make([2, 3, 4]).strides == [12, 4, 1]
    assert make(shape=(2, 3), seed=None).shape == [2, 3]


@pytest.mark.parametrize("method", ["rand", "randn"])
def test_refused_arguments(method):
    make = getattr(mosswick.Tensor, method)
    with pytest.raises(OverflowError):
        make([2], seed=-1)
    with pytest.raises(OverflowError):
        make([2], seed=2**64)
    with pytest.raises(TypeError, match="^argument 'seed': "):
        make([2], seed=1.5)
    with pytest.raises(OverflowError):
        make([-2])
    with pytest.raises(TypeError, match="^argument 'shape': Can't extract `str` to `Vec`"):
        make("ab")
    with pytest.raises(TypeError, match=rf"^Tensor.{method}\(\) missing 1 required positional argument: 'shape'"):
        make()


def test_unseeded_tensors_differ_and_stay_in_range():
    a, b = mosswick.Tensor.rand([50_000]).data, mosswick.Tensor.rand([50_000]).data
    assert not np.array_equal(a, b)
    assert a.min() >= 0.0 and a.max() < 1.0
    assert abs(a.mean() - 0.5) < 0.01


@pytest.mark.parametrize("seed", [3, None])
def test_normal_values_look_normal(seed):
    values = mosswick.Tensor.randn([400_000], seed).data
    assert abs(values.mean()) < 0.01
    assert abs(values.std() - 1.0) < 0.01
    assert abs((np.abs(values) > 3.0).mean() - 0.0027) < 0.001
