// gcd, lcm, modular power, primality, sieve and Fibonacci over 64-bit integers.
#pragma once

#include <cstdint>
#include <vector>

namespace mosswick::classic {

// Never negative; |-2^63| is returned exactly as 2^63.
std::uint64_t gcd(std::int64_t a, std::int64_t b);

// Exact: |a / gcd * b| can need up to 127 bits.
unsigned __int128 lcm(std::int64_t a, std::int64_t b);

std::uint64_t mod_pow(std::uint64_t base, std::uint64_t exp, std::uint64_t modulus);

// Deterministic for every 64-bit n: trial division by the primes below 256, then Baillie-PSW
// (strong base-2 and strong Lucas tests), the answers of Miller-Rabin on the first twelve primes.
bool is_prime(std::uint64_t n);

// Every prime p with 2 <= p <= limit, ascending.
std::vector<std::uint64_t> sieve(std::uint64_t limit);

// F(n) for n <= 93; larger n have no 64-bit result and raise OverflowError.
std::uint64_t fibonacci(std::uint64_t n);

}  // namespace mosswick::classic
