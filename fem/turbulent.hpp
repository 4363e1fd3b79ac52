// The turbulent pipe law: Q = c * sign(dh) * |dh|^0.54, with the pipe coefficient
// c = 0.2784 * relative_roughness * D^2.63 / L^0.54.
#pragma once

#include "network/faults.hpp"
#include "network/model.hpp"

namespace pipenet {

// Sets the pipe coefficient of every pipe from its diameter and length. A pipe whose length, or
// else whose diameter, is not greater than 0 is added to faults (its coefficient left as it
// was); every pipe is examined. net: in, x, y, connectivity, diameter, relative_roughness; out,
// pipe_coefficient. faults: in-out, the faulty pipes added in element order.
void pipe_coefficients(Network& net, PipeFaults& faults);

// Forms the element matrix (k, -k, -k, k) of pipe e from its secant conductance at the current
// heads: k = c |dh|^-0.46, or c itself when |dh| is at most 1.0e-7. e: in. net: in,
// pipe_coefficient, connectivity; out, element_matrix. heads: in.
void turbulent_element(std::int32_t e, Network& net, Vec1<const float> heads);

// The discharge of pipe e by the turbulent law. net: in, pipe_coefficient.
float turbulent_discharge(std::int32_t e, const Network& net, Vec1<const float> heads);

// Member discharges and nodal balance by the turbulent law. net: in-out. heads: in.
namespace turbulent {
void member_discharges(Network& net, Vec1<const float> heads);
} // namespace turbulent

} // namespace pipenet
