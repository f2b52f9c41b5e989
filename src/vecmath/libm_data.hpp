// The constants and tables of the C library's exp, log and expm1 (GNU C Library
// 2.28 and later for exp and log; expm1 is the older table-free algorithm), as the
// library ships them. vecmath/vector_math.hpp evaluates the same algorithms lane by
// lane from these values.
#pragma once

#include <cstdint>

namespace mosswick::libm {

// (Plain constexpr: each body that reads them has its own copy, which no build shares.)

// exp: x = k ln2/N + r with N = 128; 2^(k/N) = scale (1 + tail).
constexpr int kExpTableBits = 7;
constexpr double kExpInvLn2N = 0x1.71547652b82fep7;   // N / ln 2
constexpr double kExpShift = 0x1.8p52;                 // rounds k to an integer
constexpr double kExpNegLn2HiN = -0x1.62e42fefa0000p-8;  // -ln2/N, high part
constexpr double kExpNegLn2LoN = -0x1.cf79abc9e3b3ap-47;  // -ln2/N, low part
constexpr double kExpC2 = 0x1.ffffffffffdbdp-2;
constexpr double kExpC3 = 0x1.555555555543cp-3;
constexpr double kExpC4 = 0x1.55555cf172b91p-5;
constexpr double kExpC5 = 0x1.1111167a4d017p-7;
// For j < N: entry 2j is the bits of tail(j); entry 2j + 1 is the bits of 2^(j/N)
// with j << 45 subtracted, so that adding k << 45 gives the scale 2^(k/N) / (1 + tail).
extern const std::uint64_t kExpTable[2 << kExpTableBits];

// log: x = 2^k z with z in [OFF, 2 OFF); for the subinterval i of z, invc ~ 1/c and
// logc = log(c); r = z invc - 1 and log(x) = k ln2 + logc + log1p(r).
constexpr int kLogTableBits = 7;
constexpr std::uint64_t kLogOff = 0x3fe6000000000000;
constexpr double kLogLn2Hi = 0x1.62e42fefa3800p-1;
constexpr double kLogLn2Lo = 0x1.ef35793c76730p-45;
// log1p(r) - r for the table path: A0 r^2 + A1 r^3 + ... + A4 r^6.
constexpr double kLogA[5] = {-0x1.0000000000001p-1, 0x1.555555551305bp-2, -0x1.fffffffeb4590p-3,
                                    0x1.999b324f10111p-3, -0x1.55575e506c89fp-3};
// log1p(r) for x near 1 (r = x - 1): r + B0 r^2 + B1 r^3 + ... + B10 r^12.
constexpr double kLogB[11] = {-0x1p-1,
                                     0x1.5555555555577p-2,
                                     -0x1.ffffffffffdcbp-3,
                                     0x1.999999995dd0cp-3,
                                     -0x1.55555556745a7p-3,
                                     0x1.24924a344de3p-3,
                                     -0x1.fffffa4423d65p-4,
                                     0x1.c7184282ad6cap-4,
                                     -0x1.999eb43b068ffp-4,
                                     0x1.78182f7afd085p-4,
                                     -0x1.5521375d145cdp-4};
// For i < 2^kLogTableBits: entry 2i is invc, entry 2i + 1 is logc.
extern const double kLogTable[2 << kLogTableBits];

// expm1: x = k ln2 + r, with r's polynomial in (r/2)^2.
constexpr double kExpm1Ln2Hi = 0x1.62e42feep-1;
constexpr double kExpm1Ln2Lo = 0x1.a39ef35793c76p-33;
constexpr double kExpm1InvLn2 = 0x1.71547652b82fep0;
constexpr double kExpm1Q[6] = {1.0, -0x1.11111111110f4p-5, 0x1.a01a019fe5585p-10, -0x1.4ce199eaadbb7p-14,
                                      0x1.0cfca86e65239p-18, -0x1.afdb76e09c32dp-23};

}  // namespace mosswick::libm
