// Modular multiplication of 64-bit numbers: by one division of the 128-bit product
// (mul_mod), and for an odd modulus in Montgomery form, which gives the same
// residues without the division.
#pragma once

#include <bit>
#include <cstdint>

namespace mosswick::classic {

using u128 = unsigned __int128;

// a * b mod n, for n > 0 and one factor below n. The division is written out: a 128-bit remainder
// left to the compiler is a call into its runtime library, and the release
// toolchain's runtime also defines exp and log, which the linker would then take in
// place of the C library's.
inline std::uint64_t mul_mod(std::uint64_t a, std::uint64_t b, std::uint64_t n) {
    const u128 product = static_cast<u128>(a) * b;
    std::uint64_t high = static_cast<std::uint64_t>(product >> 64);  // < n, since one factor is
    std::uint64_t low = static_cast<std::uint64_t>(product);
#if defined(__x86_64__)
    std::uint64_t quotient = 0;
    std::uint64_t remainder = 0;
    __asm__("divq %4" : "=a"(quotient), "=d"(remainder) : "a"(low), "d"(high), "rm"(n) : "cc");
    return remainder;
#else
    // Two steps of schoolbook division in base 2^32 by the normalised divisor, each
    // digit estimated from the divisor's top half and corrected at most twice.
    const int shift = std::countl_zero(n);
    const std::uint64_t d = n << shift;
    high = shift == 0 ? high : (high << shift) | (low >> (64 - shift));
    low <<= shift;
    const std::uint64_t d1 = d >> 32;
    const std::uint64_t d0 = d & 0xFFFFFFFF;
    std::uint64_t rest = high;
    for (const std::uint64_t digit : {low >> 32, low & 0xFFFFFFFF}) {
        std::uint64_t q = rest / d1;
        std::uint64_t r = rest % d1;
        while ((q >> 32) != 0 || q * d0 > ((r << 32) | digit)) {
            --q;
            r += d1;
            if ((r >> 32) != 0) {
                break;
            }
        }
        rest = ((rest << 32) | digit) - q * d;  // the true value is below d: exact modulo 2^64
    }
    return rest >> shift;
#endif
}

class Montgomery {
public:
    explicit Montgomery(std::uint64_t odd_modulus) : n_(odd_modulus) {
        std::uint64_t inverse = n_;  // correct to 3 bits for odd n; each step doubles that
        for (int i = 0; i < 5; ++i) {
            inverse *= 2 - n_ * inverse;
        }
        inverse_ = inverse;
        one_ = (0 - n_) % n_;  // 2^64 mod n
        r2_ = mul_mod(one_, one_, n_);
    }

    std::uint64_t to_form(std::uint64_t x) const { return reduce(static_cast<u128>(x % n_) * r2_); }
    std::uint64_t from_form(std::uint64_t x) const { return reduce(x); }
    std::uint64_t multiply(std::uint64_t a, std::uint64_t b) const { return reduce(static_cast<u128>(a) * b); }
    std::uint64_t one() const { return one_; }
    std::uint64_t minus_one() const { return n_ - one_; }

    // x^e for x in form, by right-to-left square-and-multiply.
    std::uint64_t power(std::uint64_t x, std::uint64_t e) const {
        std::uint64_t result = one_;
        while (e > 0) {
            if (e & 1) {
                result = multiply(result, x);
            }
            e >>= 1;
            x = multiply(x, x);
        }
        return result;
    }

private:
    // t / 2^64 mod n for t < n * 2^64; the low halves of t and m * n cancel exactly.
    std::uint64_t reduce(u128 t) const {
        const std::uint64_t m = static_cast<std::uint64_t>(t) * inverse_;
        const auto mn_high = static_cast<std::uint64_t>((static_cast<u128>(m) * n_) >> 64);
        const auto t_high = static_cast<std::uint64_t>(t >> 64);
        return t_high >= mn_high ? t_high - mn_high : t_high - mn_high + n_;
    }

    std::uint64_t n_;
    std::uint64_t inverse_;  // n^-1 mod 2^64
    std::uint64_t one_;      // 2^64 mod n, the form of 1
    std::uint64_t r2_;       // 2^128 mod n
};

}  // namespace mosswick::classic
