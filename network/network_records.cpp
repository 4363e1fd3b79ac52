#include "network/network_records.hpp"

#include <algorithm>

#include "report/exact_field.hpp"
#include "report/layouts.hpp"

namespace pipenet {

namespace {

class DiscardSink final : public ByteSink {
public:
    bool write(const char*, std::size_t) override { return true; }
};

class TextSink final : public ByteSink {
public:
    bool write(const char* data, std::size_t size) override {
        text.append(data, size);
        return true;
    }
    std::string text;
};

std::string what_failed(int status) {
    if (status == static_cast<int>(Failure::end_of_file)) return "the file ends before it";
    if (status == static_cast<int>(Failure::input_conversion))
        return "a field that is not a number of its kind";
    return "a failure of reading (" + std::to_string(status) + ")";
}

// Reads every record group in order; `line` follows the record being read.
void read_groups(RecordIo& io, Program program, NetworkRecords& records, std::int32_t& line,
                 std::string& error) {
    std::int32_t node_count = 0;
    std::int32_t element_count = 0;
    std::int32_t discharge_count = 0;
    std::int32_t head_count = 0;
    line = 1;
    if (program == Program::lamnet) {
        LayoutReader header(io, input_unit, layouts::lamnet_header);
        node_count = header.get_integer();
        element_count = header.get_integer();
        discharge_count = header.get_integer();
        head_count = header.get_integer();
        records.rho_g_over_mu = header.get_real();
    } else {
        LayoutReader header(io, input_unit, layouts::turbnet_header);
        node_count = header.get_integer();
        element_count = header.get_integer();
        discharge_count = header.get_integer();
        head_count = header.get_integer();
        records.max_iterations = header.get_integer();
        records.tolerance = header.get_real();
        records.relative_roughness = header.get_real();
    }
    if (node_count < 0 || element_count < 0 || discharge_count < 0 || head_count < 0) {
        error = "line 1: a count in the header is negative";
        return;
    }
    for (std::int32_t i = 0; i < node_count; ++i) {
        ++line;
        LayoutReader reader(io, input_unit, layouts::node_record);
        NodeRecord r;
        r.node = reader.get_integer();
        r.x = reader.get_real();
        r.y = reader.get_real();
        records.nodes.push_back(r);
    }
    for (std::int32_t i = 0; i < element_count; ++i) {
        ++line;
        LayoutReader reader(io, input_unit, layouts::element_record);
        ElementRecord r;
        r.element = reader.get_integer();
        r.start_node = reader.get_integer();
        r.end_node = reader.get_integer();
        r.diameter = reader.get_real();
        records.elements.push_back(r);
    }
    for (std::int32_t i = 0; i < discharge_count; ++i) {
        ++line;
        LayoutReader reader(io, input_unit, layouts::discharge_record);
        DischargeRecord r;
        r.node = reader.get_integer();
        r.discharge = reader.get_real();
        records.discharges.push_back(r);
    }
    for (std::int32_t i = 0; i < head_count; ++i) {
        ++line;
        LayoutReader reader(io, input_unit, layouts::head_record);
        HeadRecord r;
        r.node = reader.get_integer();
        r.head = reader.get_real();
        records.heads.push_back(r);
    }
}

// A line of a flat input layout, blank, with room for its fields.
class RecordLine {
public:
    explicit RecordLine(const Layout& layout) : layout_(layout) {
        line_.assign(layout.flat_line_image(), static_cast<std::size_t>(layout.flat_line_length()));
    }
    void put(std::int32_t value) {
        const FlatField& f = layout_.flat_field(field_++);
        fits_ = write_integer_field(line_.data() + f.offset, f.width, value) && fits_;
    }
    // A real is written one column in from the left of its field where it fits there, so that a
    // blank parts it from the field before.
    void put(float value) {
        const FlatField& f = layout_.flat_field(field_++);
        char* field = line_.data() + f.offset;
        if (f.width > 1 && write_real_field_exact(field + 1, f.width - 1, f.decimals, value)) {
            field[0] = ' ';
            return;
        }
        fits_ = write_real_field_exact(field, f.width, f.decimals, value) && fits_;
    }
    // Appends the line to text; false when a value did not fit its field.
    bool finish(std::string& text, std::string& error, std::size_t line_number) {
        text += line_;
        text += '\n';
        if (!fits_ && error.empty())
            error = "line " + std::to_string(line_number) + ": a value does not fit its field";
        return fits_;
    }

private:
    const Layout& layout_;
    std::string line_;
    int field_ = 0;
    bool fits_ = true;
};

} // namespace

bool read_network_records(std::string_view text, Program program, NetworkRecords& records,
                          std::string& error, int* failure) {
    if (failure != nullptr) *failure = 0;
    records = NetworkRecords{};
    records.program = program;
    error.clear();
    DiscardSink report;
    TextSink errors;
    MemorySource console(std::string_view{});
    MemorySource input(text);
    RecordIo io(report, errors, console);
    io.use_input_source(input);
    std::int32_t line = 0;
    try {
        io.open_input(input_file_name(program));
        read_groups(io, program, records, line, error);
    } catch (const RunEnded& ended) {
        error = "line " + std::to_string(line) + ": " + what_failed(ended.status);
        if (failure != nullptr) *failure = ended.status;
    }
    return error.empty();
}

bool read_alike_by_program(const NetworkRecords& records) {
    return records.program == Program::lamnet || !records.nodes.empty();
}

void store_records(const NetworkRecords& records, Network& net) {
    auto count = [](std::size_t n) { return static_cast<std::int32_t>(n); };
    net.node_count = count(records.nodes.size());
    net.element_count = count(records.elements.size());
    net.known_discharge_count = count(records.discharges.size());
    net.known_head_count = count(records.heads.size());
    net.rho_g_over_mu = records.rho_g_over_mu;
    net.max_iterations = records.max_iterations;
    net.tolerance = records.tolerance;
    net.relative_roughness = records.relative_roughness;
    for (const NodeRecord& r : records.nodes) store_node_record(net, r.node, r.x, r.y);
    for (const ElementRecord& r : records.elements)
        store_element_record(net, r.element, r.start_node, r.end_node, r.diameter);
    finish_elements(net);
    for (const DischargeRecord& r : records.discharges)
        store_discharge_record(net, r.node, r.discharge);
    std::int32_t i = 0;
    for (const HeadRecord& r : records.heads) store_head_record(net, ++i, r.node, r.head);
}

bool write_network_records(const NetworkRecords& records, std::string& text, std::string& error) {
    text.clear();
    error.clear();
    bool fits = true;
    std::size_t line = 1;
    auto count = [](std::size_t n) { return static_cast<std::int32_t>(n); };
    if (records.nodes.size() > 2'000'000'000u || records.elements.size() > 2'000'000'000u) {
        error = "too many records";
        return false;
    }
    {
        RecordLine header(records.program == Program::lamnet ? layouts::lamnet_header
                                                             : layouts::turbnet_header);
        header.put(count(records.nodes.size()));
        header.put(count(records.elements.size()));
        header.put(count(records.discharges.size()));
        header.put(count(records.heads.size()));
        if (records.program == Program::lamnet) {
            header.put(records.rho_g_over_mu);
        } else {
            header.put(records.max_iterations);
            header.put(records.tolerance);
            header.put(records.relative_roughness);
        }
        fits = header.finish(text, error, line++) && fits;
    }
    for (const NodeRecord& r : records.nodes) {
        RecordLine l(layouts::node_record);
        l.put(r.node);
        l.put(r.x);
        l.put(r.y);
        fits = l.finish(text, error, line++) && fits;
    }
    for (const ElementRecord& r : records.elements) {
        RecordLine l(layouts::element_record);
        l.put(r.element);
        l.put(r.start_node);
        l.put(r.end_node);
        l.put(r.diameter);
        fits = l.finish(text, error, line++) && fits;
    }
    for (const DischargeRecord& r : records.discharges) {
        RecordLine l(layouts::discharge_record);
        l.put(r.node);
        l.put(r.discharge);
        fits = l.finish(text, error, line++) && fits;
    }
    for (const HeadRecord& r : records.heads) {
        RecordLine l(layouts::head_record);
        l.put(r.node);
        l.put(r.head);
        fits = l.finish(text, error, line++) && fits;
    }
    return fits;
}

float fit_to_field(RealField field, float value) {
    auto fit = [value](const Layout& layout, int index) {
        const FlatField& f = layout.flat_field(index);
        return fitting_value(value, f.width, f.decimals);
    };
    switch (field) {
    case RealField::rho_g_over_mu:
        return fit(layouts::lamnet_header, 4);
    case RealField::tolerance:
        return fit(layouts::turbnet_header, 5);
    case RealField::relative_roughness:
        return fit(layouts::turbnet_header, 6);
    case RealField::coordinate:
        return fit(layouts::node_record, 1);
    case RealField::diameter:
        return fit(layouts::element_record, 3);
    case RealField::discharge:
        return fit(layouts::discharge_record, 1);
    case RealField::head:
        return fit(layouts::head_record, 1);
    }
    return value;
}

std::vector<std::int32_t> element_ends(const NetworkRecords& records) {
    std::vector<std::int32_t> ends;
    ends.reserve(records.elements.size() * 2);
    for (const ElementRecord& e : records.elements) {
        ends.push_back(e.start_node);
        ends.push_back(e.end_node);
    }
    return ends;
}

bool check_node_numbers(const NetworkRecords& records, std::string& error) {
    const auto count = static_cast<std::int64_t>(records.nodes.size());
    std::vector<bool> seen(records.nodes.size() + 1, false);
    auto in_range = [&](std::int32_t n) { return n >= 1 && n <= count; };
    for (const NodeRecord& r : records.nodes) {
        if (!in_range(r.node)) {
            error = "node record " + std::to_string(r.node) + ": outside 1 ... " +
                    std::to_string(count);
            return false;
        }
        if (seen[static_cast<std::size_t>(r.node)]) {
            error = "node " + std::to_string(r.node) + " has two node records";
            return false;
        }
        seen[static_cast<std::size_t>(r.node)] = true;
    }
    for (const ElementRecord& e : records.elements) {
        if (!in_range(e.start_node) || !in_range(e.end_node)) {
            error = "pipe " + std::to_string(e.element) + " ends at a node outside 1 ... " +
                    std::to_string(count);
            return false;
        }
    }
    for (const DischargeRecord& d : records.discharges) {
        if (!in_range(d.node)) {
            error = "known discharge at node " + std::to_string(d.node) + ", outside 1 ... " +
                    std::to_string(count);
            return false;
        }
    }
    for (const HeadRecord& h : records.heads) {
        if (!in_range(h.node)) {
            error = "known head at node " + std::to_string(h.node) + ", outside 1 ... " +
                    std::to_string(count);
            return false;
        }
    }
    return true;
}

} // namespace pipenet
