// Modular multiplication for an odd 64-bit modulus in Montgomery form: the
// same residues as a 128-bit product reduced by division, without the division.
#pragma once

#include <cstdint>

namespace mosswick::classic {

using u128 = unsigned __int128;

class Montgomery {
public:
    explicit Montgomery(std::uint64_t odd_modulus) : n_(odd_modulus) {
        std::uint64_t inverse = n_;  // correct to 3 bits for odd n; each step doubles that
        for (int i = 0; i < 5; ++i) {
            inverse *= 2 - n_ * inverse;
        }
        inverse_ = inverse;
        one_ = (0 - n_) % n_;  // 2^64 mod n
        r2_ = static_cast<std::uint64_t>(static_cast<u128>(one_) * one_ % n_);
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
