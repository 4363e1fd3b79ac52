// What the programs write on standard error besides the record layer's failure reports: what a
// run waits for, and warnings about its results. None of them changes the report or the exit
// status.
#pragma once

#include <cstdint>
#include <string_view>

#include "report/record_io.hpp"

namespace pipenet {

enum class Notice : std::uint8_t {
    print_flag_prompt,   // turbnet waits for its print flag at a terminal
    lamnet_balance_off,  // a node's net discharge is far from the one given
    turbnet_balance_off, // the same after the iterations
};

// The text of a notice, as one line without its line end; printf conversions where values go.
std::string_view notice_text(Notice notice);

// Writes a notice without values, after the report so far.
void write_notice(RecordIo& io, Notice notice);

// Writes a balance notice (lamnet_balance_off, turbnet_balance_off) for `node`: its computed and
// given net discharges and the largest difference that would have passed.
void write_balance_notice(RecordIo& io, Notice notice, std::int32_t node, float computed,
                          float given, double allowed);

} // namespace pipenet
