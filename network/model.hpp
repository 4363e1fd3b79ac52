// The network model: counts, capacities and fixed-size arrays of one network, owned by the
// driver for the whole run. Every array is indexed from 1, as node, element and equation
// numbers are in the input and the report.
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <span>

namespace pipenet {

// Fixed capacities of both programs.
inline constexpr std::int32_t max_nodes = 100;
inline constexpr std::int32_t max_elements = 100;
inline constexpr std::int32_t max_boundary_nodes = 30;
inline constexpr std::int32_t band_rows = 100;
inline constexpr std::int32_t max_half_band = 20;
inline constexpr std::int32_t dofs_per_node = 1;
inline constexpr std::int32_t nodes_per_element = 2;
inline constexpr std::int32_t element_dofs = nodes_per_element * dofs_per_node;
inline constexpr std::int32_t stdin_unit = 5;
inline constexpr std::int32_t report_unit = 6;
inline constexpr std::int32_t input_unit = 2;

// A view of a vector indexed from 1: v(1) is the first entry.
template <class T>
class Vec1 {
public:
    Vec1(T* data, std::int32_t size) : data_(data), size_(size) {}
    template <class U, std::size_t N>
    Vec1(std::array<U, N>& a) : data_(a.data()), size_(static_cast<std::int32_t>(N)) {}
    T& operator()(std::int32_t i) const {
        assert(i >= 1 && i <= size_);
        return data_[i - 1];
    }
    std::int32_t size() const { return size_; }

private:
    T* data_;
    std::int32_t size_;
};

// Fixed-size storage indexed from 1.
template <class T, std::int32_t N>
struct Array1 {
    std::array<T, N> entries{};

    T& operator()(std::int32_t i) {
        assert(i >= 1 && i <= N);
        return entries[static_cast<std::size_t>(i - 1)];
    }
    const T& operator()(std::int32_t i) const {
        assert(i >= 1 && i <= N);
        return entries[static_cast<std::size_t>(i - 1)];
    }
    static constexpr std::int32_t capacity() { return N; }
    static constexpr bool holds(std::int32_t i) { return i >= 1 && i <= N; }
    operator Vec1<T>() { return Vec1<T>(entries.data(), N); }
    operator Vec1<const T>() const { return Vec1<const T>(entries.data(), N); }
};

// The symmetric coefficient matrix in band form, upper half only.
//
//   storage, column by column, leading dimension band_rows:
//
//        column m:   1        2          3               half_band
//   row 1         K(1,1)   K(1,2)     K(1,3)     ...   K(1,b)
//   row 2         K(2,2)   K(2,3)     K(2,4)     ...   K(2,b+1)
//   ...
//   row i         K(i,i)   K(i,i+1)   K(i,i+2)   ...   K(i,i+b-1)
//
//   band(i, m) = K(i, i + m - 1)  lies at  storage[(i - 1) + (m - 1) * band_rows].
//   K(j, i) for j > i is never stored: it equals K(i, j).
struct Band {
    std::array<float, band_rows * max_half_band> storage{};

    float& operator()(std::int32_t row, std::int32_t column) {
        assert(row >= 1 && row <= band_rows && column >= 1 && column <= max_half_band);
        return storage[static_cast<std::size_t>((row - 1) + (column - 1) * band_rows)];
    }
    float operator()(std::int32_t row, std::int32_t column) const {
        assert(row >= 1 && row <= band_rows && column >= 1 && column <= max_half_band);
        return storage[static_cast<std::size_t>((row - 1) + (column - 1) * band_rows)];
    }
};

// The 2 x 2 matrix of one pipe, stored column by column: (1,1), (2,1), (1,2), (2,2).
struct ElementMatrix {
    std::array<float, element_dofs * element_dofs> storage{};

    float& operator()(std::int32_t row, std::int32_t column) {
        assert(row >= 1 && row <= element_dofs && column >= 1 && column <= element_dofs);
        return storage[static_cast<std::size_t>((row - 1) + (column - 1) * element_dofs)];
    }
    float operator()(std::int32_t row, std::int32_t column) const {
        assert(row >= 1 && row <= element_dofs && column >= 1 && column <= element_dofs);
        return storage[static_cast<std::size_t>((row - 1) + (column - 1) * element_dofs)];
    }
};

// Start node and end node of every pipe, element after element.
struct Connectivity {
    std::array<std::int32_t, nodes_per_element * max_elements> storage{};

    std::int32_t& operator()(std::int32_t position, std::int32_t element) {
        assert(position >= 1 && position <= nodes_per_element);
        assert(element >= 1 && element <= max_elements);
        return storage[static_cast<std::size_t>((element - 1) * nodes_per_element + position - 1)];
    }
    std::int32_t operator()(std::int32_t position, std::int32_t element) const {
        assert(position >= 1 && position <= nodes_per_element);
        assert(element >= 1 && element <= max_elements);
        return storage[static_cast<std::size_t>((element - 1) * nodes_per_element + position - 1)];
    }
    std::int32_t start_node(std::int32_t element) const { return (*this)(1, element); }
    std::int32_t end_node(std::int32_t element) const { return (*this)(2, element); }
};

// Nodes with a known head, in file order: the node number and the flag of its one unknown
// (0: prescribed).
struct BoundaryNodes {
    std::array<std::int32_t, (dofs_per_node + 1) * max_boundary_nodes> storage{};

    std::int32_t& node(std::int32_t i) { return storage[index(i, 0)]; }
    std::int32_t node(std::int32_t i) const { return storage[index(i, 0)]; }
    std::int32_t& flag(std::int32_t i) { return storage[index(i, 1)]; }
    std::int32_t flag(std::int32_t i) const { return storage[index(i, 1)]; }

private:
    static std::size_t index(std::int32_t i, std::int32_t slot) {
        assert(i >= 1 && i <= max_boundary_nodes);
        return static_cast<std::size_t>((i - 1) * (dofs_per_node + 1) + slot);
    }
};

// The kinds of record whose node or element number must lie within the counts.
enum class RecordKind : std::uint8_t { none, node, element, pipe_end, known_discharge, known_head };

// A node or element number that lies outside 1 ... its count.
struct NumberFault {
    RecordKind kind = RecordKind::none;
    std::int32_t number = 0;
    std::int32_t element = 0; // the element whose end it is, for a pipe end
};

using NodeReals = Array1<float, max_nodes>;
using ElementReals = Array1<float, max_elements>;
using EquationReals = Array1<float, band_rows>;

struct Network {
    // Shared block.
    std::int32_t node_count = 0;
    std::int32_t element_count = 0;
    std::int32_t known_discharge_count = 0;
    std::int32_t known_head_count = 0;
    std::int32_t equation_count = 0;
    std::int32_t half_band = 0;
    float rho_g_over_mu = 0.0f;      // lamnet: density * gravity / viscosity
    float relative_roughness = 0.0f; // turbnet: coefficient of the pipe flow law
    std::int32_t max_iterations = 0; // turbnet
    float tolerance = 0.0f;          // turbnet

    NodeReals x;
    NodeReals y;
    Connectivity connectivity;
    ElementReals diameter;
    NodeReals known_discharge; // 0 at the nodes without a known-discharge record
    NodeReals prescribed_head;
    BoundaryNodes boundary_nodes;

    // Derived from the input: turbnet's pipe coefficients, beside the diameters they come from.
    ElementReals pipe_coefficient;

    // The solver's system and the results.
    EquationReals rhs;
    Band band;
    ElementMatrix element_matrix;
    Array1<float, max_half_band> solver_work;
    ElementReals member_discharge;
    NodeReals nodal_discharge;

    // The first record, in file order of each kind, whose number lies outside its count.
    NumberFault first_node_fault;
    NumberFault first_element_fault;
    NumberFault first_discharge_fault;
    NumberFault first_head_fault;

    // Entries of the boundary list actually stored (at most max_boundary_nodes).
    std::int32_t stored_boundary_count() const {
        return known_head_count < 0                    ? 0
               : known_head_count > max_boundary_nodes ? max_boundary_nodes
                                                       : known_head_count;
    }
};

} // namespace pipenet
