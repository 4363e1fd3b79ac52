// What stops an analysis: a code, with the record, pipe or node it concerns. The analysis
// returns faults as values; each program words them in its own report.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "network/model.hpp"

namespace pipenet {

enum class FaultCode : std::uint8_t {
    none,
    // The network as read, in the order the checks look at it.
    too_many_nodes,
    too_many_elements,
    too_many_boundary_nodes,
    half_band_exceeded,
    no_nodes,
    node_record_out_of_range,      // number: the node number of the record
    element_record_out_of_range,   // number: the element number of the record
    pipe_end_out_of_range,         // element: the pipe; number: its end node
    discharge_record_out_of_range, // number: the node number of the record
    head_record_out_of_range,      // number: the node number of the record
    // One pipe; element: the pipe.
    zero_length,
    zero_diameter,
};

struct Fault {
    FaultCode code = FaultCode::none;
    std::int32_t number = 0;
    std::int32_t element = 0;

    explicit operator bool() const { return code != FaultCode::none; }
    friend bool operator==(const Fault&, const Fault&) = default;
};

// The faulty pipes of one network, in element order: a pipe has at most one fault (its length
// is looked at before its diameter).
class PipeFaults {
public:
    void clear() { count_ = 0; }
    void add(FaultCode code, std::int32_t element) {
        if (count_ < static_cast<std::int32_t>(faults_.size()))
            faults_[static_cast<std::size_t>(count_++)] = Fault{code, element, element};
    }
    bool empty() const { return count_ == 0; }
    std::span<const Fault> list() const {
        return {faults_.data(), static_cast<std::size_t>(count_)};
    }

private:
    std::array<Fault, max_elements> faults_{};
    std::int32_t count_ = 0;
};

} // namespace pipenet
