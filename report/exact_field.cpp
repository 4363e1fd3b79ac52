#include "report/exact_field.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "report/fields.hpp"

namespace pipenet {

namespace {

bool reads_back(std::string_view text, int decimals, float value) {
    float back = 0.0f;
    return read_real_field(text, decimals, back) && back == value &&
           std::signbit(back) == std::signbit(value);
}

// Right-justifies text into out[0 .. width) when it fits and reads back to value.
bool place(char* out, int width, int decimals, float value, std::string_view text) {
    if (text.size() > static_cast<std::size_t>(width) || !reads_back(text, decimals, value))
        return false;
    std::size_t lead = static_cast<std::size_t>(width) - text.size();
    std::memset(out, ' ', lead);
    std::memcpy(out + lead, text.data(), text.size());
    return true;
}

// The shortest fixed-notation text of value, with a point.
std::string_view shortest_fixed(std::array<char, 80>& buffer, float value) {
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size() - 1, value,
                                std::chars_format::fixed);
    if (result.ec != std::errc{}) return {};
    std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
    if (text.find('.') == std::string_view::npos) {
        *result.ptr = '.';
        text = std::string_view(buffer.data(), text.size() + 1);
    }
    return text;
}

// The shortest fixed-notation text without the zero before the point: -.00125.
std::string_view without_leading_zero(std::array<char, 80>& buffer, float value) {
    std::string_view text = shortest_fixed(buffer, value);
    std::size_t zero = text.starts_with("-0.") ? 1 : text.starts_with("0.") ? 0 : text.size();
    if (zero == text.size()) return {};
    std::memmove(buffer.data() + zero, buffer.data() + zero + 1, text.size() - zero - 1);
    return text.substr(0, text.size() - 1);
}

// The shortest exponent-notation text of value, with a point in the mantissa and the exponent
// without a plus sign or leading zeros: 1.5e-5, 2.e7. With `sign_only`, the exponent's sign
// alone starts it: 1.5-5, 2.+7.
std::string_view shortest_scientific(std::array<char, 80>& buffer, float value,
                                     bool sign_only = false) {
    std::array<char, 64> raw{};
    auto result =
        std::to_chars(raw.data(), raw.data() + raw.size(), value, std::chars_format::scientific);
    if (result.ec != std::errc{}) return {};
    std::string_view text(raw.data(), static_cast<std::size_t>(result.ptr - raw.data()));
    std::size_t e = text.find('e');
    if (e == std::string_view::npos) return {};
    std::string_view mantissa = text.substr(0, e);
    std::string_view exponent = text.substr(e + 1);
    std::size_t length = 0;
    auto add = [&](std::string_view part) {
        std::memcpy(buffer.data() + length, part.data(), part.size());
        length += part.size();
    };
    add(mantissa);
    if (mantissa.find('.') == std::string_view::npos) add(".");
    if (!sign_only) add("e");
    if (!exponent.empty() && exponent.front() == '-')
        add("-");
    else if (sign_only)
        add("+");
    if (!exponent.empty() && (exponent.front() == '-' || exponent.front() == '+'))
        exponent.remove_prefix(1);
    while (exponent.size() > 1 && exponent.front() == '0') exponent.remove_prefix(1);
    add(exponent);
    return {buffer.data(), length};
}

} // namespace

bool write_real_field_exact(char* out, int width, int decimals, float value) {
    if (width <= 0) return false;
    if (std::isfinite(value)) {
        std::array<char, 80> buffer{};
        if (width <= static_cast<int>(buffer.size()) &&
            write_real_field(buffer.data(), width, decimals, value) &&
            place(out, width, decimals, value,
                  std::string_view(buffer.data(), static_cast<std::size_t>(width))))
            return true;
        if (place(out, width, decimals, value, shortest_fixed(buffer, value))) return true;
        if (place(out, width, decimals, value, without_leading_zero(buffer, value))) return true;
        if (place(out, width, decimals, value, shortest_scientific(buffer, value))) return true;
        if (place(out, width, decimals, value, shortest_scientific(buffer, value, true)))
            return true;
    }
    std::memset(out, '*', static_cast<std::size_t>(width));
    return false;
}

float fitting_value(float value, int width, int decimals) {
    std::array<char, 80> field{};
    if (width > static_cast<int>(field.size())) return value;
    if (write_real_field_exact(field.data(), width, decimals, value)) return value;
    for (int digits = 8; digits >= 1; --digits) {
        std::array<char, 64> text{};
        auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                    std::chars_format::scientific, digits - 1);
        if (result.ec != std::errc{}) return value;
        float candidate = value;
        std::from_chars(text.data(), result.ptr, candidate);
        if (write_real_field_exact(field.data(), width, decimals, candidate)) return candidate;
    }
    return value;
}

} // namespace pipenet
