#include "plot/legend_values.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace pipenet::plot {

namespace {

std::string fixed(double value, int decimals) {
    std::array<char, 400> text{};
    std::snprintf(text.data(), text.size(), "%.*f", std::clamp(decimals, 0, 40), value);
    std::string written = text.data();
    if (written.find_first_of("123456789") == std::string::npos && written.starts_with('-'))
        written.erase(0, 1); // no "-0.00" for a value that rounds to zero
    return written;
}

// Decimals that show `significant` digits of `value`.
int decimals_for(double value, int significant) {
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    return std::max(significant - 1 - exponent, 0);
}

std::string significant_digits(double value, int significant) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    if (value == 0.0) return "0";
    // Rounded first, so that large values lose their lower digits too (1234.5 to 1230), and
    // counted again where rounding carries into a new digit (99.96 to 100).
    const double unit =
        std::pow(10.0, std::floor(std::log10(std::fabs(value))) - (significant - 1));
    const double rounded = std::round(value / unit) * unit;
    if (!std::isfinite(rounded) || rounded == 0.0)
        return fixed(value, decimals_for(value, significant));
    return fixed(rounded, decimals_for(rounded, significant));
}

} // namespace

std::string three_digits(double value) {
    return significant_digits(value, 3);
}

std::string six_digits(double value) {
    std::string text = significant_digits(value, 6);
    if (text.find('.') != std::string::npos) {
        while (text.ends_with('0')) text.pop_back();
        if (text.ends_with('.')) text.pop_back();
    }
    return text;
}

double round_down(double value) {
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (const double factor : {5.0, 2.0, 1.0})
        if (factor * power <= value) return factor * power;
    return power;
}

std::vector<Tick> colour_bar_ticks(double low, double high) {
    std::vector<Tick> ticks;
    if (!std::isfinite(low) || !std::isfinite(high) || !(high > low)) return ticks;
    const double range = high - low;
    if (!std::isfinite(range)) return ticks;
    // The smallest round step that gives at most six ticks inside the range.
    double step = round_down(range / 6.0);
    for (const double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        const double candidate = round_down(range / 6.0) * factor;
        if (candidate != round_down(candidate)) continue;
        step = candidate;
        if (std::floor(high / step) - std::ceil(low / step) + 1.0 <= 6.0) break;
    }
    const int step_decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    for (double k = std::ceil(low / step); k * step <= high; k += 1.0) {
        const double value = k * step;
        if (!(value > low) || !(value < high)) continue;
        std::string text = three_digits(value);
        const std::size_t point = text.find('.');
        const int shown =
            point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
        if (shown < step_decimals) text = fixed(value, step_decimals);
        if (value == 0.0) text = "0";
        ticks.push_back({value, text});
    }
    return ticks;
}

} // namespace pipenet::plot
