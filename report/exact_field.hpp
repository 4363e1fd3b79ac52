// Writing a real into an Fw.d input field so that it reads back as the very same float.
#pragma once

namespace pipenet {

// Writes value right-justified into out[0 .. width) as text that read_real_field(field,
// decimals) reads back to the same float. The usual fixed form with `decimals` decimals when
// that reads back exactly; otherwise the shortest decimal text of the float, in fixed notation
// or with an exponent, always with a point (a field without one would get implied decimals).
// Returns false, and fills the field with asterisks, for an infinity, a NaN or a value whose
// shortest text does not fit.
bool write_real_field_exact(char* out, int width, int decimals, float value);

} // namespace pipenet
