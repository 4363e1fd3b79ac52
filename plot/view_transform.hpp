// Maps the input's coordinates onto a picture: one scale for both axes, so that the network
// keeps its shape, y pointing up, the drawing centred in the frame.
#pragma once

#include <span>

namespace pipenet::plot {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

struct Frame {
    double left = 0.0;
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;
};

class ViewTransform {
public:
    // Fits `points` into `frame`. Points that are not finite are left out of the fit and drawn
    // at the frame's centre; one point, coincident points and points on a line all give a finite
    // scale, so that no screen coordinate is ever NaN or infinite.
    static ViewTransform fit(std::span<const Point> points, const Frame& frame);

    Point to_screen(Point input) const;
    // Screen units per input unit.
    double scale() const { return scale_; }

private:
    double min_x_ = 0.0;
    double max_y_ = 0.0;
    double scale_ = 1.0;
    double offset_x_ = 0.0;
    double offset_y_ = 0.0;
    Point centre_;
};

// A round length for a scale bar (1, 2 or 5 times a power of ten) at most `longest` input
// units; `longest` must be positive and finite.
double round_scale_length(double longest);

} // namespace pipenet::plot
