// The value a real read from an input field was typed as, in double precision.
#pragma once

namespace pipenet {

// The same double as float_decimal(value): below 2^24, the double nearest the shortest decimal
// that reads back to `value` (0.3 rather than 0.30000001192092896). A float within 1e-5 ... 2^24 whose
// shortest decimal has at most six significant digits, as the values typed into input fields
// have, takes a few operations; any other takes float_decimal's way.
double typed_decimal(float value);

} // namespace pipenet
