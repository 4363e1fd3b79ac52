// The turbulent pipe law: Q = c * sign(dh) * |dh|^0.54, with the pipe coefficient
// c = 0.2784 * relative_roughness * D^2.63 / L^0.54.
#pragma once

#include "network/model.hpp"
#include "report/record_io.hpp"

namespace pipenet {

// Replaces the diameter of every pipe by its pipe coefficient. A pipe whose length, or else
// whose diameter, is not greater than 0 gets its message and sets half_band to 0; every pipe is
// examined. io: in-out. net: in, x, y, connectivity, relative_roughness; in-out, diameter,
// half_band.
void pipe_coefficients(RecordIo& io, Network& net);

// Forms the element matrix (k, -k, -k, k) of pipe e from its secant conductance at the current
// heads: k = c |dh|^-0.46, or c itself when |dh| is at most 1.0e-7. e: in. net: in, diameter
// (the pipe coefficients), connectivity; out, element_matrix. heads: in.
void turbulent_element(std::int32_t e, Network& net, Vec1<const float> heads);

// The discharge of pipe e by the turbulent law. net: in, diameter holds the pipe coefficients.
float turbulent_discharge(std::int32_t e, const Network& net, Vec1<const float> heads);

// Member discharges and nodal balance by the turbulent law. net: in-out. heads: in.
namespace turbulent {
void member_discharges(Network& net, Vec1<const float> heads);
} // namespace turbulent

// y = band * x for the symmetric band (upper half held): for each row i, first the lower part
// from the farthest column in to the diagonal, then the upper part outwards, each sum rounded
// to float. net: in, band, equation_count, half_band >= 1. x: in. y: out, a different vector.
void band_product(const Network& net, Vec1<const float> x, Vec1<float> y);

} // namespace pipenet
