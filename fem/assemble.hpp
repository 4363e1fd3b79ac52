// Banded assembly of the pipe elements into the symmetric band (upper half only).
#pragma once

#include <algorithm>

#include "network/model.hpp"

namespace pipenet {

// Adds the 2 x 2 matrix of element e into the band: with a the start node and b the end node,
// element_matrix(1,1) to band(a, 1), element_matrix(1,2) to band(min(a,b), |a-b| + 1) and
// element_matrix(2,2) to band(b, 1), in that order, each sum rounded to float.
// e: in, 1 <= e <= element_count, with both end nodes in 1 ... equation_count and
// |a - b| < half_band. net: in-out, band; in, connectivity and element_matrix.
void assemble_element(std::int32_t e, Network& net);

// The element routine's contract: fill net.element_matrix for element e from the element
// property array (diameters or pipe coefficients) and the element state vector (the current
// heads), or note the element as faulty and leave the matrix as it was.
template <class Element>
concept ElementRoutine = requires(Element element, std::int32_t e, Network& net,
                                  Vec1<const float> state) {
    element(e, net, state);
};

// Clears rows 1 ... equation_count, columns 1 ... half_band of the band and adds every element
// in input order, each formed by `element` and scattered by assemble_element, even after one
// has failed. element_state: in, passed to the element routine unchanged.
// net: in-out. Requires half_band <= max_half_band, equation_count <= band_rows and every
// pipe end in 1 ... equation_count.
template <ElementRoutine Element>
void assemble_global(Network& net, Vec1<const float> element_state, Element&& element) {
    // Rows 1 ... equation_count of each used column lie next to each other in the storage.
    for (std::int32_t m = 1; m <= net.half_band; ++m)
        std::fill_n(&net.band(1, m), net.equation_count, 0.0f);
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        element(e, net, element_state);
        assemble_element(e, net);
    }
}

} // namespace pipenet
