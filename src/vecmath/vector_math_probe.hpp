// Which of exp, log and tanh the kernels evaluate with the vector versions of
// vecmath/vector_math.hpp. Those versions reproduce one build of one C library; the first
// use in a process compares each of them with the library the process runs on, over a
// fixed set of inputs (its special values, the boundaries of its algorithm's ranges,
// inputs on which its builds with and without fused multiply-adds differ), and a
// function whose results differ anywhere is evaluated by the library for the rest of
// the process. MOSSWICK_CPU=portable, or a processor without AVX2 and FMA, leaves
// every function to the library.
#pragma once

#include <cstddef>

#include "core/isa.hpp"
#include "vecmath/vector_math_kernels.hpp"

namespace mosswick::vecmath {

// True when the running processor's kernels evaluate f with its vector version: the
// build has one and it gave the library's bits on every probe input. Decided on the
// first call, once per process.
bool vectorised(Function f);

// The number of probe inputs for f.
std::size_t probe_size(Function f);

// The kernels for a formula that calls f: the running processor's, or the portable
// build's (which calls the library) when f is not vectorised. Every other step of a
// formula rounds the same in every build, so the two differ only in speed.
template <class Table>
const Table& kernels_for(Function f) {
    return vectorised(f) ? dispatch<Table>() : Table::template build<Isa::portable>();
}

}  // namespace mosswick::vecmath
