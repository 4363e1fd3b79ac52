// The shortest decimal text of a float or a double, byte for byte what std::to_chars writes
// without a format (the fewest significant digits that read back to the same value, the nearest
// of them, in fixed or exponent form, whichever is shorter, fixed on a tie), at a fraction of its
// cost for the values networks hold: results are written by the thousand per network.
#pragma once

namespace pipenet {

// Writes `value` into [first, last) as std::to_chars(first, last, value) does and returns the end
// of the text (nullptr when it does not fit). Needs no more than 32 bytes for any value; given
// shortest_text_room bytes or more it writes in place, and may leave bytes past the text changed.
inline constexpr long shortest_text_room = 48;
char* shortest_text(char* first, char* last, double value);
char* shortest_text(char* first, char* last, float value);

// The double nearest the shortest decimal of `value`: the value as it was typed (0.3 rather than
// 0.30000001192092896), up to the float's digits; what reading std::to_chars's text of the float
// as a double gives.
double float_decimal(float value);

} // namespace pipenet
