#include "fem/band_pattern.hpp"

#include <cstring>

namespace pipenet {

namespace {

// Eight entries of one band column at a time, as their bit patterns.
using Lanes = std::uint32_t __attribute__((vector_size(32)));
using SignedLanes = std::int32_t __attribute__((vector_size(32)));
constexpr std::int32_t lanes = 8;

// The marks of eight rows of one column; the lanes that hold a negative zero or a NaN are set in
// `unsafe`. Marking the same row twice is harmless, which lets the last block of a column
// overlap the one before.
template <bool find_special>
[[gnu::always_inline]] inline void mark_block(const float* column, std::uint32_t bit,
                                              std::uint32_t* rows, std::uint32_t* columns,
                                              Lanes& unsafe) {
    Lanes entries;
    std::memcpy(&entries, column, sizeof entries);
    const Lanes marks = reinterpret_cast<Lanes>(entries != Lanes{}) & bit;
    Lanes row_marks;
    std::memcpy(&row_marks, rows, sizeof row_marks);
    row_marks |= marks;
    std::memcpy(rows, &row_marks, sizeof row_marks);
    if (columns != nullptr) {
        Lanes column_marks;
        std::memcpy(&column_marks, columns, sizeof column_marks);
        column_marks |= marks;
        std::memcpy(columns, &column_marks, sizeof column_marks);
    }
    if constexpr (!find_special) return;
    const Lanes magnitude = entries & 0x7fffffffu;
    unsafe |= reinterpret_cast<Lanes>(entries == 0x80000000u) |
              reinterpret_cast<Lanes>(reinterpret_cast<SignedLanes>(magnitude) > 0x7f800000);
}

template <bool find_special>
[[gnu::always_inline]] inline bool mark_steps(const Band& band, std::int32_t n, std::int32_t b,
                                              BandRowBits& row_bits, BandRowBits* column_bits) {
    for (std::int32_t i = 0; i <= n; ++i) row_bits[static_cast<std::size_t>(i)] = 0;
    if (column_bits != nullptr)
        for (std::int32_t i = 0; i <= n; ++i) (*column_bits)[static_cast<std::size_t>(i)] = 0;
    Lanes unsafe{};
    for (std::int32_t m = 1; m <= b && m <= n; ++m) {
        const float* column = band.storage.data() + (m - 1) * band_rows;
        const std::uint32_t bit = std::uint32_t{1} << (m - 1);
        // Row i (1-based) of this column is column[i - 1]; its marks go to row_bits[i] and
        // column_bits[i + m - 1].
        std::uint32_t* rows = row_bits.data() + 1;
        std::uint32_t* columns = column_bits != nullptr ? column_bits->data() + m : nullptr;
        const std::int32_t count = n - m + 1;
        if (count < lanes) {
            for (std::int32_t i = 0; i < count; ++i) {
                std::uint32_t entry;
                std::memcpy(&entry, column + i, sizeof entry);
                const std::uint32_t mark = entry != 0 ? bit : 0;
                rows[i] |= mark;
                if (columns != nullptr) columns[i] |= mark;
                if (zero_skip_unsafe(column[i])) unsafe[0] = 1;
            }
            continue;
        }
        std::int32_t i = 0;
        for (; i + lanes <= count; i += lanes)
            mark_block<find_special>(column + i, bit, rows + i,
                                     columns != nullptr ? columns + i : nullptr, unsafe);
        if (i < count) {
            i = count - lanes;
            mark_block<find_special>(column + i, bit, rows + i,
                                     columns != nullptr ? columns + i : nullptr, unsafe);
        }
    }
    if constexpr (!find_special) return false;
    for (std::int32_t l = 0; l < lanes; ++l)
        if (unsafe[l] != 0) return true;
    return false;
}

template <bool find_special>
bool mark_portable(const Band& band, std::int32_t n, std::int32_t b, BandRowBits& row_bits,
                   BandRowBits* column_bits) {
    return mark_steps<find_special>(band, n, b, row_bits, column_bits);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same with AVX2 where the processor has it: one instruction per block step instead of two.
template <bool find_special>
[[gnu::target("avx2")]] bool mark_avx2(const Band& band, std::int32_t n, std::int32_t b,
                                       BandRowBits& row_bits, BandRowBits* column_bits) {
    return mark_steps<find_special>(band, n, b, row_bits, column_bits);
}
#endif

} // namespace

bool mark_band_pattern(const Band& band, std::int32_t n, std::int32_t b, BandRowBits& row_bits,
                       BandRowBits* column_bits, bool find_special) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        return find_special ? mark_avx2<true>(band, n, b, row_bits, column_bits)
                            : mark_avx2<false>(band, n, b, row_bits, column_bits);
#endif
    return find_special ? mark_portable<true>(band, n, b, row_bits, column_bits)
                        : mark_portable<false>(band, n, b, row_bits, column_bits);
}

} // namespace pipenet
