// The product of the symmetric band with a vector: the residual of a Newton-Raphson pass.
#pragma once

#include "network/model.hpp"

namespace pipenet {

// y = band * x for the symmetric band (upper half held): for each row i, first the lower part
// from the farthest column in to the diagonal, then the upper part outwards, each sum rounded
// to float. net: in, band, equation_count, half_band >= 1. x: in. y: out, a different vector.
void band_product(const Network& net, Vec1<const float> x, Vec1<float> y);

} // namespace pipenet
