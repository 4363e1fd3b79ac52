#include "check/collect_records.hpp"

namespace pipenet::check {

RecordCollector::RecordCollector(Program program, RecordObserver* next) : next_(next) {
    records_.program = program;
}

void RecordCollector::record(const RecordView& record) {
    if (next_ != nullptr) next_->record(record);
    if (record.group == Group::after_records || record.fields.empty()) return;
    last_line_ = record.line;
    for (const FieldView& field : record.fields)
        if (!field.valid && bad_line_ == 0) bad_line_ = record.line;
    if (bad_line_ != 0) return;
    const auto& f = record.fields;
    auto real = [&](std::size_t k) { return k < f.size() ? f[k].real : 0.0f; };
    auto integer = [&](std::size_t k) { return k < f.size() ? f[k].integer : 0; };
    switch (record.group) {
    case Group::header:
        header_ = true;
        for (std::size_t k = 0; k < 4; ++k) counts_[k] = integer(k);
        if (records_.program == Program::lamnet) {
            records_.rho_g_over_mu = real(4);
        } else {
            records_.max_iterations = integer(4);
            records_.tolerance = real(5);
            records_.relative_roughness = real(6);
        }
        break;
    case Group::node:
        records_.nodes.push_back({integer(0), real(1), real(2)});
        break;
    case Group::pipe:
        records_.elements.push_back({integer(0), integer(1), integer(2), real(3)});
        break;
    case Group::known_discharge:
        records_.discharges.push_back({integer(0), real(1)});
        break;
    case Group::known_head:
        records_.heads.push_back({integer(0), real(1)});
        break;
    case Group::after_records:
        break;
    }
}

bool RecordCollector::take(NetworkRecords& records, std::string& error) {
    if (bad_line_ != 0) {
        error = "line " + std::to_string(bad_line_) + ": a field that is not a number of its kind";
        return false;
    }
    if (header_ && (counts_[0] < 0 || counts_[1] < 0 || counts_[2] < 0 || counts_[3] < 0)) {
        error = "line 1: a count in the header is negative";
        return false;
    }
    if (!header_ || records_.nodes.size() != static_cast<std::size_t>(counts_[0]) ||
        records_.elements.size() != static_cast<std::size_t>(counts_[1]) ||
        records_.discharges.size() != static_cast<std::size_t>(counts_[2]) ||
        records_.heads.size() != static_cast<std::size_t>(counts_[3])) {
        error = "line " + std::to_string(last_line_ + 1) + ": the file ends before it";
        return false;
    }
    records = records_;
    return true;
}

} // namespace pipenet::check
