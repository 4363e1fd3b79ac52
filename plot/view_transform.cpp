#include "plot/view_transform.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pipenet::plot {

ViewTransform ViewTransform::fit(std::span<const Point> points, const Frame& frame) {
    ViewTransform view;
    view.centre_ = {frame.left + frame.width / 2.0, frame.top + frame.height / 2.0};
    double min_x = std::numeric_limits<double>::infinity();
    double max_x = -min_x;
    double min_y = min_x;
    double max_y = -min_x;
    for (const Point& point : points) {
        if (!std::isfinite(point.x) || !std::isfinite(point.y)) continue;
        min_x = std::min(min_x, point.x);
        max_x = std::max(max_x, point.x);
        min_y = std::min(min_y, point.y);
        max_y = std::max(max_y, point.y);
    }
    if (!(min_x <= max_x)) {
        min_x = max_x = min_y = max_y = 0.0;
    }
    // Half spans, so that coordinates near the largest double do not overflow.
    const double half_span_x = max_x / 2.0 - min_x / 2.0;
    const double half_span_y = max_y / 2.0 - min_y / 2.0;
    double scale = std::numeric_limits<double>::infinity();
    if (half_span_x > 0.0) scale = std::min(scale, frame.width / 2.0 / half_span_x);
    if (half_span_y > 0.0) scale = std::min(scale, frame.height / 2.0 / half_span_y);
    // A single point, or a span so small its scale overflows: any scale draws it the same.
    if (!std::isfinite(scale) || !(scale > 0.0)) scale = 1.0;
    view.scale_ = scale;
    view.min_x_ = min_x;
    view.max_y_ = max_y;
    view.offset_x_ = frame.left + frame.width / 2.0 - half_span_x * scale;
    view.offset_y_ = frame.top + frame.height / 2.0 - half_span_y * scale;
    if (!std::isfinite(view.offset_x_)) view.offset_x_ = view.centre_.x;
    if (!std::isfinite(view.offset_y_)) view.offset_y_ = view.centre_.y;
    return view;
}

Point ViewTransform::to_screen(Point input) const {
    if (!std::isfinite(input.x) || !std::isfinite(input.y)) return centre_;
    // The differences are formed scaled, so that opposite coordinates of 1e300 stay finite.
    Point screen{offset_x_ + (input.x * scale_ - min_x_ * scale_),
                 offset_y_ + (max_y_ * scale_ - input.y * scale_)};
    if (!std::isfinite(screen.x) || !std::isfinite(screen.y)) return centre_;
    return screen;
}

double round_scale_length(double longest) {
    const double power = std::pow(10.0, std::floor(std::log10(longest)));
    for (double step : {5.0, 2.0, 1.0})
        if (step * power <= longest) return step * power;
    return power;
}

} // namespace pipenet::plot
