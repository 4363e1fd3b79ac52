#include "fem/band_product.hpp"

#include <bit>
#include <cstdint>

#include "fem/band_pattern.hpp"

namespace pipenet {

namespace {

// The row sum of band_product in full: every term, in column order.
float band_row_product(BandView band, std::int32_t n, std::int32_t b, Vec1<const float> x,
                       std::int32_t i) {
    float sum = 0.0f;
    std::int32_t lo = i - b + 1 < 1 ? 1 : i - b + 1;
    std::int32_t hi = n - i + 1 < b ? n - i + 1 : b;
    // K(i, k) for k <= i is held in row k: band(k, i - k + 1).
    for (std::int32_t k = lo; k <= i; ++k)
        sum = static_cast<float>(double{sum} + double{band(k, i - k + 1)} * double{x(k)});
    for (std::int32_t c = 2; c <= hi; ++c)
        sum = static_cast<float>(double{sum} + double{band(i, c)} * double{x(i + c - 1)});
    return sum;
}

} // namespace

void band_product(BandView band, std::int32_t n, std::int32_t b, const BandPattern& pattern,
                  Vec1<const float> x, Vec1<float> y) {
    std::uint32_t infinite_or_nan = 0; // no branch per entry: the loop vectorizes
    for (std::int32_t i = 1; i <= n; ++i)
        infinite_or_nan |= (std::bit_cast<std::uint32_t>(x(i)) & 0x7f800000u) == 0x7f800000u;
    if (infinite_or_nan != 0) {
        for (std::int32_t i = 1; i <= n; ++i) y(i) = band_row_product(band, n, b, x, i);
        return;
    }
    // Row i's sum takes K(i, k) * x(k) for k increasing. Walking the stored entries K(r, j),
    // j >= r, with r increasing and j increasing within r hands every sum its terms in exactly
    // that order: K(j, r) = K(r, j) for the rows j > r (r increasing), then row r's own diagonal
    // and upper entries. Only the pattern's entries are taken (fem/band_pattern.hpp: with x
    // finite, the +0 entries left out can change only the sign of a zero sum), and a zero sum is
    // worked out again in full.
    const std::ptrdiff_t ld = band.leading_dimension();
    const std::int32_t words = pattern.words_per_row;
    for (std::int32_t i = 1; i <= n; ++i) y(i) = 0.0f;
    for (std::int32_t r = 1; r <= n; ++r) {
        const double xr = x(r);
        double own = y(r);
        const float* row = &band(r, 1);
        for_each_marked_column(pattern_row(pattern.imposed, words, r), words, 1,
                               [&](std::int32_t m) {
                                   const float entry = row[(m - 1) * ld];
                                   const std::int32_t j = r + m - 1;
                                   own = static_cast<float>(own + double{entry} * double{x(j)});
                                   if (m > 1)
                                       y(j) = static_cast<float>(double{y(j)} + double{entry} * xr);
                               });
        y(r) = static_cast<float>(own);
        if (own == 0.0) y(r) = band_row_product(band, n, b, x, r);
    }
}

} // namespace pipenet
