// A network whose storage is sized from its own counts, for networks of any size: the node, pipe
// and known-head arrays once the records have been read, the band and the solver's scratch once
// the network has passed its checks.
#pragma once

#include <cstdint>
#include <vector>

#include "network/model.hpp"

namespace pipenet {

class SizedNetwork {
public:
    SizedNetwork() = default;
    SizedNetwork(const SizedNetwork&) = delete;
    SizedNetwork& operator=(const SizedNetwork&) = delete;

    // The network, its views bound to the storage below.
    Network net;

    // Storage for `nodes` nodes, `elements` pipes and `known_heads` known heads (a negative
    // count as none), every value cleared; the counts, faults and band of net are cleared too.
    // Call only with counts that records actually read have borne out: the storage is in
    // proportion to them. Throws std::bad_alloc when memory runs out.
    void size_records(std::int32_t nodes, std::int32_t elements, std::int32_t known_heads);

    // Storage for the band of net.equation_count rows and net.half_band columns, its pattern and
    // the solver's scratch, for a network that has passed its checks (so that the half-bandwidth
    // is at most the node count). Throws std::bad_alloc when memory runs out.
    void size_band();

    // Room for `known_heads` entries of the boundary list, those stored kept.
    void reserve_known_heads(std::int32_t known_heads);

private:
    void bind();

    std::vector<float> node_reals_; // x, y, known_discharge, prescribed_head, nodal_discharge, rhs
    std::vector<float> element_reals_; // diameter, pipe_coefficient, member_discharge
    std::vector<std::int32_t> connectivity_;
    std::vector<std::int32_t> boundary_;
    std::vector<std::int32_t> node_work_;
    std::vector<float> band_;
    std::vector<std::uint64_t> pattern_;
    std::vector<float> solver_reals_;
    std::vector<std::int32_t> listed_;
    std::vector<std::uint8_t> reduced_in_full_;
    std::int32_t nodes_ = 0;
    std::int32_t elements_ = 0;
    std::int32_t known_heads_ = 0;
    std::int32_t band_rows_ = 0;
    std::int32_t band_columns_ = 0;
};

} // namespace pipenet
