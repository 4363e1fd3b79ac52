// The network model: counts, capacities and views of the arrays of one network. The programs
// keep the arrays in one fixed block (FixedNetwork); the engine sizes them from the counts.
// Every array is indexed from 1, as node, element and equation numbers are in the input and the
// report.
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <span>
#include <type_traits>

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
    Vec1() = default;
    Vec1(T* data, std::int32_t size) : data_(data), size_(size) {}
    template <class U, std::size_t N>
    Vec1(std::array<U, N>& a) : data_(a.data()), size_(static_cast<std::int32_t>(N)) {}
    template <class U, std::size_t N>
    Vec1(const std::array<U, N>& a) : data_(a.data()), size_(static_cast<std::int32_t>(N)) {}
    // A view of writable entries is also a view of readable ones.
    template <class U>
    requires(std::is_same_v<const U, T> && !std::is_same_v<U, T>) Vec1(Vec1<U> v)
        : data_(v.data()), size_(v.size()) {}
    T& operator()(std::int32_t i) const {
        assert(i >= 1 && i <= size_);
        return data_[i - 1];
    }
    // True when entry i lies inside the view.
    bool holds(std::int32_t i) const { return i >= 1 && i <= size_; }
    std::int32_t size() const { return size_; }
    T* data() const { return data_; }

private:
    T* data_ = nullptr;
    std::int32_t size_ = 0;
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
    operator Vec1<T>() { return Vec1<T>(entries.data(), N); }
    operator Vec1<const T>() const { return Vec1<const T>(entries.data(), N); }
};

// The symmetric coefficient matrix in band form, upper half only, in storage its owner keeps.
//
//   storage, column by column, leading dimension ld >= the number of equations:
//
//        column m:   1        2          3               b (columns)
//   row 1         K(1,1)   K(1,2)     K(1,3)     ...   K(1,b)
//   row 2         K(2,2)   K(2,3)     K(2,4)     ...   K(2,b+1)
//   ...
//   row i         K(i,i)   K(i,i+1)   K(i,i+2)   ...   K(i,i+b-1)
//
//   band(i, m) = K(i, i + m - 1)  lies at  data[(i - 1) + (m - 1) * ld].
//   K(j, i) for j > i is never stored: it equals K(i, j).
class BandView {
public:
    BandView() = default;
    BandView(float* data, std::int32_t leading_dimension, std::int32_t columns)
        : data_(data), leading_dimension_(leading_dimension), columns_(columns) {}
    float& operator()(std::int32_t row, std::int32_t column) const {
        assert(row >= 1 && row <= leading_dimension_ && column >= 1 && column <= columns_);
        return data_[static_cast<std::ptrdiff_t>(row - 1) +
                     static_cast<std::ptrdiff_t>(column - 1) * leading_dimension_];
    }
    float* data() const { return data_; }
    std::int32_t leading_dimension() const { return leading_dimension_; }
    std::int32_t columns() const { return columns_; }

private:
    float* data_ = nullptr;
    std::int32_t leading_dimension_ = 0;
    std::int32_t columns_ = 0;
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

// Start node and end node of every pipe, element after element, in storage its owner keeps.
class Connectivity {
public:
    Connectivity() = default;
    Connectivity(std::int32_t* data, std::int32_t elements) : data_(data), elements_(elements) {}
    std::int32_t& operator()(std::int32_t position, std::int32_t element) const {
        assert(position >= 1 && position <= nodes_per_element);
        assert(element >= 1 && element <= elements_);
        return data_[static_cast<std::size_t>((element - 1) * nodes_per_element + position - 1)];
    }
    std::int32_t start_node(std::int32_t element) const { return (*this)(1, element); }
    std::int32_t end_node(std::int32_t element) const { return (*this)(2, element); }
    // The pipes the storage holds (every pipe read, or the capacity).
    std::int32_t elements() const { return elements_; }
    bool holds(std::int32_t element) const { return element >= 1 && element <= elements_; }
    // The ends of pipes 1 ... count, pipe after pipe.
    std::span<const std::int32_t> ends(std::int32_t count) const {
        return {data_, static_cast<std::size_t>(count) * nodes_per_element};
    }

private:
    std::int32_t* data_ = nullptr;
    std::int32_t elements_ = 0;
};

// Nodes with a known head, in file order: the node number and the flag of its one unknown
// (0: prescribed), in storage its owner keeps.
class BoundaryNodes {
public:
    BoundaryNodes() = default;
    BoundaryNodes(std::int32_t* data, std::int32_t capacity) : data_(data), capacity_(capacity) {}
    std::int32_t& node(std::int32_t i) const { return data_[index(i, 0)]; }
    std::int32_t& flag(std::int32_t i) const { return data_[index(i, 1)]; }
    std::int32_t capacity() const { return capacity_; }

private:
    std::size_t index(std::int32_t i, std::int32_t slot) const {
        assert(i >= 1 && i <= capacity_);
        return static_cast<std::size_t>((i - 1) * (dofs_per_node + 1) + slot);
    }
    std::int32_t* data_ = nullptr;
    std::int32_t capacity_ = 0;
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

// Where the band may hold an entry other than +0: one bit per band column, bit m-1 of a row's
// words for band column m, words_per_row 64-bit words a row, rows 0 ... equations (row 0 unused).
// fem/band_pattern.hpp works the bits out from the pipes, once per network.
struct BandPattern {
    // Row i: K(i, i+m-1) is a diagonal entry or joins the ends of a pipe.
    std::span<std::uint64_t> assembled;
    // Row j: K(j-m+1, j) is; the same entries seen from their column.
    std::span<std::uint64_t> assembled_columns;
    // Row i: K(i, i+m-1) is a diagonal entry or joins the ends of a pipe, once the known heads
    // have cleared their rows and columns.
    std::span<std::uint64_t> imposed;
    // Row i: K(i, i+m-1) may be nonzero while the band is reduced: the imposed entries and the
    // fill of the elimination.
    std::span<std::uint64_t> factor;
    std::int32_t words_per_row = 0;
};

// The 64-bit words a band pattern needs for one row of a band of `columns` columns.
inline constexpr std::int32_t pattern_words(std::int32_t columns) {
    return columns <= 0 ? 1 : (columns + 63) / 64;
}

// Scratch of the band solver, sized from the equations n and the half-bandwidth b.
struct SolverWorkspace {
    std::span<float> factor;                 // b + 1 entries
    std::span<float> pivot_row;              // b + 1 entries
    std::span<std::int32_t> listed;          // b entries
    std::span<std::uint8_t> reduced_in_full; // n + 1 entries
};

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

    // Views of the owner's storage (FixedNetwork below, or one sized from the counts). A record
    // whose number lies outside a view is read but not stored.
    Vec1<float> x;
    Vec1<float> y;
    Connectivity connectivity;
    Vec1<float> diameter;
    Vec1<float> known_discharge; // 0 at the nodes without a known-discharge record
    Vec1<float> prescribed_head;
    BoundaryNodes boundary_nodes;

    // Derived from the input: turbnet's pipe coefficients, beside the diameters they come from.
    Vec1<float> pipe_coefficient;

    // The solver's system and the results.
    Vec1<float> rhs;
    BandView band;
    BandPattern pattern;
    SolverWorkspace solver_work;
    std::span<std::int32_t> node_work; // 3 * (equations + 1) entries, for the group search
    ElementMatrix element_matrix;
    Vec1<float> member_discharge;
    Vec1<float> nodal_discharge;

    // The first record, in file order of each kind, whose number lies outside its count.
    NumberFault first_node_fault;
    NumberFault first_element_fault;
    NumberFault first_discharge_fault;
    NumberFault first_head_fault;

    // Entries of the boundary list actually stored (at most its capacity).
    std::int32_t stored_boundary_count() const {
        return known_head_count < 0                           ? 0
               : known_head_count > boundary_nodes.capacity() ? boundary_nodes.capacity()
                                                              : known_head_count;
    }
    // Pipes actually stored (at most the capacity).
    std::int32_t stored_element_count() const {
        return element_count < 0                         ? 0
               : element_count > connectivity.elements() ? connectivity.elements()
                                                         : element_count;
    }

    Network() = default;

protected:
    // A copy would share the storage of the original through its views: only the owners of
    // storage copy, each binding the views to its own.
    Network(const Network&) = default;
    Network& operator=(const Network&) = default;
    friend class SizedNetwork;
};

// The programs' fixed block: a Network whose views are bound to storage for the capacities.
// Copies copy the storage and keep their own views.
struct FixedNetwork : Network {
    FixedNetwork() { bind(); }
    FixedNetwork(const FixedNetwork& other) : Network(other), storage_(other.storage_) { bind(); }
    FixedNetwork& operator=(const FixedNetwork& other) {
        if (this != &other) {
            Network::operator=(other);
            storage_ = other.storage_;
            bind();
        }
        return *this;
    }
    // Every count, value and fault back to those of a network not yet read.
    void clear() { *this = FixedNetwork{}; }

private:
    static constexpr std::int32_t pattern_rows = band_rows + 1;
    struct Storage {
        NodeReals x, y, known_discharge, prescribed_head, nodal_discharge;
        ElementReals diameter, pipe_coefficient, member_discharge;
        std::array<std::int32_t, nodes_per_element * max_elements> connectivity{};
        std::array<std::int32_t, (dofs_per_node + 1) * max_boundary_nodes> boundary{};
        EquationReals rhs;
        std::array<float, band_rows * max_half_band> band{};
        std::array<std::uint64_t, pattern_rows * pattern_words(max_half_band)> assembled{},
            assembled_columns{}, imposed{}, factor{};
        std::array<float, max_half_band + 1> factor_work{}, pivot_row{};
        std::array<std::int32_t, max_half_band> listed{};
        std::array<std::uint8_t, band_rows + 1> reduced_in_full{};
        std::array<std::int32_t, 3 * (max_nodes + 1)> node_work{};
    };
    void bind() {
        Storage& s = storage_;
        x = s.x;
        y = s.y;
        known_discharge = s.known_discharge;
        prescribed_head = s.prescribed_head;
        nodal_discharge = s.nodal_discharge;
        diameter = s.diameter;
        pipe_coefficient = s.pipe_coefficient;
        member_discharge = s.member_discharge;
        connectivity = Connectivity(s.connectivity.data(), max_elements);
        boundary_nodes = BoundaryNodes(s.boundary.data(), max_boundary_nodes);
        rhs = s.rhs;
        band = BandView(s.band.data(), band_rows, max_half_band);
        pattern = {s.assembled, s.assembled_columns, s.imposed, s.factor,
                   pattern_words(max_half_band)};
        solver_work = {s.factor_work, s.pivot_row, s.listed, s.reduced_in_full};
        node_work = s.node_work;
    }
    Storage storage_;
};

} // namespace pipenet
