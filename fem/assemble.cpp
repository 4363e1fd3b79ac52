#include "fem/assemble.hpp"

namespace pipenet {

void assemble_element(std::int32_t e, Network& net) {
    std::int32_t nodes[nodes_per_element] = {net.connectivity(1, e), net.connectivity(2, e)};
    for (std::int32_t i = 1; i <= nodes_per_element; ++i) {
        for (std::int32_t j = i; j <= nodes_per_element; ++j) {
            std::int32_t ni = nodes[i - 1];
            std::int32_t nj = nodes[j - 1];
            for (std::int32_t k = 1; k <= dofs_per_node; ++k) {
                std::int32_t l0 = ni == nj ? k : 1;
                for (std::int32_t l = l0; l <= dofs_per_node; ++l) {
                    std::int32_t row = 0;
                    std::int32_t column = 0;
                    float value = 0.0f;
                    if (ni <= nj) {
                        row = (ni - 1) * dofs_per_node + k;
                        column = (nj - 1) * dofs_per_node + l;
                        value = net.element_matrix((i - 1) * dofs_per_node + k,
                                                   (j - 1) * dofs_per_node + l);
                    } else {
                        // The symmetric counterpart: the entry lands in the smaller node's row.
                        row = (nj - 1) * dofs_per_node + k;
                        column = (ni - 1) * dofs_per_node + l;
                        value = net.element_matrix((i - 1) * dofs_per_node + l,
                                                   (j - 1) * dofs_per_node + k);
                    }
                    float& entry = net.band(row, column - row + 1);
                    entry = static_cast<float>(double{entry} + double{value});
                }
            }
        }
    }
}

} // namespace pipenet
