// The process-wide worker pool and the parallel loops kernels use. Kernels see
// index ranges only: never a thread, a queue or a latch. Every call blocks until
// all of its pieces have ended; an exception in any piece is rethrown to the
// caller afterwards (std::bad_alloc and interrupt::Stopped as they are, anything
// else as InternalFailure). A call that is to stop (core/interrupt.hpp) skips the
// pieces not yet started and throws interrupt::Stopped once the others have ended.
#pragma once

#include <algorithm>
#include <cstddef>
#include <type_traits>
#include <utility>
#include <vector>

namespace mosswick::pool {

// Loops over at least this many elements (or rows) go to the pool; smaller ones
// stay on the calling thread and never start it.
inline constexpr std::size_t kParallelThreshold = 10'000;

inline bool parallel(std::size_t n) {
    return n >= kParallelThreshold;
}

// The number of workers W; starts the pool if it is not running yet.
std::size_t worker_count();

// A borrowed callable taking a piece index.
class PieceTask {
public:
    template <class F>
        requires(!std::is_same_v<F, PieceTask>)
    explicit PieceTask(F& f)
        : object_(&f), call_([](void* object, std::size_t piece) { (*static_cast<F*>(object))(piece); }) {}
    void operator()(std::size_t piece) const { call_(object_, piece); }

private:
    void* object_;
    void (*call_)(void*, std::size_t);
};

// Runs task(p) for every p in [0, pieces) on the workers and waits for all of them.
void run(std::size_t pieces, PieceTask task);

// How many pieces a loop over n items is cut into: enough for the workers to balance.
std::size_t pieces_for(std::size_t n);

// body(begin, end) over disjoint consecutive ranges that cover [0, n).
template <class Body>
void for_range(std::size_t n, Body&& body) {
    const std::size_t pieces = pieces_for(n);
    auto piece = [&](std::size_t p) { body(n * p / pieces, n * (p + 1) / pieces); };
    run(pieces, PieceTask(piece));
}

// The loop kernels run: body(begin, end) over [0, n), split across the pool when
// `size` (the elements or rows the loop stands for) reaches the parallel threshold,
// otherwise in one call on the calling thread. Indices may stand for whole rows or
// chunks, which are then never divided; pieces write disjoint memory, so results
// land in index order on either path.
template <class Body>
void loop(std::size_t n, Body&& body, std::size_t size) {
    if (parallel(size)) {
        for_range(n, body);
    } else if (n > 0) {
        body(std::size_t{0}, n);
    }
}

template <class Body>
void loop(std::size_t n, Body&& body) {
    loop(n, std::forward<Body>(body), n);
}

// The sum of piece(begin, end) over consecutive pieces that cover [0, n), the pieces'
// partial sums combined pairwise, left + right. The grouping depends only on n and the
// number of workers.
template <class Piece>
double sum_pieces(std::size_t n, Piece&& piece) {
    const std::size_t pieces = pieces_for(n);
    std::vector<double> partial(pieces);
    auto one = [&](std::size_t p) { partial[p] = piece(n * p / pieces, n * (p + 1) / pieces); };
    run(pieces, PieceTask(one));
    auto combine = [&](auto& self, std::size_t lo, std::size_t hi) -> double {
        if (hi - lo == 1) {
            return partial[lo];
        }
        const std::size_t mid = lo + (hi - lo) / 2;
        return self(self, lo, mid) + self(self, mid, hi);
    };
    return pieces == 0 ? -0.0 : combine(combine, 0, pieces);
}

// Pieces added left to right from -0.0 in kSumLanes lanes of consecutive indices side
// by side (so that their additions overlap in time; the last lane also takes the
// remainder), the lanes combined as (0 + 1) + (2 + 3).
inline constexpr std::size_t kSumLanes = 4;

// piece(begin, lane, end, s) adds the terms of lane k, [begin + k * lane, begin + (k + 1)
// * lane), to s[k], and those of [begin + kSumLanes * lane, end) to s[kSumLanes - 1].
template <class Piece>
double sum_in_lanes(std::size_t n, Piece&& piece) {
    static_assert(kSumLanes == 4, "the lanes are combined below as (0 + 1) + (2 + 3)");
    return sum_pieces(n, [&](std::size_t begin, std::size_t end) {
        double s[kSumLanes] = {-0.0, -0.0, -0.0, -0.0};
        piece(begin, (end - begin) / kSumLanes, end, s);
        return (s[0] + s[1]) + (s[2] + s[3]);
    });
}

// The same sum, of the terms that fill(begin, end, out) writes to out[0 .. end - begin),
// called for consecutive ranges of at most kFillBlock indices (for terms computed a
// vector at a time).
inline constexpr std::size_t kFillBlock = 256;

template <class Fill>
double sum_filled(std::size_t n, Fill&& fill) {
    return sum_in_lanes(n, [&](std::size_t begin, std::size_t lane, std::size_t end, double* s) {
        double terms[kSumLanes][kFillBlock];
        for (std::size_t i = 0; i < lane; i += kFillBlock) {
            const std::size_t count = std::min(kFillBlock, lane - i);
            for (std::size_t k = 0; k < kSumLanes; ++k) {
                const std::size_t first = begin + k * lane + i;
                fill(first, first + count, terms[k]);
            }
            for (std::size_t j = 0; j < count; ++j) {
                for (std::size_t k = 0; k < kSumLanes; ++k) {
                    s[k] += terms[k][j];
                }
            }
        }
        for (std::size_t first = begin + kSumLanes * lane; first < end; first += kFillBlock) {
            const std::size_t count = std::min(kFillBlock, end - first);
            fill(first, first + count, terms[0]);
            for (std::size_t j = 0; j < count; ++j) {
                s[kSumLanes - 1] += terms[0][j];
            }
        }
    });
}

}  // namespace mosswick::pool
