// Conversion of one numeric field of a record: Iw and Fw.d, on input and on output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pipenet {

// Reads an Iw field. field: in, the field's characters (already cut to the field width and at a
// comma; missing columns count as blanks). value: out. Returns false when the field is invalid:
// a character other than blanks, one leading sign and digits, or a value outside 32 bits.
bool read_integer_field(std::string_view field, std::int32_t& value);

// Reads an Fw.d field. field: in, as above. decimals: in, d >= 0, the implied decimals used when
// the field holds no decimal point. value: out, the nearest float. Returns false when the field
// is invalid or its value is too large in magnitude for a float.
bool read_real_field(std::string_view field, int decimals, float& value);

// Bytes that may be read past the start of a field handed to the padded readers below.
inline constexpr std::size_t field_padding = 16;

// The same two readers, with the same results, for a field that lies in storage holding at
// least field_padding readable bytes from field.data() on (when field is not empty): a field of
// at most that many columns is classified in one pass over all its columns at once.
bool read_integer_field_padded(std::string_view field, std::int32_t& value);
bool read_real_field_padded(std::string_view field, int decimals, float& value);

// Writes value right-justified into out[0 .. width). out: out, width characters. Returns false
// (and fills the field with asterisks) when the value needs more than width columns.
bool write_integer_field(char* out, int width, std::int32_t value);

// Writes value in fixed point with exactly `decimals` digits after the point, rounded from its
// exact binary value (ties to even), right-justified into out[0 .. width). A negative value that
// rounds to zero keeps its minus sign; an infinity is "Infinity" or "-Infinity", a NaN "NaN".
// Returns false (and fills the field with asterisks) when the value needs more than width columns.
bool write_real_field(char* out, int width, int decimals, float value);

} // namespace pipenet
