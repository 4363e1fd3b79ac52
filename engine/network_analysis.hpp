// One network held for analysis: read from the text of an input file, changed a value at a
// time, analysed again as often as wanted. Each object owns all its storage, so analyses on
// different objects may run on different threads at once. Nothing is printed and nothing
// ends the process: every result is a value.
//
// The storage is sized from the network's counts once its records have been read, and the band
// from its half-bandwidth once it has passed its checks: there is no capacity, and a network
// within the programs' capacities gets the programs' bits. Memory is in proportion to the
// records read and to the band (nodes x half-bandwidth floats), never to a count a header
// merely announces.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "engine/analysis.hpp"
#include "network/faults.hpp"
#include "network/network_records.hpp"

namespace pipenet {

enum class Flow : std::uint8_t { laminar, turbulent };

class NetworkAnalysis {
public:
    explicit NetworkAnalysis(Flow flow);
    ~NetworkAnalysis();
    NetworkAnalysis(const NetworkAnalysis&) = delete;
    NetworkAnalysis& operator=(const NetworkAnalysis&) = delete;

    // Reads the network from `text`, laid out as lamnet's input file for laminar flow and as
    // turbnet's for turbulent flow. Returns 0, or the failure number of the record layer (the
    // network is then empty). Results of an earlier analysis are dropped.
    int read(std::string_view text);

    // Takes the network from records already read from an input file of the analysis's flow
    // (read_alike_by_program): the same network as read(text) of that file, without reading the
    // text again. Results of an earlier analysis are dropped.
    void read(const NetworkRecords& records);

    // Changes one input value. Each returns false, changing nothing, when the pipe or node lies
    // outside the network as read.
    bool set_diameter(std::int32_t pipe, float diameter);
    bool set_known_discharge(std::int32_t node, float discharge);
    // A node without a known head gets one, at the end of the list of known heads (which may
    // throw std::bad_alloc).
    bool set_known_head(std::int32_t node, float head);

    // Analyses the network as it now stands. Throws std::bad_alloc when the band does not fit in
    // memory (the network is then left as read).
    Outcome analyse();

    // The network as read and changed, with the results of the last analysis.
    const Network& network() const;

    Flow flow() const { return flow_; }
    // The counts of the header as read (whatever their sign).
    std::int32_t node_count() const;
    std::int32_t pipe_count() const;

    // The results of the last analysis that produced some (empty otherwise): one head and one
    // net nodal discharge per node, one discharge per pipe, in number order.
    std::span<const float> heads() const;
    std::span<const float> nodal_discharges() const;
    std::span<const float> member_discharges() const;
    // Turbulent flow: the relative residual of every pass of the last analysis, in order.
    std::span<const float> residuals() const;
    // Every faulty pipe of the last analysis, in element order.
    std::span<const Fault> pipe_faults() const;

private:
    struct Storage;
    void size_state(); // the passes' vectors and the pipe faults, for the network read
    Flow flow_;
    std::unique_ptr<Storage> storage_;
    bool has_results_ = false;
};

} // namespace pipenet
