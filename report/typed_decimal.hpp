// The value a real read from an input field was typed as, in double precision.
#pragma once

namespace pipenet {

// The same double as float_decimal(value): below 2^24, the double nearest the shortest decimal
// that reads back to `value` (0.3 rather than 0.30000001192092896). A float within 1e-5 ... 2^24
// whose shortest decimal has at most six significant digits, as the values typed into input fields
// have, takes a few operations; any other takes float_decimal's way.
double typed_decimal(float value);

// The same double for a float read from a field of `decimals` implied decimals, found first at
// that many decimals, where the values of such a field mostly have their digits: a decimal of at
// most six significant digits that reads back to `value` is its shortest one.
double typed_decimal(float value, int decimals);

} // namespace pipenet
