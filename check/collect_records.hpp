// The network's records gathered from the input check's walk over a file, so that what is
// worked out from them (the band of the coefficient matrix) needs no second reading of the text.
#pragma once

#include <string>

#include "check/check_input.hpp"
#include "network/network_records.hpp"

namespace pipenet::check {

class RecordCollector final : public RecordObserver {
public:
    // next: also sees every record (an explanation of the file); may be null.
    RecordCollector(Program program, RecordObserver* next);
    void record(const RecordView& record) override;

    // The records, when the walk read every one the header announces with every field a
    // number of its kind; else false with `error` naming the line, in the words of
    // read_network_records.
    bool take(NetworkRecords& records, std::string& error);

private:
    RecordObserver* next_;
    NetworkRecords records_;
    bool header_ = false;
    std::int32_t counts_[4] = {0, 0, 0, 0};
    std::int32_t last_line_ = 0;
    std::int32_t bad_line_ = 0; // the first line with a field that is not a number
};

} // namespace pipenet::check
