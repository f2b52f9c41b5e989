import math
import random

import pytest

import mosswick
from conftest import internal_failure, raises_memory_error

I64_MIN, I64_MAX, U64_MAX = -(2**63), 2**63 - 1, 2**64 - 1


def reference_is_prime(n):
    if n < 2:
        return False
    for p in (2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37):
        if n % p == 0:
            return n == p
    d, s = n - 1, 0
    while d % 2 == 0:
        d, s = d // 2, s + 1
    for w in (2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37):
        x = pow(w, d, n)
        if x in (1, n - 1):
            continue
        for _ in range(s - 1):
            x = x * x % n
            if x == n - 1:
                break
        else:
            return False
    return True


def strong_pseudoprimes_base_2(limit):
    found = []
    for n in range(3, limit, 2):
        d, s = n - 1, 0
        while d % 2 == 0:
            d //= 2
            s += 1
        x = pow(2, d, n)
        if x in (1, n - 1) or any(pow(x, 2**r, n) == n - 1 for r in range(1, s)):
            if not reference_is_prime(n):
                found.append(n)
    return found


HARD_CASES = [
    # strong pseudoprimes to several of the first prime bases
    2047, 1373653, 25326001, 3215031751, 2152302898747, 3474749660383, 341550071728321, 3825123056546413051,
    1122004669633, 4759123141,
    # Carmichael numbers
    561, 1105, 1729, 2465, 2821, 6601, 8911, 41041, 62745, 63973, 75361, 101101, 126217, 172081, 188461, 252601,
    278545, 294409, 314821, 334153, 340561, 399001, 410041, 449065, 488881, 512461, 9999109081, 6553130926752006031,
    # strong Lucas pseudoprimes (Selfridge parameters)
    5459, 5777, 10877, 16109, 18971, 22499, 24569, 25199, 40309, 58519, 75077, 97439, 100127, 113573, 115639, 130139,
    # squares and products of primes, Fermat numbers, near powers of two
    4294967291**2, 65521**2, 4294967279 * 4294967291, 65537, 4294967297, 4294967295, 4295098369, 1099511627791,
    1152921504606846883, 9223372036854775783, 9223372036854775807, 9223372036854775837,
    # near 2^64
    18446744073709551557, 18446744073709551533, 18446744073709551521, 18446744073709551615, 18446744073709551614,
]


def reference_sieve(limit):
    if limit < 2:
        return []
    flags = bytearray([1]) * (limit + 1)
    flags[0] = flags[1] = 0
    for i in range(2, math.isqrt(limit) + 1):
        if flags[i]:
            flags[i * i :: i] = bytes(len(range(i * i, limit + 1, i)))
    return [i for i, f in enumerate(flags) if f]


@pytest.fixture(scope="module")
def rng():
    return random.Random(20261206)


class TestGcdLcm:
    @pytest.mark.parametrize(
        "a, b, g, l",
        [(0, 0, 0, 0), (-12, 18, 6, 36), (12, -18, 6, 36), (7, 0, 7, 0), (0, -7, 7, 0)],
    )
    def test_examples(self, a, b, g, l):
        assert mosswick.gcd(a, b) == g
        assert mosswick.lcm(a, b) == l

    def test_against_math(self, rng):
        for _ in range(2000):
            bits = rng.choice([8, 32, 63])
            a = rng.randint(-(2**bits) + 1, 2**bits - 1)
            b = rng.randint(-(2**bits) + 1, 2**bits - 1)
            assert mosswick.gcd(a, b) == math.gcd(a, b)
            assert mosswick.lcm(a, b) == math.lcm(a, b)

    def test_results_beyond_the_signed_range_are_exact(self):
        assert mosswick.gcd(I64_MIN, 0) == 2**63
        assert mosswick.gcd(I64_MIN, 6) == 2
        assert mosswick.lcm(I64_MIN, 3) == 3 * 2**63
        assert mosswick.lcm(I64_MAX, I64_MAX - 1) == math.lcm(I64_MAX, I64_MAX - 1)

class TestModPow:
    @pytest.mark.parametrize(
        "base, exp, modulus, expected",
        [(0, 0, 1, 0), (0, 0, 7, 1), (2, 10, 1000, 24), (U64_MAX, U64_MAX, 1, 0), (3, 0, 2, 1)],
    )
    def test_examples(self, base, exp, modulus, expected):
        assert mosswick.mod_pow(base, exp, modulus) == expected

    @pytest.mark.parametrize("modulus", [U64_MAX, U64_MAX - 1, 2**63, 2**63 + 1, 18446744073709551557, 2, 10**9 + 7])
    def test_against_pow(self, rng, modulus):
        for _ in range(200):
            base, exp = rng.randrange(2**64), rng.randrange(2**64)
            assert mosswick.mod_pow(base, exp, modulus) == pow(base, exp, modulus)

    def test_zero_modulus_is_an_internal_failure(self):
        for base, exp in [(5, 3), (0, 0)]:
            message = internal_failure(mosswick.mod_pow, base, exp, 0)
            assert message == "attempt to calculate the remainder with a divisor of zero"


class TestIsPrime:
    # Against trial division and Miller-Rabin to the first twelve prime bases, which is
    # exact below 2^64.
    def test_hard_cases(self):
        for n in HARD_CASES:
            assert mosswick.is_prime(n) is reference_is_prime(n), n

    def test_base_2_strong_pseudoprimes(self):
        found = strong_pseudoprimes_base_2(100_000)
        assert len(found) == 16  # OEIS A001262 up to 100,000
        assert not any(mosswick.is_prime(n) for n in found)

    def test_small_and_around_the_trial_limit(self):
        for n in range(0, 70_000):
            assert mosswick.is_prime(n) is reference_is_prime(n), n

    def test_random_and_structured(self):
        rng = random.Random(64)
        cases = [rng.getrandbits(64) | 1 for _ in range(20_000)]
        cases += [rng.getrandbits(rng.randrange(2, 65)) for _ in range(5_000)]
        cases += [2**64 - 1 - i for i in range(3_000)]
        # p (k (p - 1) + 1): the shape of most strong pseudoprimes; p^2 for large p.
        primes = [p for p in (rng.getrandbits(rng.randrange(8, 32)) | 1 for _ in range(3_000)) if reference_is_prime(p)]
        for p in primes:
            cases += [p * (k * (p - 1) + 1) for k in (2, 3, 4, 6) if p * (k * (p - 1) + 1) < 2**64]
            cases.append(p * p)
        for n in cases:
            assert mosswick.is_prime(n) is reference_is_prime(n), n


class TestSieve:
    # Small limits, around the segment length (32768 odd numbers, so 65536 integers), squares of primes,
    # the primes 3 to 13 whose multiples a segment starts with crossed off, and their pattern's period (15015
    # odd numbers).
    @pytest.mark.parametrize("limit", [0, 1, 2, 3, 11, 13, 14, 49, 121, 169, 289, 30029, 30031, 65535, 65536, 65537,
                                       131073, 196608 + 11, 10**6 + 3])
    def test_against_reference(self, limit):
        assert mosswick.sieve(limit) == reference_sieve(limit)

    @raises_memory_error
    def test_unallocatable_limit_raises_memory_error(self):
        with pytest.raises(MemoryError):
            mosswick.sieve(U64_MAX)


class TestFibonacci:
    def test_every_exact_value(self):
        f, g = 0, 1
        for n in range(94):
            assert mosswick.fibonacci(n) == f
            f, g = g, f + g
        assert mosswick.fibonacci(93) == 12200160415121876738

    @pytest.mark.parametrize("n", [94, 1000, U64_MAX])
    def test_results_beyond_64_bits_raise(self, n):
        with pytest.raises(OverflowError, match="fibonacci"):
            mosswick.fibonacci(n)
