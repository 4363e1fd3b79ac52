#include "network/sized_network.hpp"

#include <algorithm>

namespace pipenet {

namespace {

constexpr std::int32_t node_arrays = 6;
constexpr std::int32_t element_arrays = 3;

std::size_t at_least_zero(std::int32_t count) {
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

} // namespace

void SizedNetwork::size_records(std::int32_t nodes, std::int32_t elements,
                                std::int32_t known_heads) {
    nodes_ = static_cast<std::int32_t>(at_least_zero(nodes));
    elements_ = static_cast<std::int32_t>(at_least_zero(elements));
    known_heads_ = static_cast<std::int32_t>(at_least_zero(known_heads));
    node_reals_.assign(static_cast<std::size_t>(nodes_) * node_arrays, 0.0f);
    element_reals_.assign(static_cast<std::size_t>(elements_) * element_arrays, 0.0f);
    connectivity_.assign(static_cast<std::size_t>(elements_) * nodes_per_element, 0);
    boundary_.assign(static_cast<std::size_t>(known_heads_) * (dofs_per_node + 1), 0);
    node_work_.assign(3 * (static_cast<std::size_t>(nodes_) + 1), 0);
    band_.clear();
    pattern_.clear();
    solver_reals_.clear();
    listed_.clear();
    reduced_in_full_.clear();
    band_rows_ = 0;
    band_columns_ = 0;
    net = Network{};
    bind();
}

void SizedNetwork::size_band() {
    band_rows_ = std::max(net.equation_count, 0);
    band_columns_ = std::max(net.half_band, 0);
    const auto rows = static_cast<std::size_t>(band_rows_);
    const auto columns = static_cast<std::size_t>(band_columns_);
    const auto words = static_cast<std::size_t>(pattern_words(band_columns_));
    band_.assign(rows * columns, 0.0f);
    pattern_.assign(4 * (rows + 1) * words, 0);
    solver_reals_.assign(2 * (columns + 1), 0.0f);
    listed_.assign(columns, 0);
    reduced_in_full_.assign(rows + 1, 0);
    bind();
}

void SizedNetwork::reserve_known_heads(std::int32_t known_heads) {
    if (known_heads <= known_heads_) return;
    known_heads_ = known_heads;
    boundary_.resize(static_cast<std::size_t>(known_heads_) * (dofs_per_node + 1), 0);
    bind();
}

void SizedNetwork::bind() {
    const auto nodes = static_cast<std::size_t>(nodes_);
    const auto elements = static_cast<std::size_t>(elements_);
    auto node_array = [&](std::size_t i) {
        return Vec1<float>(node_reals_.data() + i * nodes, nodes_);
    };
    auto element_array = [&](std::size_t i) {
        return Vec1<float>(element_reals_.data() + i * elements, elements_);
    };
    net.x = node_array(0);
    net.y = node_array(1);
    net.known_discharge = node_array(2);
    net.prescribed_head = node_array(3);
    net.nodal_discharge = node_array(4);
    net.rhs = node_array(5);
    net.diameter = element_array(0);
    net.pipe_coefficient = element_array(1);
    net.member_discharge = element_array(2);
    net.connectivity = Connectivity(connectivity_.data(), elements_);
    net.boundary_nodes = BoundaryNodes(boundary_.data(), known_heads_);
    net.node_work = node_work_;
    net.band = BandView(band_.data(), band_rows_, band_columns_);
    const std::size_t pattern_size = pattern_.size() / 4;
    std::span<std::uint64_t> pattern(pattern_);
    net.pattern = {pattern.first(pattern_size), pattern.subspan(pattern_size, pattern_size),
                   pattern.subspan(2 * pattern_size, pattern_size),
                   pattern.subspan(3 * pattern_size, pattern_size), pattern_words(band_columns_)};
    const std::size_t solver_half = solver_reals_.size() / 2;
    std::span<float> solver(solver_reals_);
    net.solver_work = {solver.first(solver_half), solver.subspan(solver_half, solver_half), listed_,
                       reduced_in_full_};
}

} // namespace pipenet
