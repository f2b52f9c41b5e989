#include "classic/levenshtein.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "core/interrupt.hpp"

namespace mosswick::classic {

namespace {

// Bit-parallel edit distance (Myers' bit-vector algorithm, in blocks of 64 pattern
// bytes as Hyyro extended it). Bit i of a block holds the vertical difference
// D[r+1][j] - D[r][j] of pattern row r = 64 * block + i as two bit vectors (+1 in pv,
// -1 in mv). Each byte of the text advances the column by one, block by block from
// the top, handing the horizontal difference of a block's last row to the next block.
class BitParallel {
public:
    explicit BitParallel(std::string_view pattern)
        : blocks_((pattern.size() + 63) / 64),
          last_row_(static_cast<unsigned>((pattern.size() - 1) % 64)),
          pv_(blocks_, ~std::uint64_t{0}),  // first column: D[r][0] = r
          mv_(blocks_, 0),
          score_(pattern.size()) {
        // Bytes of the pattern get compact ids from 1; every other byte shares id 0.
        std::size_t symbols = 1;
        for (const char c : pattern) {
            auto& slot = id_[static_cast<unsigned char>(c)];
            if (slot == 0) {
                slot = static_cast<std::uint16_t>(symbols++);
            }
        }
        // peq_[id * blocks + b]: the rows in block b where the pattern has that byte.
        peq_.assign(symbols * blocks_, 0);
        for (std::size_t r = 0; r < pattern.size(); ++r) {
            peq_[match_row(pattern[r]) + r / 64] |= std::uint64_t{1} << (r % 64);
        }
    }

    // D[m][n] after the whole text, m the pattern's length.
    std::uint64_t distance(std::string_view text) {
        constexpr std::size_t kWave = 3;
        // Whole waves in stretches of about Pacer::kWork block steps: the loop over a
        // stretch calls nothing, and the pacer is told once per stretch.
        const std::size_t stretch = kWave * std::max<std::size_t>(1, interrupt::Pacer::kWork / (kWave * blocks_));
        interrupt::Pacer pacer;
        std::size_t j = 0;
        while (j + kWave <= text.size()) {
            const std::size_t end = std::min(j + stretch, text.size() - (text.size() - j) % kWave);
            pacer.add((end - j) * blocks_);
            for (; j < end; j += kWave) {
                advance<kWave>(text.data() + j);
            }
        }
        for (; j < text.size(); ++j) {
            advance<1>(text.data() + j);
        }
        return score_;
    }

private:
    std::size_t match_row(char c) const { return id_[static_cast<unsigned char>(c)] * blocks_; }

    // Advances W columns at once, block by block: block b of column w needs block b of
    // column w - 1 (kept in registers here) and the carry out of block b - 1 of column
    // w, so the work on consecutive blocks overlaps.
    template <std::size_t W>
    void advance(const char* chars) {
        const std::uint64_t* eq[W];
        std::uint64_t hp[W];
        std::uint64_t hn[W];
        for (std::size_t w = 0; w < W; ++w) {
            eq[w] = &peq_[match_row(chars[w])];
            hp[w] = 1;  // the top row D[0][j] = j grows by one per column
            hn[w] = 0;
        }
        for (std::size_t b = 0; b + 1 < blocks_; ++b) {
            advance_block<W>(eq, b, 63, hp, hn);
        }
        // Bits above the pattern's last row in the last block only ever carry upwards.
        advance_block<W>(eq, blocks_ - 1, last_row_, hp, hn);
        for (std::size_t w = 0; w < W; ++w) {
            score_ = score_ + hp[w] - hn[w];
        }
    }

    // One block of W columns; the carries out are taken from bit `last` of the block.
    template <std::size_t W>
    void advance_block(const std::uint64_t* const* eq, std::size_t b, unsigned last, std::uint64_t* hp,
                       std::uint64_t* hn) {
        std::uint64_t p = pv_[b];
        std::uint64_t n = mv_[b];
        for (std::size_t w = 0; w < W; ++w) {
            const std::uint64_t e = eq[w][b] | hn[w];
            const std::uint64_t d0 = (((e & p) + p) ^ p) | e | n;
            const std::uint64_t h_p = n | ~(d0 | p);
            const std::uint64_t h_n = p & d0;
            const std::uint64_t h_p_in = (h_p << 1) | hp[w];
            const std::uint64_t h_n_in = (h_n << 1) | hn[w];
            hp[w] = (h_p >> last) & 1;
            hn[w] = (h_n >> last) & 1;
            p = h_n_in | ~(d0 | h_p_in);
            n = h_p_in & d0;
        }
        pv_[b] = p;
        mv_[b] = n;
    }

    std::size_t blocks_;
    unsigned last_row_;  // the bit of the pattern's last row in the last block
    std::array<std::uint16_t, 256> id_{};
    std::vector<std::uint64_t> peq_;
    std::vector<std::uint64_t> pv_;
    std::vector<std::uint64_t> mv_;
    std::uint64_t score_;
};

}  // namespace

std::uint64_t levenshtein(std::string_view a, std::string_view b) {
    // A common prefix or suffix never needs an edit.
    while (!a.empty() && !b.empty() && a.front() == b.front()) {
        a.remove_prefix(1);
        b.remove_prefix(1);
    }
    while (!a.empty() && !b.empty() && a.back() == b.back()) {
        a.remove_suffix(1);
        b.remove_suffix(1);
    }
    const std::string_view shorter = a.size() < b.size() ? a : b;
    const std::string_view longer = a.size() < b.size() ? b : a;
    if (shorter.empty()) {
        return longer.size();
    }
    return BitParallel(shorter).distance(longer);
}

}  // namespace mosswick::classic
