// The input of the engine and C-interface fuzz targets, taken apart (see harness.hpp).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/checks.hpp"

namespace pipenet::fuzz {

struct Change {
    std::uint8_t kind = 0; // 0 diameter, 1 known discharge, 2 known head
    std::int32_t number = 0;
    float value = 0.0f;
};

struct EngineInput {
    bool turbulent = false;
    std::vector<Change> changes;
    std::vector<char> text;
};

inline EngineInput take_apart(const std::uint8_t* data, std::size_t size) {
    EngineInput input;
    if (size < 2) return input;
    input.turbulent = (data[0] & 1) != 0;
    std::size_t at = 2;
    for (int k = 0; k < data[1] % 8 && at + 6 <= size; ++k, at += 6) {
        Change change;
        change.kind = static_cast<std::uint8_t>(data[at] % 3);
        change.number = static_cast<std::int32_t>(data[at + 1]) - 8;
        std::memcpy(&change.value, data + at + 2, sizeof change.value);
        input.changes.push_back(change);
    }
    input.text.assign(data + at, data + size);
    if (input.turbulent)
        bound_iteration_limit(input.text, static_cast<char>('0' + (data[0] / 2) % 10));
    return input;
}

} // namespace pipenet::fuzz
