// A network as the records of its fixed-column input file, of any size: what the exchange and
// renumbering tools read and write. The programs themselves keep the fixed-size Network.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "network/read_input.hpp"

namespace pipenet {

struct NodeRecord {
    std::int32_t node = 0;
    float x = 0.0f;
    float y = 0.0f;
};

struct ElementRecord {
    std::int32_t element = 0;
    std::int32_t start_node = 0;
    std::int32_t end_node = 0;
    float diameter = 0.0f;
};

struct DischargeRecord {
    std::int32_t node = 0;
    float discharge = 0.0f;
};

struct HeadRecord {
    std::int32_t node = 0;
    float head = 0.0f;
};

// The records in file order; the header's counts are the sizes of the lists.
struct NetworkRecords {
    Program program = Program::turbnet;
    float rho_g_over_mu = 0.0f;      // lamnet
    std::int32_t max_iterations = 0; // turbnet
    float tolerance = 0.0f;          // turbnet
    float relative_roughness = 0.0f; // turbnet
    std::vector<NodeRecord> nodes;
    std::vector<ElementRecord> elements;
    std::vector<DischargeRecord> discharges;
    std::vector<HeadRecord> heads;
};

// Reads an input file given as text, in the layouts the program reads it with. Returns false
// with `error` set when a record is missing or a field cannot be read; `error` names the line.
// failure, when given: the record layer's failure number (Failure), or 0 when the header gives a
// negative count (which the programs read as none).
bool read_network_records(std::string_view text, Program program, NetworkRecords& records,
                          std::string& error, int* failure = nullptr);

// True when the program reads the same records from the file: turbnet's reader takes one record
// for its node group even when the header announces no node.
bool read_alike_by_program(const NetworkRecords& records);

// Fills `net`, whose storage holds at least the records' counts and which nothing has been read
// into, with what the program's reader stores from the file the records were read from: the
// counts and header values, every record as read_input stores it (a number outside its count
// noted, one outside the storage not stored), the half-bandwidth. records: read_alike_by_program.
void store_records(const NetworkRecords& records, Network& net);

// Writes the records as an input file in the same layouts, each real in a form that reads back
// to the same float. Returns false with `error` set when a value does not fit its field.
bool write_network_records(const NetworkRecords& records, std::string& text, std::string& error);

enum class RealField : std::uint8_t {
    rho_g_over_mu,
    tolerance,
    relative_roughness,
    coordinate,
    diameter,
    discharge,
    head
};

// The float nearest `value` that write_network_records writes in the field exactly (value
// itself when it fits): for values computed rather than read, before they are stored.
float fit_to_field(RealField field, float value);

// The nodes of every pipe, pipe after pipe, in the layout half_band_of takes.
std::vector<std::int32_t> element_ends(const NetworkRecords& records);

// Checks that the node records number the nodes 1 ... count once each and that every pipe end,
// known discharge and known head names one of them. Returns false with `error` set otherwise.
bool check_node_numbers(const NetworkRecords& records, std::string& error);

} // namespace pipenet
