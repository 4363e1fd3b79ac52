#include "fem/turbulent.hpp"

#include <array>
#include <cmath>
#include <cstdint>

#include "fem/member_discharges.hpp"
#include "fem/pipe_length.hpp"

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

void pipe_coefficients(Network& net, PipeFaults& faults) {
    DiameterPowers diameter_powers;
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        float length = pipe_length(net, e);
        if (!(length > 0.0f)) {
            faults.add(FaultCode::zero_length, e);
            continue;
        }
        float d = net.diameter(e);
        if (!(d > 0.0f)) {
            faults.add(FaultCode::zero_diameter, e);
            continue;
        }
        float t = static_cast<float>(diameter_powers.of(d) * double{coefficient_factor} *
                                     double{net.relative_roughness});
        net.pipe_coefficient(e) =
            static_cast<float>(double{t} / std::pow(double{length}, double{flow_exponent}));
    }
}

void turbulent_element(std::int32_t e, Network& net, Vec1<const float> heads) {
    std::int32_t i = net.connectivity.start_node(e);
    std::int32_t j = net.connectivity.end_node(e);
    float c = net.pipe_coefficient(e);
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
    float k = net.pipe_coefficient(e);
    float d = static_cast<float>(double{heads(a)} - double{heads(b)});
    double s = std::signbit(d) ? -1.0 : 1.0;
    return static_cast<float>(std::pow(std::fabs(double{d}), double{flow_exponent}) * (s * k));
}

void turbulent::member_discharges(Network& net, Vec1<const float> heads) {
    pipenet::member_discharges(net, heads, turbulent_discharge);
}

} // namespace pipenet
