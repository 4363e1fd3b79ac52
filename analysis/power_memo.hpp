// The last power taken for each link. The passes and the final check work out each link's law
// with code of their own, but both take |dh|^0.54 of the programs' Hazen-Williams law at the same
// final heads, and a re-solve takes the law again at the heads the last check ended at: the same
// power of the same two numbers, taken once here instead of twice.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace pipenet::analysis {

class PowerMemo {
public:
    // Holds room for `links` links (none: every power is taken), keeping what it holds when it
    // already had that many.
    void fit(std::size_t links) {
        if (entries_.size() != links) entries_.assign(links, Entry{});
    }

    // std::pow(x, y), the one of link e: taken again only when x or y is not, bit for bit, the
    // last one of that link (or e is beyond the links the memo holds).
    double operator()(std::size_t e, double x, double y) {
        if (e >= entries_.size()) return std::pow(x, y);
        Entry& entry = entries_[e];
        const auto xb = std::bit_cast<std::uint64_t>(x);
        const auto yb = std::bit_cast<std::uint64_t>(y);
        if (entry.x != xb || entry.y != yb) {
            entry.x = xb;
            entry.y = yb;
            entry.value = std::pow(x, y);
        }
        return entry.value;
    }

private:
    struct Entry {
        // A NaN's bits and the power of it, a NaN.
        std::uint64_t x = 0x7ff8000000000000u, y = 0x7ff8000000000000u;
        double value = std::numeric_limits<double>::quiet_NaN();
    };
    std::vector<Entry> entries_;
};

} // namespace pipenet::analysis
