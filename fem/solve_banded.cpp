#include "fem/solve_banded.hpp"

#include <array>
#include <cmath>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

// One column of the update below a pivot row: column[t] -= f[t] * p[t], t = 0 ... rows-1.
[[gnu::always_inline]] inline void solve_banded_column(float* column, const float* f,
                                                       const float* p, std::int32_t rows) {
    for (std::int32_t t = 0; t < rows; ++t)
        column[t] = static_cast<float>(double{column[t]} - double{f[t]} * double{p[t]});
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PIPENET_SOLVE_AVX2 1
// The same column with AVX2 vectors: four entries at a time, then two, then one, so that no
// lane does work outside the column. Every product and difference is the double one above.
[[gnu::target("avx2")]] inline void solve_banded_column_avx2(float* column, const float* f,
                                                             const float* p, std::int32_t rows) {
    std::int32_t t = 0;
    for (; t + 4 <= rows; t += 4) {
        __m256d c = _mm256_cvtps_pd(_mm_loadu_ps(column + t));
        __m256d product = _mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(f + t)),
                                        _mm256_cvtps_pd(_mm_loadu_ps(p + t)));
        _mm_storeu_ps(column + t, _mm256_cvtpd_ps(_mm256_sub_pd(c, product)));
    }
    if (t + 2 <= rows) {
        auto load2 = [](const float* a) {
            double pair;
            std::memcpy(&pair, a, sizeof pair);
            return _mm_cvtps_pd(_mm_castpd_ps(_mm_set_sd(pair)));
        };
        __m128d difference = _mm_sub_pd(load2(column + t), _mm_mul_pd(load2(f + t), load2(p + t)));
        double pair = _mm_cvtsd_f64(_mm_castps_pd(_mm_cvtpd_ps(difference)));
        std::memcpy(column + t, &pair, sizeof pair);
        t += 2;
    }
    if (t < rows) column[t] = static_cast<float>(double{column[t]} - double{f[t]} * double{p[t]});
}
#endif

// The elimination and back substitution. Returns 0, or the singular row.
//
// Row k's band reaches row last = min(k + b - 1, n), that is `width` = last - k + 1 columns.
// factor[s] (net.solver_work) holds K(k, k+s) before the division, divided[k][s] the same
// entry after it, a row-major copy of the reduced rows kept for the back substitution.
// The entries of row i > k left of its diagonal are never stored, K(i, k) being K(k, i).
//
// Each entry below row k takes exactly one update from row k, so the entries are visited
// column by column, where the band storage is contiguous, with the same result as row by row:
//   band(k+1+t, m) -= factor[t+1] * divided[k][m+t],   t = 0 ... width-m-1
template <bool avx2>
inline std::int32_t solve_banded_steps(Network& net, Vec1<float> rhs, float threshold,
                                       std::int32_t floating_row) {
    const std::int32_t n = net.equation_count;
    const std::int32_t b = net.half_band;
    Band& band = net.band;
    float* factor = net.solver_work.entries.data();
    std::array<std::array<float, max_half_band + 1>, band_rows + 1> divided;
    float* x0 = &rhs(1); // x0[i - 1] is rhs(i)
    auto x = [x0](std::int32_t i) -> float& { return x0[i - 1]; };

    for (std::int32_t k = 1; k <= n - 1; ++k) {
        float pivot = band(k, 1);
        if (pivot_vanishes(pivot, threshold) || k == floating_row) return k;
        const std::int32_t width = (k + b - 1 < n ? k + b - 1 : n) - k + 1;
        float* row = &band(k, 1);
        float* pivot_row = divided[static_cast<std::size_t>(k)].data();
        for (std::int32_t s = 1; s < b; ++s) {
            float entry = row[s * band_rows];
            factor[s] = entry;
            if (s < width) {
                float scaled = static_cast<float>(double{entry} / double{pivot});
                row[s * band_rows] = scaled;
                pivot_row[s] = scaled;
            }
        }
        x(k) = static_cast<float>(double{x(k)} / double{pivot});
        for (std::int32_t m = 1; m < width; ++m) {
            float* column = &band(k + 1, m);
            const float* f = factor + 1;
            const float* p = pivot_row + m;
            const std::int32_t rows = width - m;
#ifdef PIPENET_SOLVE_AVX2
            if constexpr (avx2) {
                solve_banded_column_avx2(column, f, p, rows);
                continue;
            }
#endif
            solve_banded_column(column, f, p, rows);
        }
        const double xk = x(k);
        float* below = &x(k + 1);
        for (std::int32_t t = 0; t < width - 1; ++t)
            below[t] = static_cast<float>(double{below[t]} - double{factor[t + 1]} * xk);
    }

    float pivot = band(n, 1);
    if (pivot_vanishes(pivot, threshold) || n == floating_row) return n;
    x(n) = static_cast<float>(double{x(n)} / double{pivot});

    // Back substitution: the products first (independent of each other), then the differences
    // in order, each rounded where it is stored.
    for (std::int32_t k = n - 1; k >= 1; --k) {
        const std::int32_t terms = (k + b - 1 < n ? k + b - 1 : n) - k;
        const float* pivot_row = divided[static_cast<std::size_t>(k)].data() + 1;
        const float* known = &x(k + 1);
        std::array<double, max_half_band> products;
        for (std::int32_t s = 0; s < terms; ++s)
            products[static_cast<std::size_t>(s)] = double{pivot_row[s]} * double{known[s]};
        float value = x(k);
        for (std::int32_t s = 0; s < terms; ++s)
            value = static_cast<float>(double{value} - products[static_cast<std::size_t>(s)]);
        x(k) = value;
    }
    return 0;
}

[[gnu::flatten]] std::int32_t solve_banded_portable(Network& net, Vec1<float> rhs, float threshold,
                                                    std::int32_t floating_row) {
    return solve_banded_steps<false>(net, rhs, threshold, floating_row);
}

#ifdef PIPENET_SOLVE_AVX2
// The same steps where the processor has AVX2: four doubles a vector instead of two. No fused
// multiply-add is enabled, so every product and difference rounds exactly as above.
[[gnu::target("avx2"), gnu::flatten]] std::int32_t
solve_banded_avx2(Network& net, Vec1<float> rhs, float threshold, std::int32_t floating_row) {
    return solve_banded_steps<true>(net, rhs, threshold, floating_row);
}

std::int32_t solve_banded_dispatch(Network& net, Vec1<float> rhs, float threshold,
                                   std::int32_t floating_row) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 ? solve_banded_avx2(net, rhs, threshold, floating_row)
                : solve_banded_portable(net, rhs, threshold, floating_row);
}
#else
std::int32_t solve_banded_dispatch(Network& net, Vec1<float> rhs, float threshold,
                                   std::int32_t floating_row) {
    return solve_banded_portable(net, rhs, threshold, floating_row);
}
#endif

} // namespace

void solve_banded(RecordIo& io, Network& net, Vec1<float> rhs, float threshold,
                  std::int32_t floating_row) {
    std::int32_t singular = solve_banded_dispatch(net, rhs, threshold, floating_row);
    if (singular != 0) singular_exit(io, net, singular);
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
