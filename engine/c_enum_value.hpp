#pragma once

#include <cstring>

namespace pipenet::engine {

// The int a C caller passed for an enum parameter. C lets any int arrive there, while in C++
// even loading an enum outside its enumerators' range is undefined; so the library checks the
// value as the int it is before it uses the enum.
template <typename Enum>
int c_enum_value(const Enum& value) {
    int as_int = 0;
    static_assert(sizeof as_int == sizeof value);
    std::memcpy(&as_int, &value, sizeof as_int);
    return as_int;
}

} // namespace pipenet::engine
