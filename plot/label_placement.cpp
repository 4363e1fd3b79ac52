#include "plot/label_placement.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace pipenet::plot {

namespace {

// Boxes are filed by the square cells they touch, so that a label is compared only with its
// neighbours: --labels all on a network of ten thousand nodes stays fast.
constexpr double cell_size = 64.0;

class BoxIndex {
public:
    void add(const Box& box) {
        const std::size_t index = boxes_.size();
        boxes_.push_back(box);
        for_cells(box, [&](std::int64_t key) { cells_[key].push_back(index); });
    }

    bool overlaps(const Box& box) const {
        bool found = false;
        for_cells(box, [&](std::int64_t key) {
            if (found) return;
            const auto it = cells_.find(key);
            if (it == cells_.end()) return;
            for (const std::size_t index : it->second)
                if (overlap(box, boxes_[index])) {
                    found = true;
                    return;
                }
        });
        return found;
    }

private:
    static std::int64_t cell(double value) {
        // Coordinates far off the picture share the outermost cells.
        return static_cast<std::int64_t>(std::clamp(std::floor(value / cell_size), -1.0e6, 1.0e6));
    }

    template <class Visit>
    static void for_cells(const Box& box, Visit visit) {
        for (std::int64_t cx = cell(box.left); cx <= cell(box.right); ++cx)
            for (std::int64_t cy = cell(box.top); cy <= cell(box.bottom); ++cy)
                visit(cx * 4'000'003 + cy);
    }

    std::vector<Box> boxes_;
    std::unordered_map<std::int64_t, std::vector<std::size_t>> cells_;
};

} // namespace

bool overlap(const Box& a, const Box& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

Box label_box(Point baseline_start, std::string_view text) {
    const double width = 6.6 * static_cast<double>(text.size());
    // A margin keeps neighbouring labels from reading as one ("V31out 0.005").
    return {baseline_start.x - 2.0, baseline_start.y - 9.5, baseline_start.x + width + 2.0,
            baseline_start.y + 3.5};
}

std::vector<bool> place_labels(std::span<const Box> labels, std::span<const Box> obstacles) {
    BoxIndex placed;
    for (const Box& box : obstacles) placed.add(box);
    std::vector<bool> kept(labels.size(), false);
    for (std::size_t k = 0; k < labels.size(); ++k) {
        const Box& box = labels[k];
        // A box that is not finite would fill every cell between its ends: it is not drawn.
        if (!std::isfinite(box.left) || !std::isfinite(box.right) || !std::isfinite(box.top) ||
            !std::isfinite(box.bottom) || placed.overlaps(box))
            continue;
        kept[k] = true;
        placed.add(box);
    }
    return kept;
}

} // namespace pipenet::plot
