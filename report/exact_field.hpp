// Writing a real into an Fw.d input field so that it reads back as the very same float.
#pragma once

namespace pipenet {

// Writes value right-justified into out[0 .. width) as text that read_real_field(field,
// decimals) reads back to the same float. The usual fixed form with `decimals` decimals when
// that reads back exactly; otherwise the shortest decimal text of the float, in fixed notation
// without the zero before the point, or with an exponent ("1.5e-5", or "1.5-5" where columns
// are short), always with a point (a field without one would get implied decimals).
// Returns false, and fills the field with asterisks, for an infinity, a NaN or a value whose
// shortest text does not fit.
bool write_real_field_exact(char* out, int width, int decimals, float value);

// The float nearest `value` among those write_real_field_exact can write in the field: value
// itself when it fits, else value rounded to the most significant digits that fit. Returns
// value unchanged when nothing fits.
float fitting_value(float value, int width, int decimals);

} // namespace pipenet
