#include "ml/panels.hpp"

#include <algorithm>
#include <limits>

namespace mosswick::ml {

namespace {

// The storage offset of a panel whose rows differ in length: it has no storage.
constexpr std::size_t kRagged = std::numeric_limits<std::size_t>::max();

}  // namespace

Panels::Panels(const std::vector<std::vector<double>>& rows) {
    std::vector<std::size_t> offsets;
    std::size_t total = 0;
    for (std::size_t first = 0; first < rows.size(); first += kPanelWidth) {
        const std::size_t count = std::min(kPanelWidth, rows.size() - first);
        const std::size_t length = rows[first].size();
        const bool even = std::all_of(rows.begin() + first, rows.begin() + first + count,
                                      [&](const std::vector<double>& row) { return row.size() == length; });
        panels_.push_back({first, count, length, nullptr});
        offsets.push_back(even ? total : kRagged);
        total += even ? length * kPanelWidth : 0;
    }
    storage_ = AlignedBuffer<double>::zeros(total);
    for (std::size_t p = 0; p < panels_.size(); ++p) {
        if (offsets[p] == kRagged) {
            continue;
        }
        Panel& panel = panels_[p];
        double* data = storage_.data() + offsets[p];
        for (std::size_t l = 0; l < panel.rows; ++l) {
            const std::vector<double>& row = rows[panel.first + l];
            for (std::size_t k = 0; k < panel.length; ++k) {
                data[k * kPanelWidth + l] = row[k];
            }
        }
        panel.data = data;
    }
}

}  // namespace mosswick::ml
