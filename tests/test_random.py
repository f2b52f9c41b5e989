import itertools
import math
import struct

import numpy as np
import pytest

import mosswick
from conftest import same_bits

U64_MAX = 2**64 - 1
M32 = 0xFFFFFFFF


# ---- a plain reference of the seeded stream: PCG32 key expansion, ChaCha12 blocks, the two draws ----

def expand_seed(seed):
    state, key = seed, []
    for _ in range(8):
        state = (state * 6364136223846793005 + 11634580027462260723) % 2**64
        x = (((state >> 18) ^ state) >> 27) & M32
        r = state >> 59
        key.append(((x >> r) | (x << (32 - r))) & M32)
    return key


def chacha12_block(key, counter):
    initial = [0x61707865, 0x3320646E, 0x79622D32, 0x6B206574, *key, counter & M32, counter >> 32, 0, 0]
    s = list(initial)

    def quarter(a, b, c, d):
        for x, y, z, rot in ((a, b, d, 16), (c, d, b, 12), (a, b, d, 8), (c, d, b, 7)):
            s[x] = (s[x] + s[y]) & M32
            v = s[z] ^ s[x]
            s[z] = ((v << rot) | (v >> (32 - rot))) & M32

    for _ in range(6):
        for column in ((0, 4, 8, 12), (1, 5, 9, 13), (2, 6, 10, 14), (3, 7, 11, 15)):
            quarter(*column)
        for diagonal in ((0, 5, 10, 15), (1, 6, 11, 12), (2, 7, 8, 13), (3, 4, 9, 14)):
            quarter(*diagonal)
    return [(a + b) & M32 for a, b in zip(s, initial)]


def words64(seed):
    """The seed's stream as 64-bit words (low half first), endless."""
    key, counter = expand_seed(seed), 0
    while True:
        block = chacha12_block(key, counter)
        counter += 1
        yield from (block[i] | block[i + 1] << 32 for i in range(0, 16, 2))


def from_bits(bits):
    return struct.unpack("<d", struct.pack("<Q", bits))[0]


def reference_uniforms(seed, n):
    words = words64(seed)
    return [(next(words) >> 11) * 2.0**-53 for _ in range(n)]


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


def reference_dropout(x, p, seed):
    keep = 1.0 - p
    scale = 1.0 / keep
    return np.array([v * scale if u < keep else 0.0 for v, u in zip(x, reference_uniforms(seed, len(x)))])


def test_reference_reproduces_the_published_values():
    assert expand_seed(0) == [0xF973F2EC, 0x45CDB581, 0x7346F087, 0xAD6CAD06,
                              0xE3A3D0D0, 0x67E71733, 0x72EA9BF2, 0xFE7D8AD7]
    first = list(itertools.islice(words64(0), 2))
    assert [w >> shift & M32 for w in first for shift in (0, 32)] == [0xCD2C6F7F, 0xBB2A3FB2, 0x8E27697B, 0xC6017C94]
    assert reference_uniforms(0, 4) == [0.7311134158637046, 0.7734601843532382, 0.025844634233355035,
                                        0.5841592619362002]
    assert reference_uniforms(42, 4) == [0.5265574090027738, 0.5427252099031439, 0.6364650991438949,
                                         0.4059017582307767]
    x, _, _, _ = ziggurat_tables()
    assert (x[0], x[2], x[255]) == (3.91075795953709, 3.4492782985609645, 0.2152418959132738)
    assert reference_normals(0, 4)[0] == [0.7128130103834549, 0.8583314468179001, -2.4362438894664367,
                                          0.1633442588933682]
    assert reference_normals(42, 4)[0] == [0.06942791836196335, 0.13293812199412544, 0.2625763573739537,
                                           -0.22530087839099155]


# ---- seeded dropout ----

@pytest.mark.parametrize("p, seed, expected", [
    (0.5, 0, [0.0, 0.0, 6.0, 0.0]),
    (0.5, 42, [0.0, 0.0, 0.0, 8.0]),
    (0.25, 0, [1.3333333333333333, 0.0, 4.0, 5.333333333333333]),
])
def test_dropout_examples(p, seed, expected):
    assert mosswick.dropout(np.array([1.0, 2.0, 3.0, 4.0]), p, seed).tolist() == expected


# 33 and more elements take draws on both sides of a refill; 65 and more cross a
# buffer of two refills; 1000 crosses many.
@pytest.mark.parametrize("seed", [0, U64_MAX])
@pytest.mark.parametrize("n, p", [(33, 0.5), (65, 0.1), (1000, 0.9)])
def test_seeded_dropout_follows_the_stream(seed, n, p):
    x = np.random.default_rng(n).standard_normal(n)
    assert same_bits(mosswick.dropout(x, p, seed), reference_dropout(x, p, seed))


def test_longer_input_extends_the_same_mask():
    x = np.random.default_rng(1).standard_normal(50_000)
    full = mosswick.dropout(x, 0.3, seed=7)
    for k in (0, 1, 31, 32, 33, 64, 65, 9_999, 10_000):
        assert same_bits(mosswick.dropout(x[:k], 0.3, seed=7), full[:k])
    assert same_bits(mosswick.dropout(x, 0.3, seed=7), full)


def test_refused_seeds():
    for seed in (-1, 2**64):
        with pytest.raises(OverflowError):
            mosswick.dropout(np.ones(4), 0.5, seed)
    with pytest.raises(TypeError, match="^argument 'seed': "):
        mosswick.dropout(np.ones(4), 0.5, 1.0)


@pytest.mark.parametrize("p", [1.0, -1e-300, math.nan])
def test_probability_out_of_range(p):
    with pytest.raises(ValueError, match=r"^dropout probability p must be in \[0, 1\)$"):
        mosswick.dropout(np.ones(4), p, 0)


def test_probability_is_checked_before_contiguity():
    strided = np.ones(8)[::2]
    with pytest.raises(ValueError, match="probability"):
        mosswick.dropout(strided, 1.0)
    with pytest.raises(ValueError, match="^input must be contiguous$"):
        mosswick.dropout(strided, 0.5)


@pytest.mark.parametrize("p", [0.0, -0.0])
def test_zero_probability_copies(p):
    x = np.array([1.5, -0.0, math.inf, -2.0, math.nan])
    out = mosswick.dropout(x, p, seed=5)
    assert same_bits(out, x) and not np.shares_memory(out, x)


def test_high_probability_scales_survivors():
    kept = mosswick.dropout(np.ones(200_000), 0.9999, seed=5)
    assert set(kept.tolist()) == {0.0, 1.0 / (1.0 - 0.9999)}


def test_dropped_elements_are_positive_zero_whatever_they_were():
    # Seed 0 draws 0.73, 0.77, 0.026, 0.58: with p = 0.5 only element 2 is kept.
    out = mosswick.dropout(np.array([math.nan, -math.inf, math.nan, -0.0]), 0.5, seed=0)
    assert math.isnan(out[2])
    assert [math.copysign(1.0, v) for v in out[[0, 1, 3]]] == [1.0, 1.0, 1.0]
    assert out[[0, 1, 3]].tolist() == [0.0, 0.0, 0.0]


@pytest.mark.parametrize("seed", [0, None])
def test_empty_input(seed):
    out = mosswick.dropout(np.empty(0), 0.5, seed)
    assert out.shape == (0,) and out.dtype == np.float64


# ---- unseeded dropout ----

@pytest.mark.parametrize("n", [64, 100_000])
def test_unseeded_calls_differ(n):
    x = np.ones(n)
    assert not same_bits(mosswick.dropout(x, 0.5), mosswick.dropout(x, 0.5, seed=None))


@pytest.mark.parametrize("seed", [None, 11])
@pytest.mark.parametrize("p", [0.1, 0.9])
def test_fraction_dropped_is_near_p(seed, p):
    n = 400_000  # several rekeys of every worker's generator when unseeded
    x = np.random.default_rng(2).uniform(1.0, 2.0, n)
    out = mosswick.dropout(x, p, seed)
    dropped = out == 0.0
    assert abs(dropped.mean() - p) < 0.01  # about nine standard deviations
    assert same_bits(out[~dropped], x[~dropped] * (1.0 / (1.0 - p)))


def test_forked_child_draws_a_different_mask(python):
    out = python(
        """
        import os, numpy as np, mosswick
        x = np.ones(4096)
        mosswick.dropout(x, 0.5)  # every worker's generator is in use before the fork
        r, w = os.pipe()
        pid = os.fork()
        if pid == 0:
            os.write(w, mosswick.dropout(x, 0.5).tobytes())
            os._exit(0)
        mine = mosswick.dropout(x, 0.5).tobytes()
        os.waitpid(pid, 0)
        os.close(w)
        theirs = b""
        while chunk := os.read(r, 1 << 16):
            theirs += chunk
        print(len(theirs) == len(mine), theirs != mine)
        """
    ).stdout
    assert out.split() == ["True", "True"]


# ---- random tensors ----

@pytest.mark.parametrize("seed", [0, U64_MAX])
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
    assert isinstance(make([], seed=1).to_list(), float)
    empty = make(shape=(3, 0, 2), seed=None)
    assert (empty.shape, empty.strides, empty.to_list()) == ([3, 0, 2], [0, 2, 1], [[], [], []])
    assert make([2, 3, 4]).strides == [12, 4, 1]


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
