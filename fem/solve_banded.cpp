#include "fem/solve_banded.hpp"

#include <algorithm>
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

// Rows wider than this switch to the full updates once half their entries are nonzero.
constexpr std::int32_t dense_width = 64;

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
    std::int32_t a = 0;
    for (std::int32_t s = 1; s < width; ++s) {
        if (a < found && listed[a] == s) {
            ++a;
        } else {
            row[s] = 0.0f;
        }
    }
}

// The elimination and back substitution. Returns 0, or the singular row.
//
// Row k's band reaches row last = min(k + b - 1, n), that is `width` = last - k + 1 columns.
// factor[s] holds K(k, k+s) before the division and pivot_row[s] the same entry after it, a
// contiguous copy of the reduced row k, which the band keeps for the back substitution.
// The entries of row i > k left of its diagonal are never stored, K(i, k) being K(k, i).
//
// Each entry below row k takes exactly one update from row k, so the entries are visited
// column by column, where the band storage is contiguous, with the same result as row by row:
//   band(k+1+t, m) -= factor[t+1] * pivot_row[m+t],   t = 0 ... width-m-1
//
// Skipping zeros (fem/band_pattern.hpp). While the band rows still to be reduced and the
// right-hand side hold no negative zero and no NaN, a step with a finite pivot row updates only
// the pairs of its nonzero entries, which lie among the marks of the factor pattern. Every
// result computed on that path is checked, and the first negative zero (reached through
// underflow) or a pivot row that is not finite switches the rest of the solve to the full
// updates.
template <bool avx2>
inline std::int32_t solve_banded_steps(BandView band, Vec1<float> rhs, std::int32_t n,
                                       std::int32_t b, const BandPattern& pattern,
                                       const SolverWorkspace& work, float threshold,
                                       std::int32_t floating_row) {
    const std::ptrdiff_t ld = band.leading_dimension();
    float* factor = work.factor.data();
    float* pivot_row = work.pivot_row.data();
    std::int32_t* listed = work.listed.data();
    // reduced_in_full[k]: row k was reduced with the full updates, so its back substitution
    // takes every term.
    std::uint8_t* reduced_in_full = work.reduced_in_full.data();
    const std::int32_t words = pattern.words_per_row;
    float* x0 = &rhs(1); // x0[i - 1] is rhs(i)
    auto x = [x0](std::int32_t i) -> float& { return x0[i - 1]; };
    std::uint32_t unsafe_rhs = 0;
    for (std::int32_t i = 0; i < n; ++i) unsafe_rhs |= zero_skip_unsafe(x0[i]);
    bool skip_zeros = unsafe_rhs == 0 && !band_has_unsafe_entry(band, n, b);

    for (std::int32_t k = 1; k <= n - 1; ++k) {
        float pivot = band(k, 1);
        if (pivot_vanishes(pivot, threshold) || k == floating_row) return k;
        const std::int32_t width = (k + b - 1 < n ? k + b - 1 : n) - k + 1;
        float* row = &band(k, 1);
        std::int32_t found = 0;
        bool finite = true;
        // Divides entry s of the pivot row, keeps the undivided one as the factor of row k+s, and
        // lists it when it is not zero.
        auto divide_entry = [&](std::int32_t s) {
            float entry = row[s * ld];
            factor[s] = entry;
            float scaled = static_cast<float>(double{entry} / double{pivot});
            row[s * ld] = scaled;
            pivot_row[s] = scaled;
            if (entry != 0.0f) { // also a NaN
                listed[found++] = s;
                finite = finite && std::isfinite(entry) && std::isfinite(scaled);
            }
        };
        const bool only_listed_divided = skip_zeros && pivot > 0.0f;
        if (only_listed_divided) {
            // Every entry of row k outside the pattern is +0 (no negative zeros while zeros are
            // skipped), and +0 divided by a positive pivot is +0: it stays as it is in the band,
            // and only the marked entries are divided. The factors and divided entries of the
            // others are never read: the updates take the listed entries only.
            for_each_marked_column(pattern_row(pattern.factor, words, k), words, 2,
                                   [&](std::int32_t m) { divide_entry(m - 1); });
        } else {
            for (std::int32_t s = 1; s < width; ++s) divide_entry(s);
        }
        x(k) = static_cast<float>(double{x(k)} / double{pivot});
        const double xk = x(k);
        // A wide row that the fill has made mostly nonzero is reduced faster by the full column
        // updates, which vectorize; narrow bands (the programs') never take this turn.
        const bool dense = width > dense_width && 2 * found >= width;
        if (skip_zeros && finite && std::isfinite(x(k)) && !dense) {
            reduced_in_full[k] = 0;
            bool unsafe = false;
            for (std::int32_t a = 0; a < found; ++a) {
                const std::int32_t i = listed[a]; // row k + i
                const double fi = factor[i];
                float* diagonal = &band(k + i, 1);
                for (std::int32_t c = a; c < found; ++c) {
                    const std::int32_t j = listed[c];
                    // band(k + i, j - i + 1) is K(k + i, k + j)
                    float& entry = diagonal[(j - i) * ld];
                    entry = static_cast<float>(double{entry} - fi * double{pivot_row[j]});
                    unsafe = unsafe || zero_skip_unsafe(entry);
                }
                float& below = x(k + i);
                below = static_cast<float>(double{below} - fi * xk);
                unsafe = unsafe || zero_skip_unsafe(below);
            }
            skip_zeros = !unsafe;
            continue;
        }
        skip_zeros = false;
        reduced_in_full[k] = 1;
        if (only_listed_divided) {
            // The full updates read every factor and divided entry.
            store_unlisted_zeros(factor, listed, found, width);
            store_unlisted_zeros(pivot_row, listed, found, width);
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

    // Back substitution: x(k) -= band(k, s+1) * x(k+s), s increasing, each difference rounded;
    // band(k, s+1) now holds the divided entry. Where row k was reduced skipping zeros and the
    // solution below is finite, only the terms of the pattern's marks are taken: a skipped term
    // subtracts a zero, which leaves a nonzero value as it is and can change only the sign of a
    // zero one, and a later nonzero term gives the same result from either zero. So the
    // shortened sum differs from the full one at most in the sign of a zero result, and a zero
    // result is worked out again in full.
    bool tail_finite = std::isfinite(x(n));
    for (std::int32_t k = n - 1; k >= 1; --k) {
        const std::int32_t terms = (k + b - 1 < n ? k + b - 1 : n) - k;
        const float* divided = &band(k, 1); // divided[s * ld] is band(k, s+1)
        const float* known = &x(k);         // known[s] is x(k+s)
        float value = x(k);
        bool full = !tail_finite || reduced_in_full[k] != 0;
        if (!full) {
            bool any = false;
            for_each_marked_column(
                pattern_row(pattern.factor, words, k), words, 2, [&](std::int32_t m) {
                    const std::int32_t s = m - 1;
                    value = static_cast<float>(double{value} -
                                               double{divided[s * ld]} * double{known[s]});
                    any = true;
                });
            // +0 minus a zero is +0 whatever the zero's sign, so a row with no marked terms that
            // starts from +0 ends there in the full sum too.
            full = value == 0.0f && (any || std::signbit(value));
        }
        if (full) {
            value = x(k);
            for (std::int32_t s = 1; s <= terms; ++s)
                value =
                    static_cast<float>(double{value} - double{divided[s * ld]} * double{known[s]});
        }
        x(k) = value;
        tail_finite = tail_finite && std::isfinite(value);
    }
    return 0;
}

[[gnu::flatten]] std::int32_t solve_banded_portable(BandView band, Vec1<float> rhs, std::int32_t n,
                                                    std::int32_t b, const BandPattern& pattern,
                                                    const SolverWorkspace& work, float threshold,
                                                    std::int32_t floating_row) {
    return solve_banded_steps<false>(band, rhs, n, b, pattern, work, threshold, floating_row);
}

#ifdef PIPENET_SOLVE_AVX2
// The same steps where the processor has AVX2: four doubles a vector instead of two. No fused
// multiply-add is enabled, so every product and difference rounds exactly as above.
[[gnu::target("avx2"), gnu::flatten]] std::int32_t
solve_banded_avx2(BandView band, Vec1<float> rhs, std::int32_t n, std::int32_t b,
                  const BandPattern& pattern, const SolverWorkspace& work, float threshold,
                  std::int32_t floating_row) {
    return solve_banded_steps<true>(band, rhs, n, b, pattern, work, threshold, floating_row);
}

std::int32_t solve_banded_dispatch(BandView band, Vec1<float> rhs, std::int32_t n, std::int32_t b,
                                   const BandPattern& pattern, const SolverWorkspace& work,
                                   float threshold, std::int32_t floating_row) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 ? solve_banded_avx2(band, rhs, n, b, pattern, work, threshold, floating_row)
                : solve_banded_portable(band, rhs, n, b, pattern, work, threshold, floating_row);
}
#else
std::int32_t solve_banded_dispatch(BandView band, Vec1<float> rhs, std::int32_t n, std::int32_t b,
                                   const BandPattern& pattern, const SolverWorkspace& work,
                                   float threshold, std::int32_t floating_row) {
    return solve_banded_portable(band, rhs, n, b, pattern, work, threshold, floating_row);
}
#endif

} // namespace

std::int32_t solve_banded(BandView band, Vec1<float> rhs, std::int32_t n, std::int32_t b,
                          const BandPattern& pattern, const SolverWorkspace& work, float threshold,
                          std::int32_t floating_row) {
    return solve_banded_dispatch(band, rhs, n, b, pattern, work, threshold, floating_row);
}

} // namespace pipenet
