// The product of the symmetric band with a vector: the residual of a Newton-Raphson pass.
#pragma once

#include "network/model.hpp"

namespace pipenet {

// y = band * x for the symmetric band (upper half held): for each row i, first the lower part
// from the farthest column in to the diagonal, then the upper part outwards, each sum rounded
// to float.
// band: in, rows 1 ... n, columns 1 ... b. n: in, n >= 1. b: in, b >= 1.
// pattern: in, its imposed marks cover every entry of the band that is not +0 (the band as
// assembled, with the known heads imposed).
// x: in, n entries. y: out, n entries, a different vector.
void band_product(BandView band, std::int32_t n, std::int32_t b, const BandPattern& pattern,
                  Vec1<const float> x, Vec1<float> y);

} // namespace pipenet
