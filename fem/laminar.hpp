// The laminar pipe law: a pipe's discharge is its Hagen-Poiseuille conductance
// c = rho_g_over_mu * pi / 128 * D^4 / L times the head difference between its ends.
#pragma once

#include "network/faults.hpp"
#include "network/model.hpp"

namespace pipenet {

// Forms the element matrix (c, -c, -c, c) of pipe e. A pipe whose length or diameter is not
// greater than 0 leaves the matrix unchanged and returns zero_length or zero_diameter (the
// length is tested first). e: in, 1 <= e <= element_count. net: in, x, y, connectivity,
// diameter, rho_g_over_mu; out, element_matrix.
FaultCode laminar_element(std::int32_t e, Network& net);

// The discharge of pipe e from the heads at its ends, by the laminar law; the conductance is
// formed again from the geometry. net: in. heads: in.
float laminar_discharge(std::int32_t e, const Network& net, Vec1<const float> heads);

namespace laminar {
// Member discharges and nodal balance by the laminar law. net: in-out. heads: in.
// (Each program has its own; the namespace keeps both linkable into one test or harness.)
void member_discharges(Network& net, Vec1<const float> heads);
} // namespace laminar

} // namespace pipenet
