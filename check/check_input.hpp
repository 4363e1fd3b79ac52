// The input check: reads a network input file record by record with the programs' own record
// and field readers, and finds the mistakes a run would not report, or would report late.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/messages.hpp"
#include "network/read_input.hpp"
#include "report/record_io.hpp"

namespace pipenet::check {

// The record groups of an input file, in file order, and the lines after the last record.
enum class Group : std::uint8_t { header, node, pipe, known_discharge, known_head, after_records };

// One field of a record, as the programs read it.
struct FieldView {
    std::string_view name;
    std::int32_t first_column = 0; // 1-based, inclusive; the columns the field was cut from
    std::int32_t last_column = 0;
    std::string_view text; // the field's characters, valid while the record is observed
    bool is_real = false;
    bool valid = false; // false: the run ends here with an input conversion error
    std::int32_t integer = 0;
    float real = 0.0f;
};

// One record: its line, its place in the file and its fields (none for a record read and
// passed over, and for lines after the last record).
struct RecordView {
    std::int32_t line = 0;
    Group group = Group::header;
    std::int32_t index = 0; // 1-based within its group
    std::string_view text;
    std::span<const FieldView> fields;
};

// Receives every record as it is read, for an explanation of the file.
class RecordObserver {
public:
    virtual ~RecordObserver() = default;
    virtual void record(const RecordView& record) = 0;
};

// Gives the file's bytes from the start, once for each pass over it; nullptr when it cannot
// be read again.
class SourceOpener {
public:
    virtual ~SourceOpener() = default;
    virtual ByteSource* open() = 0;
};

struct Finding {
    std::int32_t line = 0;         // 0: the file as a whole
    std::int32_t first_column = 0; // 0: the line as a whole
    std::int32_t last_column = 0;
    Severity severity = Severity::note;
    Message message = Message::trailing_text;
    std::string text;
    std::string line_text; // the line as read (at most the record capacity)
    bool line_known = false;
};

struct CheckResult {
    Program program = Program::lamnet;
    bool inp = false;       // a .inp file: `program` does not apply
    bool file_read = false; // false: the source could not be read from its start
    bool header_read = false;
    std::int32_t node_count = 0;
    std::int32_t pipe_count = 0;
    std::int32_t known_discharge_count = 0;
    std::int32_t known_head_count = 0;
    std::int32_t lines = 0;
    // Kept in the order found, at most max_findings_kept; the rest only counted.
    std::vector<Finding> findings;
    std::int32_t omitted = 0;
    std::int32_t errors = 0;
    std::int32_t warnings = 0;
    std::int32_t notes = 0;
};

inline constexpr std::size_t max_findings_kept = 200;

// Checks one input file of `program`. observer: may be null.
void check_input(Program program, SourceOpener& source, RecordObserver* observer,
                 CheckResult& result);

// The name of a record for a reader: "header", "node record 3", "pipe record 7", ...
std::string record_name(Group group, std::int32_t index);

// The shortest decimal text that reads back as the same float.
std::string shortest_text(float value);

// A field's characters as they may be shown: TAB as \t, other bytes outside printable ASCII
// as \xNN.
std::string printable(std::string_view text);

} // namespace pipenet::check
