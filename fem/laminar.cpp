#include "fem/laminar.hpp"

#include <cmath>

#include "fem/member_discharges.hpp"
#include "fem/pipe_length.hpp"

namespace pipenet {

namespace {

constexpr float pi = 3.1416f; // the value the conductance has always used, not the nearest pi
constexpr float divisor = 128.0f;

} // namespace

FaultCode laminar_element(std::int32_t e, Network& net) {
    float length = pipe_length(net, e);
    if (!(length > 0.0f)) {
        return FaultCode::zero_length;
    }
    double d = net.diameter(e);
    if (!(d > 0.0)) {
        return FaultCode::zero_diameter;
    }
    double k = double{net.rho_g_over_mu} * double{pi} / double{divisor};
    float c = static_cast<float>(((d * d) * (d * d)) * k / double{length});
    net.element_matrix(1, 1) = c;
    net.element_matrix(2, 1) = -c;
    net.element_matrix(1, 2) = -c;
    net.element_matrix(2, 2) = c;
    return FaultCode::none;
}

float laminar_discharge(std::int32_t e, const Network& net, Vec1<const float> heads) {
    float length = pipe_length(net, e);
    double d = net.diameter(e);
    float conductance = static_cast<float>((double{net.rho_g_over_mu} * double{pi}) *
                                           ((d * d) * (d * d)) / (double{divisor} * length));
    std::int32_t a = net.connectivity.start_node(e);
    std::int32_t b = net.connectivity.end_node(e);
    return static_cast<float>((double{heads(a)} - double{heads(b)}) * conductance);
}

void laminar::member_discharges(Network& net, Vec1<const float> heads) {
    pipenet::member_discharges(net, heads, laminar_discharge);
}

} // namespace pipenet
