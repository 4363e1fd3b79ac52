// Which labels a picture keeps where they would overlap: a label is written only where it
// covers no label written before it and no node.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "plot/view_transform.hpp"

namespace pipenet::plot {

struct Box {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};

// Boxes that share only an edge or a corner do not overlap.
bool overlap(const Box& a, const Box& b);

// The box an 11-pixel sans-serif label takes with its text starting at `baseline_start`, from
// an upper bound of the widths of digits and most letters, with a margin of 2 pixels left and
// right and half a pixel above and below, so that kept labels stay apart.
Box label_box(Point baseline_start, std::string_view text);

// For each of `labels` in the order given (the most important first): whether it is kept,
// that is whether it overlaps none of `obstacles` and no label kept before it. The same boxes
// always give the same answer.
std::vector<bool> place_labels(std::span<const Box> labels, std::span<const Box> obstacles);

} // namespace pipenet::plot
