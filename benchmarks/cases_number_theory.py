import math
import random

import mosswick
from benchmarks.runner import Case


def odd_64bit(count=20000, seed=1):
    rng = random.Random(seed)
    return [rng.getrandbits(64) | 1 | (1 << 63) for _ in range(count)]


def numpy_sieve(limit):
    import numpy as np

    flags = np.ones(limit + 1, dtype=bool)
    flags[:2] = False
    for i in range(2, math.isqrt(limit) + 1):
        if flags[i]:
            flags[i * i :: i] = False
    return np.flatnonzero(flags).tolist()


def pow_operands(count=20000, seed=2):
    rng = random.Random(seed)
    return [(rng.getrandbits(64), rng.getrandbits(64), rng.getrandbits(64) | 1) for _ in range(count)]


def _is_prime_gmpy2(xs):
    import gmpy2

    return [bool(gmpy2.is_prime(x)) for x in xs]


def _is_prime_sympy(xs):
    import sympy

    return [sympy.isprime(x) for x in xs]


CASES = [
    Case("is_prime", "20,000 odd 64-bit", "gmpy2.is_prime", odd_64bit,
         lambda xs: [mosswick.is_prime(x) for x in xs], _is_prime_gmpy2, 2.5, needs=("gmpy2",)),
    Case("is_prime", "20,000 odd 64-bit", "sympy.isprime", odd_64bit,
         lambda xs: [mosswick.is_prime(x) for x in xs], _is_prime_sympy, 10, needs=("sympy",)),
    Case("mod_pow", "20,000 64-bit triples", "pow(b, e, m)", pow_operands,
         lambda ts: [mosswick.mod_pow(b, e, m) for b, e, m in ts], lambda ts: [pow(b, e, m) for b, e, m in ts], 1),
    Case("sieve", "10**7", "NumPy boolean sieve", lambda: 10**7, mosswick.sieve, numpy_sieve, 2,
         needs=("numpy",)),
]
