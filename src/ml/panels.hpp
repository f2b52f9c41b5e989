// Rows transposed in groups of kPanelWidth, so that one vector lane follows one
// row: the layout the panel kernels read.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "core/buffer.hpp"
#include "ml/row_kernels.hpp"

namespace mosswick::ml {

struct Panel {
    std::size_t first;   // index of the panel's first row
    std::size_t rows;    // its rows: first .. first + rows - 1, at most kPanelWidth
    std::size_t length;  // the common length of its rows
    // Entry k of row first + l at data[k * kPanelWidth + l] (lanes past `rows` hold zeros),
    // or nullptr when the rows differ in length and must be taken one by one.
    const double* data;
};

class Panels {
public:
    explicit Panels(const std::vector<std::vector<double>>& rows);

    std::span<const Panel> view() const { return panels_; }

private:
    AlignedBuffer<double> storage_;
    std::vector<Panel> panels_;
};

}  // namespace mosswick::ml
