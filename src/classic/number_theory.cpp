#include "classic/number_theory.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>

#include "classic/montgomery.hpp"
#include "core/errors.hpp"
#include "core/interrupt.hpp"

namespace mosswick::classic {

namespace {

// The odd primes tried as divisors before the probable-prime tests: each one that
// removes a candidate saves a modular exponentiation, at the cost of one
// multiplication per candidate.
constexpr std::uint64_t kTrialPrimes[] = {3,   5,   7,   11,  13,  17,  19,  23,  29,  31,  37,  41,  43,
                                          47,  53,  59,  61,  67,  71,  73,  79,  83,  89,  97,  101, 103,
                                          107, 109, 113, 127, 131, 137, 139, 149, 151, 157, 163, 167, 173,
                                          179, 181, 191, 193, 197, 199, 211, 223, 227, 229, 233, 239, 241, 251};
constexpr std::uint64_t kTrialLimit = 256;  // every prime below it is 2 or in the list

// d divides n exactly when n * d^-1 mod 2^64 is at most (2^64 - 1) / d (d odd).
struct Divisor {
    std::uint64_t inverse;
    std::uint64_t bound;
};

constexpr std::uint64_t inverse_mod_2_64(std::uint64_t d) {
    std::uint64_t x = d;  // correct to 3 bits for odd d; each step doubles that
    for (int i = 0; i < 5; ++i) {
        x *= 2 - d * x;
    }
    return x;
}

struct TrialDivisors {
    Divisor divisor[std::size(kTrialPrimes)];
    std::uint64_t small_primes[kTrialLimit / 64];  // bit i set: i is prime
};

constexpr TrialDivisors make_trial_divisors() {
    TrialDivisors t{};
    for (std::size_t i = 0; i < std::size(kTrialPrimes); ++i) {
        t.divisor[i] = {inverse_mod_2_64(kTrialPrimes[i]), ~std::uint64_t{0} / kTrialPrimes[i]};
        t.small_primes[kTrialPrimes[i] / 64] |= std::uint64_t{1} << (kTrialPrimes[i] % 64);
    }
    t.small_primes[0] |= 1 << 2;
    return t;
}

constexpr TrialDivisors kTrial = make_trial_divisors();

// Whether an odd prime of the trial list divides n. The first eight (which divide
// about 63% of odd numbers) are tried before the rest; within each group all
// products are formed, so the loop has no branch that depends on n.
bool has_trial_factor(std::uint64_t n) {
    constexpr std::size_t kFirst = 8;
    bool divisible = false;
    for (std::size_t i = 0; i < kFirst; ++i) {
        divisible |= n * kTrial.divisor[i].inverse <= kTrial.divisor[i].bound;
    }
    if (divisible) {
        return true;
    }
    for (std::size_t i = kFirst; i < std::size(kTrial.divisor); ++i) {
        divisible |= n * kTrial.divisor[i].inverse <= kTrial.divisor[i].bound;
    }
    return divisible;
}

// a or b by a condition as unpredictable as the data: a conditional move, not a branch.
std::uint64_t choose(bool condition, std::uint64_t a, std::uint64_t b) {
    return __builtin_expect_with_probability(condition, true, 0.5) ? a : b;
}

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

std::uint64_t add_mod(std::uint64_t a, std::uint64_t b, std::uint64_t n) {
    const std::uint64_t sum = a + b;
    return choose(sum < a || sum >= n, sum - n, sum);
}

std::uint64_t sub_mod(std::uint64_t a, std::uint64_t b, std::uint64_t n) {
    return choose(a >= b, a - b, a - b + n);
}

// The strong probable-prime test to base 2 for odd n > 2. (Right to left, the chain
// of squarings and the chain of products overlap; left to right, the doubling that
// multiplies by the base would lengthen the one chain.)
bool strong_probable_prime_base_2(const Montgomery& field, std::uint64_t n) {
    std::uint64_t d = n - 1;
    const int s = std::countr_zero(d);
    d >>= s;
    const std::uint64_t one = field.one();
    std::uint64_t x = field.power(add_mod(one, one, n), d);
    const std::uint64_t minus_one = field.minus_one();
    if (x == one || x == minus_one) {
        return true;
    }
    for (int i = 1; i < s; ++i) {
        x = field.multiply(x, x);
        if (x == minus_one) {
            return true;
        }
    }
    return false;
}

// The Jacobi symbol (a / n) for odd n > 0.
int jacobi(std::int64_t a_signed, std::uint64_t n) {
    std::uint64_t a = a_signed >= 0 ? static_cast<std::uint64_t>(a_signed) % n
                                    : n - (static_cast<std::uint64_t>(-a_signed) % n);
    if (a == n) {
        a = 0;
    }
    int result = 1;
    while (a != 0) {
        const int twos = std::countr_zero(a);
        a >>= twos;
        if ((twos & 1) && ((n & 7) == 3 || (n & 7) == 5)) {
            result = -result;
        }
        if ((a & 3) == 3 && (n & 3) == 3) {
            result = -result;
        }
        const std::uint64_t r = n % a;
        n = a;
        a = r;
    }
    return n == 1 ? result : 0;
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

bool is_square(std::uint64_t n) {
    const std::uint64_t r = integer_sqrt(n);
    return r * r == n;
}

// An upper bound on the number of primes up to x > 1 (Rosser and Schoenfeld).
std::size_t prime_count_bound(std::uint64_t x) {
    const double bound = 1.25506 * static_cast<double>(x) / std::log(static_cast<double>(x)) + 2.0;
    if (bound >= 0x1p63) {
        throw std::bad_alloc();
    }
    return static_cast<std::size_t>(bound);
}

// The strong Lucas probable-prime test with Selfridge's parameters (method A): D is the
// first of 5, -7, 9, -11, ... with Jacobi symbol (D / n) = -1, P = 1, Q = (1 - D) / 4.
// For odd n > 256 without a trial factor. With the strong base-2 test this is the
// Baillie-PSW test, which has no pseudoprime below 2^64.
//
// With n + 1 = d * 2^s (d odd), n passes when U_d = 0 or V_(d 2^r) = 0 for some r < s
// (mod n). V_d and V_(d+1) come from a ladder over the bits of d that keeps the pairs
// (V_k, V_k+1) and (Q^k, Q^k+1), each step two independent products per pair:
//   V_2k = V_k^2 - 2 Q^k,  V_2k+1 = V_k V_k+1 - P Q^k,  V_2k+2 = V_k+1^2 - 2 Q^k+1;
// and U_d = 0 exactly when D U_d = 2 V_d+1 - P V_d = 0, D being prime to n.
struct LucasValues {
    std::uint64_t v_d;       // V_d
    std::uint64_t v_d_next;  // V_d+1
    std::uint64_t q_d;       // Q^d
};

// The ladder over the bits of d; with Q = -1 (D = 5, half of all primes), Q^k is 1 or
// -1 by the parity of k and needs no products.
template <bool kQIsMinusOne>
LucasValues lucas_ladder(const Montgomery& field, std::uint64_t n, std::uint64_t d, std::int64_t Q) {
    const std::uint64_t one = field.one();
    const std::uint64_t minus_one = field.minus_one();
    std::uint64_t v0 = add_mod(one, one, n);  // V_0 = 2
    std::uint64_t v1 = one;                   // V_1 = P = 1
    std::uint64_t q0 = one;                   // Q^0
    std::uint64_t q1 = kQIsMinusOne ? minus_one
                                    : field.to_form(Q >= 0 ? static_cast<std::uint64_t>(Q)
                                                           : n - static_cast<std::uint64_t>(-Q));
    for (int bit = std::bit_width(d) - 1; bit >= 0; --bit) {
        const bool up = (d >> bit) & 1;  // k -> 2k + 1, else k -> 2k
        const std::uint64_t vx = choose(up, v1, v0);
        const std::uint64_t qx = choose(up, q1, q0);
        const std::uint64_t square = sub_mod(field.multiply(vx, vx), add_mod(qx, qx, n), n);
        const std::uint64_t mixed = sub_mod(field.multiply(v0, v1), q0, n);
        v0 = choose(up, mixed, square);
        v1 = choose(up, square, mixed);
        if constexpr (kQIsMinusOne) {
            // Q^2k = 1 and Q^2k+1 = -1, whatever k is.
            q0 = choose(up, minus_one, one);
            q1 = choose(up, one, minus_one);
        } else {
            const std::uint64_t q_square = field.multiply(qx, qx);
            const std::uint64_t q_mixed = field.multiply(q0, q1);
            q0 = choose(up, q_mixed, q_square);
            q1 = choose(up, q_square, q_mixed);
        }
    }
    return {v0, v1, q0};
}

bool strong_lucas_probable_prime(const Montgomery& field, std::uint64_t n) {
    std::int64_t D = 5;
    for (int tries = 0;; ++tries) {
        const int j = jacobi(D, n);
        if (j == -1) {
            break;
        }
        if (j == 0) {
            return false;  // |D| < n shares a factor with n
        }
        if (tries == 8 && is_square(n)) {
            return false;  // a square has no such D
        }
        D = D > 0 ? -(D + 2) : -D + 2;
    }
    const std::int64_t Q = (1 - D) / 4;

    // n + 1 = d * 2^s with d odd; n + 1 does not wrap, as 2^64 - 1 = 3 * 5 * 17 * ... has trial factors.
    std::uint64_t d = n + 1;
    const int s = std::countr_zero(d);
    d >>= s;
    const auto [v0, v1, qd] = D == 5 ? lucas_ladder<true>(field, n, d, 0) : lucas_ladder<false>(field, n, d, Q);
    std::uint64_t v = v0;
    std::uint64_t q0 = qd;
    if (add_mod(v1, v1, n) == v) {
        return true;  // U_d = 0
    }
    for (int r = 0; r < s; ++r) {
        if (v == 0) {
            return true;
        }
        v = sub_mod(field.multiply(v, v), add_mod(q0, q0, n), n);
        q0 = field.multiply(q0, q0);
    }
    return false;
}

// The sieve's segment: flag bytes for this many consecutive odd numbers.
constexpr std::uint64_t kSegment = 32 * 1024;

// The odd primes whose multiples a segment starts with crossed off, and the number of odd
// numbers after which that pattern repeats (their product).
constexpr std::uint64_t kPatternPrimes[] = {3, 5, 7, 11, 13};
constexpr std::uint64_t kPatternPeriod = 3 * 5 * 7 * 11 * 13;

// Flag i (for the odd number 2i + 1) is 1 when one of kPatternPrimes divides 2i + 1; long
// enough that a whole segment can be copied from any offset below the period.
const std::uint8_t* small_prime_pattern() {
    static const std::vector<std::uint8_t> pattern = [] {
        std::vector<std::uint8_t> flags(kPatternPeriod + kSegment, 0);
        for (const std::uint64_t p : kPatternPrimes) {
            for (std::uint64_t i = p / 2; i < flags.size(); i += p) {
                flags[i] = 1;
            }
        }
        return flags;
    }();
    return pattern.data();
}

std::uint64_t round_up(std::uint64_t n, std::uint64_t step) {
    return (n + step - 1) / step * step;
}

// Bit k set where flag byte k of the 64 is 0 (the number is prime).
std::uint64_t prime_mask(const std::uint8_t* flags) {
    std::uint64_t mask = 0;
    for (int w = 0; w < 8; ++w) {
        std::uint64_t word;
        std::memcpy(&word, flags + 8 * w, sizeof word);
        // The low bit of each byte that is 0, gathered into the top byte, byte k to bit 56 + k.
        const std::uint64_t clear = ~word & 0x0101010101010101ull;
        mask |= ((clear * 0x0102040810204080ull) >> 56) << (8 * w);
    }
    return mask;
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
            r = mul_mod(r, b, modulus);
        }
        exp >>= 1;
        b = mul_mod(b, b, modulus);
    }
    return r;
}

// The same answers as trial division by the first twelve primes followed by
// Miller-Rabin to those twelve bases, with less work: trial division by the primes
// below 256, then the Baillie-PSW test (a strong probable-prime test to base 2 and a
// strong Lucas test), which is exact below 2^64.
bool is_prime(std::uint64_t n) {
    if (n < kTrialLimit) {
        return (kTrial.small_primes[n / 64] >> (n % 64)) & 1;
    }
    if ((n & 1) == 0 || has_trial_factor(n)) {
        return false;
    }
    if (n < 257 * 257) {
        return true;  // no prime factor below 257
    }
    const Montgomery field(n);
    return strong_probable_prime_base_2(field, n) && strong_lucas_probable_prime(field, n);
}

// Segmented sieve of Eratosthenes over odd numbers, one flag byte per odd number: each
// segment fits the first-level cache. A segment starts as a copy of the pattern the
// primes 3 to 13 leave (it repeats every 15015 odd numbers), the larger primes up to
// the root cross off their odd multiples from their squares, and the flags are read
// eight at a time into bit masks whose set bits are the primes.
std::vector<std::uint64_t> sieve(std::uint64_t limit) {
    if (limit < 2) {
        return {};
    }
    const std::uint8_t* pattern = small_prime_pattern();
    std::vector<std::uint64_t> primes(prime_count_bound(limit));
    std::uint64_t* out = primes.data();
    *out++ = 2;

    // Odd primes from 17 up to the square root; flag i stands for 2i + 1.
    const std::uint64_t root = integer_sqrt(limit);
    std::vector<std::uint8_t> small_composite(root / 2 + 1, 0);
    std::vector<std::uint64_t> base;
    for (std::uint64_t i = 1; 2 * i + 1 <= root; ++i) {
        if (!small_composite[i]) {
            const std::uint64_t p = 2 * i + 1;
            if (p > kPatternPrimes[std::size(kPatternPrimes) - 1]) {
                base.push_back(p);
            }
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

    const std::uint64_t flags = limit / 2 + limit % 2;  // odd numbers 1, 3, ..., up to limit
    std::vector<std::uint8_t> segment(kSegment + 64);
    std::uint8_t* composite = segment.data();
    std::size_t active = 0;  // base primes whose square lies below this segment's end
    interrupt::Pacer pacer;
    for (std::uint64_t low = 0; low < flags; low += kSegment) {
        const std::uint64_t length = std::min(kSegment, flags - low);
        pacer.add(length);
        const std::uint64_t end = low + length;
        std::memcpy(composite, pattern + low % kPatternPeriod, length);
        if (low == 0) {
            composite[0] = 1;  // 1 is not prime
            for (const std::uint64_t p : kPatternPrimes) {
                if (p / 2 < length) {
                    composite[p / 2] = 0;
                }
            }
        }
        while (active < base.size() && (base[active] * base[active]) / 2 < end) {
            ++active;
        }
        for (std::size_t b = 0; b < active; ++b) {
            const std::uint64_t p = base[b];
            std::uint64_t k = next[b] - low;
            for (; k + 3 * p < length; k += 4 * p) {  // four at a time: fewer loop steps per store
                composite[k] = 1;
                composite[k + p] = 1;
                composite[k + 2 * p] = 1;
                composite[k + 3 * p] = 1;
            }
            for (; k < length; k += p) {
                composite[k] = 1;
            }
            next[b] = low + k;
        }
        std::fill(composite + length, composite + round_up(length, 64), 1);
        for (std::uint64_t t = 0; t < length; t += 64) {
            for (std::uint64_t mask = prime_mask(composite + t); mask != 0; mask &= mask - 1) {
                *out++ = 2 * (low + t + static_cast<std::uint64_t>(std::countr_zero(mask))) + 1;
            }
        }
    }
    primes.resize(static_cast<std::size_t>(out - primes.data()));
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
