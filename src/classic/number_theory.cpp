#include "classic/number_theory.hpp"

#include <algorithm>
#include <cmath>
#include <new>

#include "classic/montgomery.hpp"
#include "core/errors.hpp"
#include "core/interrupt.hpp"

namespace mosswick::classic {

namespace {

constexpr std::uint64_t kSmallPrimes[] = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37};

std::uint64_t magnitude(std::int64_t x) {
    return x < 0 ? 0 - static_cast<std::uint64_t>(x) : static_cast<std::uint64_t>(x);
}

std::uint64_t euclid(std::uint64_t x, std::uint64_t y) {
    while (y != 0) {
        const std::uint64_t r = x % y;
        x = y;
        y = r;
    }
    return x;
}

// Miller-Rabin for odd n >= 41 with n - 1 = d * 2^s.
bool passes_miller_rabin(std::uint64_t n) {
    std::uint64_t d = n - 1;
    int s = 0;
    while ((d & 1) == 0) {
        d >>= 1;
        ++s;
    }
    const Montgomery field(n);
    const std::uint64_t one = field.one();
    const std::uint64_t minus_one = field.minus_one();
    for (const std::uint64_t witness : kSmallPrimes) {
        std::uint64_t x = field.power(field.to_form(witness), d);
        if (x == one || x == minus_one) {
            continue;
        }
        bool reached = false;
        for (int i = 1; i < s && !reached; ++i) {
            x = field.multiply(x, x);
            reached = x == minus_one;
        }
        if (!reached) {
            return false;
        }
    }
    return true;
}

std::uint64_t integer_sqrt(std::uint64_t n) {
    auto r = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(n)));
    while (static_cast<u128>(r) * r > n) {
        --r;
    }
    while (static_cast<u128>(r + 1) * (r + 1) <= n) {
        ++r;
    }
    return r;
}

// An upper bound on the number of primes up to x > 1 (Rosser and Schoenfeld).
std::size_t prime_count_bound(std::uint64_t x) {
    const double bound = 1.25506 * static_cast<double>(x) / std::log(static_cast<double>(x)) + 2.0;
    if (bound >= 0x1p63) {
        throw std::bad_alloc();
    }
    return static_cast<std::size_t>(bound);
}

}  // namespace

std::uint64_t gcd(std::int64_t a, std::int64_t b) {
    return euclid(magnitude(a), magnitude(b));
}

unsigned __int128 lcm(std::int64_t a, std::int64_t b) {
    if (a == 0 || b == 0) {
        return 0;
    }
    const std::uint64_t g = euclid(magnitude(a), magnitude(b));
    return static_cast<u128>(magnitude(a) / g) * magnitude(b);
}

std::uint64_t mod_pow(std::uint64_t base, std::uint64_t exp, std::uint64_t modulus) {
    if (modulus == 1) {
        return 0;
    }
    if (modulus == 0) {
        throw InternalFailure("attempt to calculate the remainder with a divisor of zero");
    }
    if (exp == 0) {
        return 1;
    }
    if (modulus & 1) {
        const Montgomery field(modulus);
        return field.from_form(field.power(field.to_form(base), exp));
    }
    std::uint64_t b = base % modulus;
    std::uint64_t r = 1;
    while (exp > 0) {
        if (exp & 1) {
            r = static_cast<std::uint64_t>(static_cast<u128>(r) * b % modulus);
        }
        exp >>= 1;
        b = static_cast<std::uint64_t>(static_cast<u128>(b) * b % modulus);
    }
    return r;
}

bool is_prime(std::uint64_t n) {
    if (n < 2) {
        return false;
    }
    for (const std::uint64_t p : kSmallPrimes) {
        if (n == p) {
            return true;
        }
        if (n % p == 0) {
            return false;
        }
    }
    return passes_miller_rabin(n);
}

// Segmented sieve of Eratosthenes over odd numbers: each segment fits the first-level
// cache, and every composite is crossed off once per odd prime factor up to its root.
std::vector<std::uint64_t> sieve(std::uint64_t limit) {
    if (limit < 2) {
        return {};
    }
    std::vector<std::uint64_t> primes;
    primes.reserve(prime_count_bound(limit));
    primes.push_back(2);

    // Odd primes up to the square root; flag i stands for 2i + 1.
    const std::uint64_t root = integer_sqrt(limit);
    std::vector<std::uint8_t> small_composite(root / 2 + 1, 0);
    std::vector<std::uint64_t> base;
    for (std::uint64_t i = 1; 2 * i + 1 <= root; ++i) {
        if (!small_composite[i]) {
            const std::uint64_t p = 2 * i + 1;
            base.push_back(p);
            for (std::uint64_t j = (p * p) / 2; j < small_composite.size(); j += p) {
                small_composite[j] = 1;
            }
        }
    }

    // next[b]: the flag index of the next odd multiple of base[b] to cross off, starting at its square.
    std::vector<std::uint64_t> next(base.size());
    for (std::size_t b = 0; b < base.size(); ++b) {
        next[b] = (base[b] * base[b]) / 2;
    }

    constexpr std::uint64_t kSegment = 32 * 1024;
    std::vector<std::uint8_t> composite(kSegment);
    const std::uint64_t last = (limit - 1) / 2;  // flag index of the largest odd number <= limit
    std::size_t active = 0;                        // base primes whose square lies below this segment's end
    interrupt::Pacer pacer;
    for (std::uint64_t low = 1; low <= last; low += kSegment) {
        const std::uint64_t length = std::min(kSegment, last - low + 1);
        pacer.add(length);
        const std::uint64_t end = low + length;
        std::fill_n(composite.begin(), length, 0);
        while (active < base.size() && (base[active] * base[active]) / 2 < end) {
            ++active;
        }
        for (std::size_t b = 0; b < active; ++b) {
            std::uint64_t j = next[b];
            for (; j < end; j += base[b]) {
                composite[j - low] = 1;
            }
            next[b] = j;
        }
        for (std::uint64_t t = 0; t < length; ++t) {
            if (!composite[t]) {
                primes.push_back(2 * (low + t) + 1);
            }
        }
    }
    return primes;
}

std::uint64_t fibonacci(std::uint64_t n) {
    if (n > 93) {
        throw OverflowError("fibonacci() result does not fit in 64 bits: n must be at most 93");
    }
    // Fast doubling from the top bit: (F(k), F(k+1)) -> (F(2k), F(2k+1)) -> (F(2k+1), F(2k+2)).
    std::uint64_t f = 0;
    std::uint64_t g = 1;
    for (int bit = 63; bit >= 0; --bit) {
        const std::uint64_t c = f * (2 * g - f);
        const std::uint64_t d = f * f + g * g;
        if ((n >> bit) & 1) {
            f = d;
            g = c + d;
        } else {
            f = c;
            g = d;
        }
    }
    return f;
}

}  // namespace mosswick::classic
