#include "fem/solve_banded.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "fem/band_pattern.hpp"

namespace pipenet {

namespace {

bool pivot_vanishes(float pivot, float threshold) {
    // Written so that a NaN pivot, which compares unordered, counts as vanishing.
    return !(std::fabs(double{pivot}) - double{threshold} > 0.0);
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

// Where a pivot row was divided entry by entry only at its listed entries listed[0 ... found-1]
// (the others being +0), stores +0 in the others of row[1 ... width-1] for a step that reads the
// whole row.
inline void store_unlisted_zeros(float* row, const std::int32_t* listed, std::int32_t found,
                                 std::int32_t width) {
    std::array<float, max_half_band + 1> kept{};
    for (std::int32_t a = 0; a < found; ++a)
        kept[static_cast<std::size_t>(listed[a])] = row[listed[a]];
    for (std::int32_t s = 1; s < width; ++s) row[s] = kept[static_cast<std::size_t>(s)];
}

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
//
// Skipping zeros. A network's band is mostly zeros that stay zero, and an update whose product
// is a zero (a zero factor or a zero divided entry, the other one finite) leaves its entry c
// unchanged, c - (+-0) == c, unless c is a negative zero (or a signalling NaN). So as long as the
// band rows still to be reduced and the right-hand side hold no negative zero and no NaN, a
// step with a finite pivot row updates only the pairs of its nonzero entries: the same bits as
// the full update. Every result computed on that path is checked, and the first negative zero
// (reached through underflow) or a pivot row that is not finite switches the rest of the solve
// to the full updates.
template <bool avx2>
inline std::int32_t solve_banded_steps(Network& net, Vec1<float> rhs, float threshold,
                                       std::int32_t floating_row) {
    const std::int32_t n = net.equation_count;
    const std::int32_t b = net.half_band;
    Band& band = net.band;
    float* factor = net.solver_work.entries.data();
    std::array<std::array<float, max_half_band + 1>, band_rows + 1> divided;
    // nonzero[k][0 ... count[k]-1]: the s >= 1 with K(k, k+s) != 0 before the division, in
    // increasing order; count[k] is -1 where row k was reduced with the full updates.
    std::array<std::array<std::int32_t, max_half_band>, band_rows + 1> nonzero;
    std::array<std::int32_t, band_rows + 1> count;
    // Whether only the listed entries of divided[k] were stored (the others being +0).
    std::array<bool, band_rows + 1> only_listed_divided;
    float* x0 = &rhs(1); // x0[i - 1] is rhs(i)
    auto x = [x0](std::int32_t i) -> float& { return x0[i - 1]; };
    // Bit m-1 of nonzero_columns[r] is set wherever band(r, m) may be nonzero; kept up to date
    // while zeros are skipped.
    BandRowBits nonzero_columns;
    std::uint32_t unsafe_rhs = 0;
    for (std::int32_t i = 0; i < n; ++i) unsafe_rhs |= zero_skip_unsafe(x0[i]);
    bool skip_zeros =
        !mark_band_pattern(band, n, b, nonzero_columns, nullptr, true) && unsafe_rhs == 0;

    for (std::int32_t k = 1; k <= n - 1; ++k) {
        float pivot = band(k, 1);
        if (pivot_vanishes(pivot, threshold) || k == floating_row) return k;
        const std::int32_t width = (k + b - 1 < n ? k + b - 1 : n) - k + 1;
        float* row = &band(k, 1);
        float* pivot_row = divided[static_cast<std::size_t>(k)].data();
        std::int32_t* listed = nonzero[static_cast<std::size_t>(k)].data();
        std::int32_t found = 0;
        bool finite = true;
        // Divides entry s of the pivot row, keeps the undivided one as the factor of row k+s, and
        // lists it when it is not zero.
        auto divide_entry = [&](std::int32_t s) {
            float entry = row[s * band_rows];
            factor[s] = entry;
            float scaled = static_cast<float>(double{entry} / double{pivot});
            row[s * band_rows] = scaled;
            pivot_row[s] = scaled;
            if (entry != 0.0f) { // also a NaN
                listed[found++] = s;
                finite = finite && std::isfinite(entry) && std::isfinite(scaled);
            }
        };
        only_listed_divided[static_cast<std::size_t>(k)] = skip_zeros && pivot > 0.0f;
        if (skip_zeros && pivot > 0.0f) {
            // Every entry of row k not marked in nonzero_columns is +0 (no negative zeros while
            // zeros are skipped), and +0 divided by a positive pivot is +0: it stays as it is
            // in the band, and only the marked entries are divided. The factors and divided
            // entries of the others are never read: the updates take the listed entries only,
            // and the back substitution puts in the zeros where it needs the whole row.
            std::uint32_t marked = (nonzero_columns[static_cast<std::size_t>(k)] >> 1) &
                                   ((std::uint32_t{1} << (width - 1)) - 1);
            while (marked != 0) {
                const std::int32_t s = std::countr_zero(marked) + 1;
                marked &= marked - 1;
                divide_entry(s);
            }
        } else {
            for (std::int32_t s = 1; s < width; ++s) divide_entry(s);
        }
        x(k) = static_cast<float>(double{x(k)} / double{pivot});
        const double xk = x(k);
        if (skip_zeros && finite && std::isfinite(x(k))) {
            count[static_cast<std::size_t>(k)] = found;
            bool unsafe = false;
            for (std::int32_t a = 0; a < found; ++a) {
                const std::int32_t i = listed[a]; // row k + i
                const double fi = factor[i];
                float* diagonal = &band(k + i, 1);
                std::uint32_t& fill = nonzero_columns[static_cast<std::size_t>(k + i)];
                for (std::int32_t c = a; c < found; ++c) {
                    const std::int32_t j = listed[c];
                    // band(k + i, j - i + 1) is K(k + i, k + j)
                    float& entry = diagonal[(j - i) * band_rows];
                    entry = static_cast<float>(double{entry} - fi * double{pivot_row[j]});
                    unsafe = unsafe || zero_skip_unsafe(entry);
                    fill |= std::uint32_t{1} << (j - i);
                }
                float& below = x(k + i);
                below = static_cast<float>(double{below} - fi * xk);
                unsafe = unsafe || zero_skip_unsafe(below);
            }
            skip_zeros = !unsafe;
            continue;
        }
        skip_zeros = false;
        count[static_cast<std::size_t>(k)] = -1;
        if (only_listed_divided[static_cast<std::size_t>(k)]) {
            // The full updates read every factor and divided entry.
            store_unlisted_zeros(factor, listed, found, width);
            store_unlisted_zeros(pivot_row, listed, found, width);
            only_listed_divided[static_cast<std::size_t>(k)] = false;
        }
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
        float* below = &x(k + 1);
        for (std::int32_t t = 0; t < width - 1; ++t)
            below[t] = static_cast<float>(double{below[t]} - double{factor[t + 1]} * xk);
    }

    float pivot = band(n, 1);
    if (pivot_vanishes(pivot, threshold) || n == floating_row) return n;
    x(n) = static_cast<float>(double{x(n)} / double{pivot});

    // Back substitution: x(k) -= divided[k][s] * x(k+s), s increasing, each difference rounded.
    // Where the row's nonzero entries are listed and the solution below is finite, only their
    // terms are taken: a skipped term subtracts a zero, which leaves a nonzero value as it is and
    // can change only the sign of a zero one, and a later nonzero term gives the same result
    // from either zero. So the shortened sum differs from the full one at most in the sign of a
    // zero result, and a zero result is worked out again in full.
    bool tail_finite = std::isfinite(x(n));
    for (std::int32_t k = n - 1; k >= 1; --k) {
        const std::int32_t terms = (k + b - 1 < n ? k + b - 1 : n) - k;
        const float* pivot_row = divided[static_cast<std::size_t>(k)].data();
        const float* known = &x(k); // known[s] is x(k+s)
        float value = x(k);
        const std::int32_t found = count[static_cast<std::size_t>(k)];
        bool full = !tail_finite || found < 0;
        if (!full) {
            const std::int32_t* listed = nonzero[static_cast<std::size_t>(k)].data();
            for (std::int32_t a = 0; a < found; ++a) {
                const std::int32_t s = listed[a];
                value = static_cast<float>(double{value} - double{pivot_row[s]} * double{known[s]});
            }
            // +0 minus a zero is +0 whatever the zero's sign, so a row with no listed terms that
            // starts from +0 ends there in the full sum too.
            full = value == 0.0f && (found != 0 || std::signbit(value));
        }
        if (full && only_listed_divided[static_cast<std::size_t>(k)])
            store_unlisted_zeros(divided[static_cast<std::size_t>(k)].data(),
                                 nonzero[static_cast<std::size_t>(k)].data(), found, terms + 1);
        if (full) {
            // The products first (independent of each other), then the differences in order.
            std::array<double, max_half_band> products;
            for (std::int32_t s = 0; s < terms; ++s)
                products[static_cast<std::size_t>(s)] =
                    double{pivot_row[s + 1]} * double{known[s + 1]};
            value = x(k);
            for (std::int32_t s = 0; s < terms; ++s)
                value = static_cast<float>(double{value} - products[static_cast<std::size_t>(s)]);
        }
        x(k) = value;
        tail_finite = tail_finite && std::isfinite(value);
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

std::int32_t solve_banded(Network& net, Vec1<float> rhs, float threshold,
                          std::int32_t floating_row) {
    return solve_banded_dispatch(net, rhs, threshold, floating_row);
}

} // namespace pipenet
