import math

import numpy as np
import pytest

import mosswick

U64_MAX = 2**64 - 1
M32 = 0xFFFFFFFF


# ---- a plain reference of the seeded stream: PCG32 key expansion, ChaCha12 blocks ----

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


def stream_words(seed, n):
    key, words = expand_seed(seed), []
    for counter in range((n + 15) // 16):
        words.extend(chacha12_block(key, counter))
    return words[:n]


def reference_uniforms(seed, n):
    w = stream_words(seed, 2 * n)
    return [((w[2 * i] | w[2 * i + 1] << 32) >> 11) * 2.0**-53 for i in range(n)]


def reference_dropout(x, p, seed):
    keep = 1.0 - p
    scale = 1.0 / keep
    return np.array([v * scale if u < keep else 0.0 for v, u in zip(x, reference_uniforms(seed, len(x)))])


def same_bits(a, b):
    return a.shape == b.shape and a.tobytes() == b.tobytes()


# ---- the reference against the published vectors ----

def test_reference_reproduces_key_and_stream_words():
    assert expand_seed(0) == [0xF973F2EC, 0x45CDB581, 0x7346F087, 0xAD6CAD06,
                              0xE3A3D0D0, 0x67E71733, 0x72EA9BF2, 0xFE7D8AD7]
    assert stream_words(0, 4) == [0xCD2C6F7F, 0xBB2A3FB2, 0x8E27697B, 0xC6017C94]


@pytest.mark.parametrize("seed, draws", [
    (0, [0.7311134158637046, 0.7734601843532382, 0.025844634233355035, 0.5841592619362002]),
    (42, [0.5265574090027738, 0.5427252099031439, 0.6364650991438949, 0.4059017582307767]),
])
def test_reference_reproduces_uniform_draws(seed, draws):
    assert reference_uniforms(seed, 4) == draws


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
@pytest.mark.parametrize("seed", [0, 42, U64_MAX])
@pytest.mark.parametrize("n, p", [(33, 0.5), (65, 0.1), (1000, 0.9), (1000, 0.0)])
def test_seeded_dropout_follows_the_stream(seed, n, p):
    x = np.random.default_rng(n).standard_normal(n)
    assert same_bits(mosswick.dropout(x, p, seed), reference_dropout(x, p, seed))


def test_longer_input_extends_the_same_mask():
    x = np.random.default_rng(1).standard_normal(50_000)
    full = mosswick.dropout(x, 0.3, seed=7)
    for k in (0, 1, 31, 32, 33, 64, 65, 9_999, 10_000):
        assert same_bits(mosswick.dropout(x[:k], 0.3, seed=7), full[:k])
    assert same_bits(mosswick.dropout(x, 0.3, seed=7), full)


def test_mask_does_not_depend_on_the_worker_count(python):
    code = """
        import numpy as np, mosswick
        print(mosswick.dropout(np.arange(1.0, 30_001.0), 0.5, 3).tobytes().hex())
    """
    outputs = {python(code, env={"RAYON_NUM_THREADS": w}).stdout for w in ("1", "3")}
    assert len(outputs) == 1


def test_seeds_at_both_ends_of_the_range_are_ordinary():
    x = np.ones(64)
    masks = [mosswick.dropout(x, 0.5, seed) for seed in (0, 1, U64_MAX)]
    assert not same_bits(masks[0], masks[1]) and not same_bits(masks[0], masks[2])


@pytest.mark.parametrize("seed, error", [
    (-1, OverflowError), (2**64, OverflowError), (1.0, TypeError), ("1", TypeError),
])
def test_refused_seeds(seed, error):
    with pytest.raises(error) as info:
        mosswick.dropout(np.ones(4), 0.5, seed)
    if error is TypeError:
        assert str(info.value).startswith("argument 'seed': ")


@pytest.mark.parametrize("p", [1.0, -0.1, math.nan, math.inf, -1e-300])
def test_probability_out_of_range(p):
    with pytest.raises(ValueError, match=r"^dropout probability p must be in \[0, 1\)$"):
        mosswick.dropout(np.ones(4), p, 0)


def test_probability_is_checked_before_contiguity():
    strided = np.ones(8)[::2]
    with pytest.raises(ValueError, match="probability"):
        mosswick.dropout(strided, 1.0)
    with pytest.raises(ValueError, match="^input must be contiguous$"):
        mosswick.dropout(strided, 0.5)
    with pytest.raises(TypeError, match="^argument 'x': "):
        mosswick.dropout(np.ones((2, 2)), 0.5)


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


def test_registration():
    assert mosswick.dropout.__text_signature__ == "(x, p, seed=None)"
    assert mosswick.dropout.__doc__ == (
        "Inverted dropout: zeroes each element with probability `p` and scales\n"
        "survivors by 1/(1-p), so no rescaling is needed at inference time.\n"
        "Pass `seed` for reproducible masks (e.g. in tests), omit it for a fresh\n"
        "random mask drawn from a thread-local RNG each call."
    )
    x = np.arange(4.0)
    assert same_bits(mosswick.dropout(x=x, p=0.25, seed=0), mosswick.dropout(x, 0.25, 0))
    with pytest.raises(TypeError, match=r"missing 2 required positional arguments: 'x' and 'p'"):
        mosswick.dropout()


# ---- unseeded dropout ----

@pytest.mark.parametrize("n", [64, 5_000, 100_000])
def test_unseeded_calls_differ(n):
    x = np.ones(n)
    assert not same_bits(mosswick.dropout(x, 0.5), mosswick.dropout(x, 0.5, seed=None))


@pytest.mark.parametrize("seed", [None, 11])
@pytest.mark.parametrize("p", [0.1, 0.5, 0.9])
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


def test_input_is_left_unchanged():
    x = np.random.default_rng(3).standard_normal(20_000)
    before = x.copy()
    for seed in (None, 1):
        mosswick.dropout(x, 0.5, seed)
    assert same_bits(x, before)
