"""A short tour of mosswick: call a few routines and print what they return."""

import mosswick

print("gcd(84, 36)            =", mosswick.gcd(84, 36))
print("lcm(4, 6)              =", mosswick.lcm(4, 6))
print("mod_pow(2, 10, 1000)   =", mosswick.mod_pow(2, 10, 1000))
print("is_prime(2**61 - 1)    =", mosswick.is_prime(2**61 - 1))
print("sieve(30)              =", mosswick.sieve(30))
print("fibonacci(90)          =", mosswick.fibonacci(90))
