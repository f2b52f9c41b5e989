// Vectorised row operations shared by the machine-learning routines, one build per
// instruction set; dispatch<RowKernels>() gives the running processor's. Each lane accumulates its
// own sum in index order with every product and difference rounded separately,
// so a lane's result equals the plain scalar loop over the same entries.
#pragma once

#include <cstddef>

#include "core/isa.hpp"

namespace mosswick::ml {

// Rows handled side by side by one panel kernel (one vector of doubles per row).
inline constexpr std::size_t kPanelWidth = 8;
// Left-hand rows that share one pass over a panel.
inline constexpr std::size_t kTileRows = 4;

// A panel kernel reduces `count` (1 to kTileRows) left-hand rows against the
// kPanelWidth rows of a panel, whose entry k of lane l is panel[k * kPanelWidth + l],
// over positions 0 .. m - 1: out[r * kPanelWidth + l] is the sum over k of
// term(rows[r][k], panel[k * kPanelWidth + l]), added left to right.
using PanelKernel = void (*)(const double* const* rows, std::size_t count, std::size_t m, const double* panel,
                             double* out);

struct RowKernels {
    PanelKernel dot;                  // x * y, from 0.0
    PanelKernel absolute_difference;  // |x - y|, from -0.0
    PanelKernel squared_difference;   // (x - y) * (x - y), from -0.0
    // For r < count (at most kTileRows) and l < lanes (at most kPanelWidth; all kPanelWidth
    // entries of norm_y are read): out[r][l] = dots[r * kPanelWidth + l] / (norm_x[r] * norm_y[l]),
    // or 0.0 where norm_x[r] or norm_y[l] is 0.0.
    void (*cosine)(const double* dots, std::size_t count, const double* norm_x, const double* norm_y,
                   std::size_t lanes, double* const* out);
    // For k < n, one step s = 0 .. steps - 1 after another: row[k] = row[k] - f[s] * pivots[s][k].
    // The pivot rows do not overlap `row`.
    void (*subtract_scaled)(double* row, const double* const* pivots, const double* f, std::size_t steps,
                            std::size_t n);
    // row[k] = row[k] / divisor for k < n.
    void (*divide)(double* row, double divisor, std::size_t n);

    template <Isa>
    static const RowKernels& build();
};

}  // namespace mosswick::ml
