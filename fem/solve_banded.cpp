#include "fem/solve_banded.hpp"

#include <cmath>

#include "report/layouts.hpp"

namespace pipenet {

namespace {

bool pivot_vanishes(float pivot, float threshold) {
    // Written so that a NaN pivot, which compares unordered, counts as vanishing.
    return !(std::fabs(double{pivot}) - double{threshold} > 0.0);
}

void singular_exit(RecordIo& io, Network& net, std::int32_t row) {
    write_record(io, layouts::singularity, row);
    net.half_band = 0;
}

// Subtracts K(k, i) times the divided pivot row k from every row i = k+1 ... last, over the
// columns i ... last. work(m) holds K(k, k+m-1) as it was before the division.
//
//   column m of the band, rows k+1 ... last-m+1, lies at consecutive storage positions:
//   band(i, m) -= work(i-k+1) * pivot_row(i-k+m),   pivot_row(t) = band(k, t)
void reduce_rows_below(Band& band, const Array1<float, max_half_band>& work, std::int32_t k,
                       std::int32_t last) {
    const std::int32_t width = last - k + 1; // columns of row k that reach rows k+1 ... last
    std::array<float, max_half_band + 1> pivot_row{};
    for (std::int32_t t = 2; t <= width; ++t) pivot_row[static_cast<std::size_t>(t)] = band(k, t);
    for (std::int32_t m = 1; m < width; ++m) {
        float* column = &band(k + 1, m);
        const float* factor = &work.entries[1];                           // work(2) ...
        const float* pivot = &pivot_row[static_cast<std::size_t>(1 + m)]; // pivot_row(1+m) ...
        const std::int32_t rows = width - m;
        for (std::int32_t t = 0; t < rows; ++t)
            column[t] =
                static_cast<float>(double{column[t]} - double{factor[t]} * double{pivot[t]});
    }
}

} // namespace

void solve_banded(RecordIo& io, Network& net, Vec1<float> rhs, float threshold,
                  std::int32_t floating_row) {
    const std::int32_t n = net.equation_count;
    const std::int32_t b = net.half_band;
    Band& band = net.band;
    auto& work = net.solver_work;

    // Forward elimination. Row k's band reaches row last = min(k + b - 1, n); the entries of
    // row i > k left of its diagonal are never stored, K(i, k) being K(k, i) = band(k, i-k+1).
    for (std::int32_t k = 1; k <= n - 1; ++k) {
        float pivot = band(k, 1);
        if (pivot_vanishes(pivot, threshold) || k == floating_row) {
            singular_exit(io, net, k);
            return;
        }
        std::int32_t last = k + b - 1 < n ? k + b - 1 : n;
        for (std::int32_t j = 2; j <= b; ++j) work(j) = band(k, j);
        for (std::int32_t j = k + 1; j <= last; ++j)
            band(k, j - k + 1) = static_cast<float>(double{band(k, j - k + 1)} / double{pivot});
        rhs(k) = static_cast<float>(double{rhs(k)} / double{pivot});
        // Reduce the rows below: band(i, j-i+1) -= K(k, i) * band(k, j-k+1) for k < i <= j <= last.
        // Each entry takes exactly one update from row k, so the entries are visited column by
        // column, where the band storage is contiguous, with the same result as row by row.
        reduce_rows_below(band, work, k, last);
        for (std::int32_t i = k + 1; i <= last; ++i)
            rhs(i) = static_cast<float>(double{rhs(i)} - double{work(i - k + 1)} * double{rhs(k)});
    }

    float pivot = band(n, 1);
    if (pivot_vanishes(pivot, threshold) || n == floating_row) {
        singular_exit(io, net, n);
        return;
    }
    rhs(n) = static_cast<float>(double{rhs(n)} / double{pivot});

    // Back substitution.
    for (std::int32_t k = n - 1; k >= 1; --k) {
        std::int32_t last = k + b - 1 < n ? k + b - 1 : n;
        for (std::int32_t j = k + 1; j <= last; ++j)
            rhs(k) =
                static_cast<float>(double{rhs(k)} - double{band(k, j - k + 1)} * double{rhs(j)});
    }
}

std::int32_t first_floating_row(const Network& net) {
    // Union-find over the nodes; each group's root carries its highest node and whether it
    // holds a known head.
    std::array<std::int32_t, max_nodes + 1> parent{};
    std::array<std::int32_t, max_nodes + 1> highest{};
    std::array<bool, max_nodes + 1> anchored{};
    const std::int32_t nodes = net.node_count;
    for (std::int32_t v = 1; v <= nodes; ++v) {
        parent[static_cast<std::size_t>(v)] = v;
        highest[static_cast<std::size_t>(v)] = v;
    }
    auto root = [&](std::int32_t v) {
        while (parent[static_cast<std::size_t>(v)] != v) {
            auto& p = parent[static_cast<std::size_t>(v)];
            p = parent[static_cast<std::size_t>(p)];
            v = p;
        }
        return v;
    };
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        std::int32_t a = root(net.connectivity.start_node(e));
        std::int32_t b = root(net.connectivity.end_node(e));
        if (a == b) continue;
        parent[static_cast<std::size_t>(b)] = a;
        if (highest[static_cast<std::size_t>(b)] > highest[static_cast<std::size_t>(a)])
            highest[static_cast<std::size_t>(a)] = highest[static_cast<std::size_t>(b)];
    }
    for (std::int32_t entry = 1; entry <= net.stored_boundary_count(); ++entry)
        if (net.boundary_nodes.flag(entry) == 0)
            anchored[static_cast<std::size_t>(root(net.boundary_nodes.node(entry)))] = true;
    std::int32_t first = 0;
    for (std::int32_t v = 1; v <= nodes; ++v) {
        if (root(v) != v || anchored[static_cast<std::size_t>(v)]) continue;
        std::int32_t top = highest[static_cast<std::size_t>(v)];
        if (first == 0 || top < first) first = top;
    }
    return first;
}

} // namespace pipenet
