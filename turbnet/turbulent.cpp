#include "turbnet/turbulent.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "fem/band_pattern.hpp"
#include "fem/member_discharges.hpp"
#include "fem/pipe_length.hpp"
#include "report/layouts.hpp"

namespace pipenet {

namespace {

constexpr float coefficient_factor = 0.2784f;
constexpr float diameter_exponent = 2.63f;
constexpr float flow_exponent = 0.54f;
constexpr float conductance_exponent = -0.46f;
constexpr float small_head_difference = 1.0e-7f;

} // namespace

namespace {

// d^2.63 of the last few distinct diameters seen: the pipes of a network come in a handful of
// standard sizes, and the power of each is the same double every time.
class DiameterPowers {
public:
    double of(float d) {
        for (std::size_t i = 0; i < count_; ++i)
            if (diameters_[i] == d) return powers_[i];
        const double power = std::pow(double{d}, double{diameter_exponent});
        diameters_[next_] = d;
        powers_[next_] = power;
        next_ = (next_ + 1) % diameters_.size();
        if (count_ < diameters_.size()) ++count_;
        return power;
    }

private:
    std::array<float, 8> diameters_{};
    std::array<double, 8> powers_{};
    std::size_t count_ = 0;
    std::size_t next_ = 0;
};

} // namespace

void pipe_coefficients(RecordIo& io, Network& net) {
    DiameterPowers diameter_powers;
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        float length = pipe_length(net, e);
        if (!(length > 0.0f)) {
            write_record(io, layouts::turbnet_zero_length, e);
            net.half_band = 0;
            continue;
        }
        float d = net.diameter(e);
        if (!(d > 0.0f)) {
            write_record(io, layouts::turbnet_zero_diameter, e);
            net.half_band = 0;
            continue;
        }
        float t = static_cast<float>(diameter_powers.of(d) * double{coefficient_factor} *
                                     double{net.relative_roughness});
        net.diameter(e) =
            static_cast<float>(double{t} / std::pow(double{length}, double{flow_exponent}));
    }
}

void turbulent_element(std::int32_t e, Network& net, Vec1<const float> heads) {
    std::int32_t i = net.connectivity.start_node(e);
    std::int32_t j = net.connectivity.end_node(e);
    float c = net.diameter(e);
    float dh = static_cast<float>(double{heads(i)} - double{heads(j)});
    double magnitude = std::fabs(double{dh});
    float k = c;
    if (magnitude - double{small_head_difference} > 0.0)
        k = static_cast<float>(std::pow(magnitude, double{conductance_exponent}) * double{c});
    net.element_matrix(1, 1) = k;
    net.element_matrix(2, 1) = -k;
    net.element_matrix(1, 2) = -k;
    net.element_matrix(2, 2) = k;
}

float turbulent_discharge(std::int32_t e, const Network& net, Vec1<const float> heads) {
    std::int32_t a = net.connectivity.start_node(e);
    std::int32_t b = net.connectivity.end_node(e);
    float k = net.diameter(e);
    float d = static_cast<float>(double{heads(a)} - double{heads(b)});
    double s = std::signbit(d) ? -1.0 : 1.0;
    return static_cast<float>(std::pow(std::fabs(double{d}), double{flow_exponent}) * (s * k));
}

void turbulent::member_discharges(Network& net, Vec1<const float> heads) {
    pipenet::member_discharges(net, heads, turbulent_discharge);
}

namespace {

// The row sum of band_product in full: every term, in column order.
float band_row_product(const Network& net, Vec1<const float> x, std::int32_t i) {
    const std::int32_t n = net.equation_count;
    const std::int32_t b = net.half_band;
    float sum = 0.0f;
    std::int32_t lo = i - b + 1 < 1 ? 1 : i - b + 1;
    std::int32_t hi = n - i + 1 < b ? n - i + 1 : b;
    // K(i, k) for k <= i is held in row k: band(k, i - k + 1).
    for (std::int32_t k = lo; k <= i; ++k)
        sum = static_cast<float>(double{sum} + double{net.band(k, i - k + 1)} * double{x(k)});
    for (std::int32_t c = 2; c <= hi; ++c)
        sum = static_cast<float>(double{sum} + double{net.band(i, c)} * double{x(i + c - 1)});
    return sum;
}

} // namespace

void band_product(const Network& net, Vec1<const float> x, Vec1<float> y) {
    const std::int32_t n = net.equation_count;
    const std::int32_t b = net.half_band;
    std::uint32_t infinite_or_nan = 0; // no branch per entry: the loop vectorizes
    for (std::int32_t i = 1; i <= n; ++i)
        infinite_or_nan |= (std::bit_cast<std::uint32_t>(x(i)) & 0x7f800000u) == 0x7f800000u;
    if (infinite_or_nan != 0) {
        for (std::int32_t i = 1; i <= n; ++i) y(i) = band_row_product(net, x, i);
        return;
    }
    // Row i's sum takes K(i, k) * x(k) for k increasing. Walking the stored entries K(r, j),
    // j >= r, with r increasing and j increasing within r hands every sum its terms in exactly
    // that order: K(j, r) = K(r, j) for the rows j > r (r increasing), then row r's own diagonal
    // and upper entries. Only the entries that are not +0 are taken: with x finite a +0 entry
    // adds a zero, which leaves a nonzero sum as it is and can change only the sign of a zero
    // sum, and a later nonzero term gives the same result from either zero. So a sum can differ
    // from the full one only in the sign of a zero, and a zero sum is worked out again in full.
    BandRowBits nonzero_columns;
    mark_band_pattern(net.band, n, b, nonzero_columns, nullptr, false);
    for (std::int32_t i = 1; i <= n; ++i) y(i) = 0.0f;
    for (std::int32_t r = 1; r <= n; ++r) {
        const double xr = x(r);
        double own = y(r);
        const float* row = net.band.storage.data() + (r - 1);
        for (std::uint32_t marked = nonzero_columns[static_cast<std::size_t>(r)]; marked != 0;
             marked &= marked - 1) {
            const std::int32_t m = std::countr_zero(marked) + 1;
            const float entry = row[(m - 1) * band_rows];
            const std::int32_t j = r + m - 1;
            own = static_cast<float>(own + double{entry} * double{x(j)});
            if (m > 1) y(j) = static_cast<float>(double{y(j)} + double{entry} * xr);
        }
        y(r) = static_cast<float>(own);
        if (own == 0.0) y(r) = band_row_product(net, x, r);
    }
}

} // namespace pipenet
