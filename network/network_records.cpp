#include "network/network_records.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "report/exact_field.hpp"
#include "report/layouts.hpp"

namespace pipenet {

namespace {

std::string what_failed(int status) {
    if (status == static_cast<int>(Failure::end_of_file)) return "the file ends before it";
    if (status == static_cast<int>(Failure::input_conversion))
        return "a field that is not a number of its kind";
    return "a failure of reading (" + std::to_string(status) + ")";
}

// The records of a file held in memory, split as the record layer splits a stream: a UTF-8 byte
// order mark at the start dropped, a record per line, a carriage return before the line feed
// dropped, the first RecordStream::record_capacity characters kept.
class TextRecords {
public:
    explicit TextRecords(std::string_view text) : text_(text) {
        constexpr std::string_view mark = "\xEF\xBB\xBF";
        if (text_.starts_with(mark)) position_ = mark.size();
    }

    // The next record, or false when none is left. The record lies in storage with at least
    // field_padding readable bytes past its end, as the padded field readers want; comma: out,
    // the record's first comma (npos: none).
    bool next(std::string_view& record, std::size_t& comma) {
        if (position_ >= text_.size()) return false;
        const char* start = text_.data() + position_;
        const std::size_t rest = text_.size() - position_;
        const LineScan scan = scan_line(start, rest);
        const std::size_t line = scan.line_feed != std::string_view::npos ? scan.line_feed : rest;
        position_ += scan.line_feed != std::string_view::npos ? line + 1 : line;
        constexpr auto capacity = static_cast<std::size_t>(RecordStream::record_capacity);
        std::size_t kept = line < capacity ? line : capacity;
        if (line > 0 && start[line - 1] == '\r' && kept < capacity) --kept;
        comma = scan.comma < kept ? scan.comma : std::string_view::npos;
        if (rest - kept >= field_padding) {
            record = {start, kept};
        } else {
            // Near the end of the text: a copy with room after it.
            std::memcpy(padded_.data(), start, kept);
            record = {padded_.data(), kept};
        }
        return true;
    }

    // At most this many records are left.
    std::size_t records_left() const { return text_.size() - position_ + 1; }

private:
    std::string_view text_;
    std::size_t position_ = 0;
    std::array<char, RecordStream::record_capacity + field_padding> padded_{};
};

// The first column of every field of an input layout follows the last of the field before: the
// fields are cut one after the other, as the layout reader cuts them.
constexpr bool fields_follow_one_another(const Layout& layout) {
    if (layout.flat_fields() <= 0 || layout.flat_field(0).offset != 0) return false;
    for (int k = 1; k < layout.flat_fields(); ++k)
        if (layout.flat_field(k).offset !=
            layout.flat_field(k - 1).offset + layout.flat_field(k - 1).width)
            return false;
    return true;
}
static_assert(fields_follow_one_another(layouts::lamnet_header) &&
              fields_follow_one_another(layouts::turbnet_header) &&
              fields_follow_one_another(layouts::node_record) &&
              fields_follow_one_another(layouts::element_record) &&
              fields_follow_one_another(layouts::discharge_record) &&
              fields_follow_one_another(layouts::head_record));

// One record read under a flat input layout, field after field, each cut as the layout reader
// cuts it (at the end of the record or at a comma) and converted once. The first field that
// cannot be read clears `ok`, and every value from it on is 0, as the layout reader leaves them.
class RecordFields {
public:
    // first_comma: the record's first comma (npos: none).
    RecordFields(std::string_view record, std::size_t first_comma, const Layout& layout)
        : record_(record), layout_(layout), next_comma_(first_comma) {}

    [[gnu::always_inline]] std::int32_t integer() {
        std::int32_t value = 0;
        if (ok && !read_integer_field_padded(take(), value)) {
            ok = false;
            value = 0;
        }
        return value;
    }
    [[gnu::always_inline]] float real() {
        const int decimals = layout_.flat_field(field_).decimals;
        float value = 0.0f;
        if (ok && !read_real_field_padded(take(), decimals, value)) {
            ok = false;
            value = 0.0f;
        }
        return value;
    }

    bool ok = true;

private:
    [[gnu::always_inline]] std::string_view take() {
        const auto width = static_cast<std::size_t>(layout_.flat_field(field_++).width);
        return cut_field(record_, column_, width, next_comma_);
    }

    std::string_view record_;
    const Layout& layout_;
    std::size_t next_comma_;
    std::size_t column_ = 0;
    int field_ = 0;
};

// Reads every record group in order. Returns 0, or the record layer's failure number with
// `line` at the record that failed. Flattened: the field readers, called a thousand times for a
// network of a hundred nodes, are then compiled into it with each field's width and decimals
// known, instead of as calls that work them out from the layout.
[[gnu::flatten]] int read_groups(std::string_view text, Program program, NetworkRecords& records,
                                 std::int32_t& line, std::string& error) {
    TextRecords file(text);
    std::string_view record;
    std::size_t comma = 0;
    line = 1;
    if (!file.next(record, comma)) return static_cast<int>(Failure::end_of_file);
    std::int32_t node_count = 0;
    std::int32_t element_count = 0;
    std::int32_t discharge_count = 0;
    std::int32_t head_count = 0;
    {
        RecordFields header(record, comma,
                            program == Program::lamnet ? layouts::lamnet_header
                                                       : layouts::turbnet_header);
        node_count = header.integer();
        element_count = header.integer();
        discharge_count = header.integer();
        head_count = header.integer();
        if (program == Program::lamnet) {
            records.rho_g_over_mu = header.real();
        } else {
            records.max_iterations = header.integer();
            records.tolerance = header.real();
            records.relative_roughness = header.real();
        }
        if (!header.ok) return static_cast<int>(Failure::input_conversion);
    }
    if (node_count < 0 || element_count < 0 || discharge_count < 0 || head_count < 0) {
        error = "line 1: a count in the header is negative";
        return 0;
    }
    // A count is only the header's word: room for no more records than the text can hold.
    const auto room = [&file](std::int32_t count) {
        return std::min(static_cast<std::size_t>(count), file.records_left());
    };
    // A record that cannot be read is not kept.
    const auto unreadable = [](auto& list) {
        list.pop_back();
        return static_cast<int>(Failure::input_conversion);
    };
    records.nodes.reserve(room(node_count));
    for (std::int32_t i = 0; i < node_count; ++i) {
        ++line;
        if (!file.next(record, comma)) return static_cast<int>(Failure::end_of_file);
        RecordFields fields(record, comma, layouts::node_record);
        NodeRecord& r = records.nodes.emplace_back();
        r.node = fields.integer();
        r.x = fields.real();
        r.y = fields.real();
        if (!fields.ok) return unreadable(records.nodes);
    }
    records.elements.reserve(room(element_count));
    for (std::int32_t i = 0; i < element_count; ++i) {
        ++line;
        if (!file.next(record, comma)) return static_cast<int>(Failure::end_of_file);
        RecordFields fields(record, comma, layouts::element_record);
        ElementRecord& r = records.elements.emplace_back();
        r.element = fields.integer();
        r.start_node = fields.integer();
        r.end_node = fields.integer();
        r.diameter = fields.real();
        if (!fields.ok) return unreadable(records.elements);
    }
    records.discharges.reserve(room(discharge_count));
    for (std::int32_t i = 0; i < discharge_count; ++i) {
        ++line;
        if (!file.next(record, comma)) return static_cast<int>(Failure::end_of_file);
        RecordFields fields(record, comma, layouts::discharge_record);
        DischargeRecord& r = records.discharges.emplace_back();
        r.node = fields.integer();
        r.discharge = fields.real();
        if (!fields.ok) return unreadable(records.discharges);
    }
    records.heads.reserve(room(head_count));
    for (std::int32_t i = 0; i < head_count; ++i) {
        ++line;
        if (!file.next(record, comma)) return static_cast<int>(Failure::end_of_file);
        RecordFields fields(record, comma, layouts::head_record);
        HeadRecord& r = records.heads.emplace_back();
        r.node = fields.integer();
        r.head = fields.real();
        if (!fields.ok) return unreadable(records.heads);
    }
    return 0;
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
    // Emptied, not replaced: a caller reading file after file keeps the lists' storage.
    records.program = program;
    records.rho_g_over_mu = 0.0f;
    records.max_iterations = 0;
    records.tolerance = 0.0f;
    records.relative_roughness = 0.0f;
    records.nodes.clear();
    records.elements.clear();
    records.discharges.clear();
    records.heads.clear();
    error.clear();
    std::int32_t line = 0;
    if (const int status = read_groups(text, program, records, line, error); status != 0) {
        error = "line " + std::to_string(line) + ": " + what_failed(status);
        if (failure != nullptr) *failure = status;
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
    // A byte for each node: tested and set with plain loads and stores, not bit operations.
    std::vector<std::uint8_t> seen(records.nodes.size() + 1, 0);
    auto in_range = [&](std::int32_t n) { return n >= 1 && n <= count; };
    for (const NodeRecord& r : records.nodes) {
        if (!in_range(r.node)) {
            error = "node record " + std::to_string(r.node) + ": outside 1 ... " +
                    std::to_string(count);
            return false;
        }
        if (seen[static_cast<std::size_t>(r.node)] != 0) {
            error = "node " + std::to_string(r.node) + " has two node records";
            return false;
        }
        seen[static_cast<std::size_t>(r.node)] = 1;
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
