// What stops an analysis: a code, with the record, pipe or node it concerns. The analysis
// returns faults as values; each program words them in its own report.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

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

// The faulty pipes of one network, in element order, in storage its owner keeps: a pipe has at
// most one fault (its length is looked at before its diameter). Faults beyond the storage are
// not kept.
class PipeFaults {
public:
    PipeFaults() = default;
    explicit PipeFaults(std::span<Fault> storage) : storage_(storage) {}
    PipeFaults(const PipeFaults&) = delete;
    PipeFaults& operator=(const PipeFaults&) = delete;

    void clear() { count_ = 0; }
    void add(FaultCode code, std::int32_t element) {
        if (count_ < storage_.size()) storage_[count_++] = Fault{code, element, element};
    }
    bool empty() const { return count_ == 0; }
    std::span<const Fault> list() const { return storage_.first(count_); }

protected:
    void rebind(std::span<Fault> storage) {
        storage_ = storage;
        count_ = 0;
    }

private:
    std::span<Fault> storage_;
    std::size_t count_ = 0;
};

// The programs' fixed block of pipe faults: one for every pipe the fixed network holds.
class FixedPipeFaults : public PipeFaults {
public:
    FixedPipeFaults() : PipeFaults(faults_) {}

private:
    std::array<Fault, max_elements> faults_{};
};

// Pipe faults with room for every pipe of a network of any size.
class SizedPipeFaults : public PipeFaults {
public:
    // Room for `elements` faults (a negative count as none); the list is cleared.
    void size(std::int32_t elements) {
        faults_.assign(elements > 0 ? static_cast<std::size_t>(elements) : 0, Fault{});
        rebind(faults_);
    }

private:
    std::vector<Fault> faults_;
};

} // namespace pipenet
