#include "check/check_input.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>

#include "fem/pipe_length.hpp"
#include "fem/solve_banded.hpp"
#include "network/checks.hpp"
#include "network/floating_groups.hpp"
#include "report/layouts.hpp"

namespace pipenet::check {

namespace {

constexpr int max_record_fields = 8;

// The k-th field (0-based) of a layout: its width and decimals.
FlatField nth_field(const Layout& layout, int k) {
    for (int i = 0; i < layout.size(); ++i) {
        if (!Layout::is_field(layout[i].kind)) continue;
        if (k-- == 0) return {0, layout[i].width, layout[i].decimals};
    }
    return {};
}

struct RecordSpec {
    Group group;
    const Layout& layout;
    const Layout& echo; // the report line that echoes the record's values, field for field
    std::array<std::string_view, max_record_fields> names;
};

const RecordSpec lamnet_header_spec{Group::header,
                                    layouts::lamnet_header,
                                    layouts::lamnet_input_data,
                                    {"number of nodes", "number of pipes",
                                     "number of known discharges", "number of known heads",
                                     "density*gravity/viscosity"}};
const RecordSpec turbnet_header_spec{
    Group::header,
    layouts::turbnet_header,
    layouts::turbnet_input_data,
    {"number of nodes", "number of pipes", "number of known discharges", "number of known heads",
     "maximum number of iterations", "tolerance", "relative roughness"}};
const RecordSpec node_spec{
    Group::node, layouts::node_record, layouts::node_line, {"node number", "x", "y"}};
const RecordSpec pipe_spec{Group::pipe,
                           layouts::element_record,
                           layouts::element_line,
                           {"pipe number", "start node", "end node", "diameter"}};
const RecordSpec discharge_spec{Group::known_discharge,
                                layouts::discharge_record,
                                layouts::discharge_line,
                                {"node number", "discharge"}};
const RecordSpec head_spec{
    Group::known_head, layouts::head_record, layouts::boundary_line, {"node number", "head"}};

std::string_view group_plural(Group group) {
    switch (group) {
    case Group::node:
        return "node records";
    case Group::pipe:
        return "pipe records";
    case Group::known_discharge:
        return "known-discharge records";
    case Group::known_head:
        return "known-head records";
    case Group::header:
    case Group::after_records:
        break;
    }
    return "records";
}

std::string announced(std::int32_t count, Group group) {
    std::string_view plural = group_plural(group);
    std::string text = std::to_string(count) + ' ';
    text += count == 1 ? plural.substr(0, plural.size() - 1) : plural;
    return text;
}

std::string columns_text(std::int32_t first, std::int32_t last) {
    return std::to_string(first) + '-' + std::to_string(last);
}

std::string field_format(const FlatField& field, bool is_real) {
    std::string text = (is_real ? "F" : "I") + std::to_string(field.width);
    if (is_real) text += '.' + std::to_string(field.decimals);
    return text;
}

// ---- The decimal value a field's text stands for ----------------------------------------------

// digits x 10^exponent, with no leading or trailing zero in digits (empty: zero).
struct Decimal {
    std::string digits;
    std::int64_t exponent = 0;
    bool negative = false;
};

// The decimal value of a real field's text, the implied decimals placed as the reader places
// them; nothing when the text is not the plain shape (the reader has the last word then).
std::optional<Decimal> typed_decimal(std::string_view text, int decimals) {
    Decimal d;
    std::string mantissa;
    std::int64_t fraction_digits = 0;
    bool point = false;
    bool in_exponent = false;
    bool exponent_negative = false;
    std::int64_t exponent = 0;
    bool any = false;
    for (char c : text) {
        if (c == ' ') continue;
        if (!in_exponent) {
            if ((c == '+' || c == '-') && !any) {
                d.negative = c == '-';
                any = true;
            } else if (c >= '0' && c <= '9') {
                mantissa += c;
                if (point) ++fraction_digits;
                any = true;
            } else if (c == '.' && !point) {
                point = true;
                any = true;
            } else if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
                in_exponent = true;
            } else if (c == '+' || c == '-') {
                in_exponent = true;
                exponent_negative = c == '-';
            } else {
                return std::nullopt;
            }
        } else if ((c == '+' || c == '-') && exponent == 0) {
            exponent_negative = c == '-';
        } else if (c >= '0' && c <= '9') {
            if (exponent < 100000) exponent = exponent * 10 + (c - '0');
        } else {
            return std::nullopt;
        }
    }
    if (!point) fraction_digits = decimals;
    std::size_t first = mantissa.find_first_not_of('0');
    if (first == std::string::npos) return d; // zero
    std::size_t last = mantissa.find_last_not_of('0');
    d.digits = mantissa.substr(first, last - first + 1);
    d.exponent = (exponent_negative ? -exponent : exponent) - fraction_digits +
                 static_cast<std::int64_t>(mantissa.size() - 1 - last);
    return d;
}

bool same_value(const Decimal& a, const Decimal& b) {
    if (a.digits.empty() || b.digits.empty()) return a.digits.empty() && b.digits.empty();
    return a.digits == b.digits && a.exponent == b.exponent && a.negative == b.negative;
}

// ---- What single precision reaches ------------------------------------------------------------

// The relative residual that the programs' single precision can be relied on to reach: each
// free node's residual carries a rounding of a few units of 2^-24 of its head terms, and the
// residuals add up in quadrature, so the floor grows with the square root of the node count
// (a 5 x 5 grid stalls between 2e-7 and 1.2e-6, a 4-node loop goes below 1e-7).
double reachable_residual(std::int32_t nodes) {
    return 4.0 * std::ldexp(1.0, -24) * std::sqrt(static_cast<double>(std::max(nodes, 1)));
}

// The same, rounded up to one significant digit, as a tolerance to type: 0.000002.
std::string reachable_tolerance(std::int32_t nodes) {
    const double floor = reachable_residual(nodes);
    const int exponent = static_cast<int>(std::floor(std::log10(floor)));
    const double scale = std::pow(10.0, exponent);
    std::array<char, 40> text{};
    const int length = std::snprintf(text.data(), text.size(), "%.*f", std::max(-exponent, 0),
                                     std::ceil(floor / scale * (1.0 - 1e-12)) * scale);
    return {text.data(), static_cast<std::size_t>(std::max(length, 0))};
}

// ---- The shape of a line: its numbers, as a person reads them ---------------------------------

enum class Token : std::uint8_t { integer, real, other };

struct Shape {
    std::array<Token, max_record_fields> tokens{};
    int count = 0; // may exceed max_record_fields: only the first ones are kept
};

Token token_kind(std::string_view token) {
    std::size_t at = token[0] == '+' || token[0] == '-' ? 1 : 0;
    if (at == token.size()) return Token::other;
    if (token.find_first_not_of("0123456789", at) == std::string_view::npos) return Token::integer;
    return typed_decimal(token, 0) ? Token::real : Token::other;
}

Shape shape_of(std::string_view line) {
    Shape shape;
    std::size_t at = 0;
    while (at < line.size()) {
        at = line.find_first_not_of(" ,", at);
        if (at == std::string_view::npos) break;
        std::size_t end = line.find_first_of(" ,", at);
        if (end == std::string_view::npos) end = line.size();
        if (shape.count < max_record_fields)
            shape.tokens[static_cast<std::size_t>(shape.count)] =
                token_kind(line.substr(at, end - at));
        ++shape.count;
        at = end;
    }
    return shape;
}

// I: an integer; R: a real (an integer will do).
bool has_shape(const Shape& shape, std::string_view pattern) {
    if (shape.count != static_cast<int>(pattern.size())) return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        Token t = shape.tokens[i];
        if (t == Token::other || (pattern[i] == 'I' && t != Token::integer)) return false;
    }
    return true;
}

std::string_view shape_pattern(Group group) {
    switch (group) {
    case Group::node:
        return "IRR";
    case Group::pipe:
        return "IIIR";
    case Group::known_discharge:
    case Group::known_head:
        return "IR";
    case Group::header:
    case Group::after_records:
        break;
    }
    return "";
}

// The record group a line looks like (known_discharge stands for both groups of that shape).
std::optional<Group> looks_like(const Shape& shape) {
    for (Group g : {Group::pipe, Group::node, Group::known_discharge})
        if (has_shape(shape, shape_pattern(g))) return g;
    return std::nullopt;
}

std::string_view looks_like_name(Group group) {
    switch (group) {
    case Group::node:
        return "a node record";
    case Group::pipe:
        return "a pipe record";
    default:
        return "a known-discharge or known-head record";
    }
}

// What a byte an editor or a word processor may add is.
std::string_view byte_description(std::string_view text, std::size_t at) {
    auto c = static_cast<unsigned char>(text[at]);
    if (c == '\r') return "a carriage return: do the lines end with CR alone?";
    if (c == 0) return "a NUL byte";
    if (c == 0x1a) return "Ctrl-Z, an end-of-file mark some editors add";
    if (c == 0xc2 && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) == 0xa0)
        return "part of a no-break space";
    if (c >= 0x80) return "not ASCII: a character a word processor put in?";
    return "a control character";
}

bool editor_byte(char c) {
    auto u = static_cast<unsigned char>(c);
    return c != '\t' && (u < 0x20 || u >= 0x7f);
}

std::string hex_byte(char c) {
    static constexpr char digits[] = "0123456789ABCDEF";
    auto u = static_cast<unsigned char>(c);
    return {'0', 'x', digits[u >> 4], digits[u & 15]};
}

// Where a record or a field was: for findings about it after it has gone by.
struct Place {
    std::int32_t line = 0;
    std::int16_t first_column = 0;
    std::int16_t last_column = 0;
};

// The network read a second time by the programs' own reader, with nowhere to print to.
class DiscardSink final : public ByteSink {
public:
    bool write(const char*, std::size_t) override { return true; }
};

struct NetworkPass {
    DiscardSink report;
    DiscardSink errors;
    MemorySource console{std::string_view{}};
    RecordIo io{report, errors, console};
    FixedNetwork net;
};

class Checker {
public:
    Checker(Program program, SourceOpener& opener, RecordObserver* observer, CheckResult& result)
        : program_(program), opener_(opener), observer_(observer), out_(result) {}

    void run();

private:
    // Reading.
    bool next_line();
    bool next_record(Group group, std::int32_t index);
    void read_record(const RecordSpec& record_spec, std::int32_t index);
    void inspect_fields(const RecordSpec& record_spec);
    void inspect_field(const RecordSpec& record_spec, int k);
    void inspect_rest_of_line();
    bool free_form(const RecordSpec& record_spec);
    void observe(Group group, std::int32_t index, int field_count);

    // The groups.
    void header();
    void nodes();
    void pipes();
    void known_discharges();
    void known_heads();
    void after_records();
    void unset_records();
    bool inspect_shape(Group group);
    bool numbers_touch(int k, bool joined_too = false) const;
    bool record_valid() const;
    void network_checks();
    void fill_line_texts();

    void add(Message message, std::int32_t first_column, std::int32_t last_column,
             std::initializer_list<std::string_view> values);
    void discharge_checks(const Network& net);
    void add_at(const Place& place, Message message,
                std::initializer_list<std::string_view> values);
    void add_field(int k, Message message, std::initializer_list<std::string_view> values) {
        add(message, fields_[static_cast<std::size_t>(k)].first_column,
            fields_[static_cast<std::size_t>(k)].last_column, values);
    }
    bool in_range(int k, std::int32_t count, std::string_view what, std::string_view count_name);
    Place field_place(int k) const {
        const FieldView& f = fields_[static_cast<std::size_t>(k)];
        return {line_, static_cast<std::int16_t>(f.first_column),
                static_cast<std::int16_t>(f.last_column)};
    }

    Program program_;
    SourceOpener& opener_;
    RecordObserver* observer_;
    CheckResult& out_;

    RecordStream stream_;
    std::string_view record_;
    std::int32_t line_ = 0;
    std::int32_t index_ = 0; // of the record being read, within its group
    bool read_failed_ = false;
    bool comma_note_given_ = false;

    std::array<FieldView, max_record_fields> fields_{};
    std::array<FlatField, max_record_fields> cuts_{}; // offset and width of each field's cut
    std::array<bool, max_record_fields> comma_cut_{};
    int field_count_ = 0;
    std::size_t end_column_ = 0; // where the record's last field ended
    bool record_free_form_ = false;
    bool record_misplaced_ = false;

    float tolerance_ = 0.0f;
    std::int32_t header_line_ = 0;
    std::array<Place, 8> header_fields_{};
    std::array<Place, max_nodes + 1> node_places_{};
    std::array<Place, max_elements + 1> pipe_places_{};
    std::array<Place, max_elements + 1> diameter_places_{};
    std::array<Place, max_nodes + 1> discharge_places_{};
    std::array<Place, max_nodes + 1> discharge_value_places_{};
    std::array<Place, max_nodes + 1> head_places_{};
};

void Checker::add(Message message, std::int32_t first_column, std::int32_t last_column,
                  std::initializer_list<std::string_view> values) {
    const MessageEntry& entry = message_entry(message);
    switch (entry.severity) {
    case Severity::error:
        ++out_.errors;
        break;
    case Severity::warning:
        ++out_.warnings;
        break;
    case Severity::note:
        ++out_.notes;
        break;
    }
    if (out_.findings.size() >= max_findings_kept) {
        ++out_.omitted;
        return;
    }
    Finding f;
    f.line = line_;
    f.first_column = first_column;
    f.last_column = last_column;
    f.severity = entry.severity;
    f.message = message;
    f.text = format_message(message, values);
    if (line_ > 0 && line_ <= out_.lines) {
        f.line_text = std::string(record_);
        f.line_known = true;
    }
    out_.findings.push_back(std::move(f));
}

void Checker::add_at(const Place& place, Message message,
                     std::initializer_list<std::string_view> values) {
    std::int32_t line = line_;
    line_ = place.line;
    std::size_t before = out_.findings.size();
    add(message, place.first_column, place.last_column, values);
    if (out_.findings.size() > before) {
        out_.findings.back().line_known = false; // the line is fetched again at the end
        out_.findings.back().line_text.clear();
    }
    line_ = line;
}

bool Checker::next_line() {
    int error = 0;
    if (!stream_.next_record(error)) return false;
    record_ = stream_.record();
    line_ = ++out_.lines;
    return true;
}

bool Checker::next_record(Group group, std::int32_t index) {
    if (next_line()) return true;
    read_failed_ = true;
    ++line_;
    record_ = {};
    std::int32_t count = group == Group::node              ? out_.node_count
                         : group == Group::pipe            ? out_.pipe_count
                         : group == Group::known_discharge ? out_.known_discharge_count
                                                           : out_.known_head_count;
    std::int32_t lines = out_.lines;
    out_.lines = 0; // no line text to show
    if (group == Group::header)
        add(Message::missing_record, 0, 0, {"the header", "the file is empty"});
    else
        add(Message::missing_record, 0, 0,
            {record_name(group, index), "the header announces " + announced(count, group)});
    out_.lines = lines;
    return false;
}

void Checker::observe(Group group, std::int32_t index, int field_count) {
    if (observer_ == nullptr) return;
    RecordView view{
        line_, group, index, record_,
        std::span<const FieldView>(fields_.data(), static_cast<std::size_t>(field_count))};
    observer_->record(view);
}

void Checker::read_record(const RecordSpec& record_spec, std::int32_t index) {
    // The programs' own cutting and conversion of every field.
    const Layout& layout = record_spec.layout;
    index_ = index;
    std::size_t column = 0;
    std::size_t next_comma = record_.find(',');
    field_count_ = 0;
    for (int i = 0; i < layout.size() && field_count_ < max_record_fields; ++i) {
        const LayoutItem& item = layout[i];
        if (item.kind == ItemKind::blanks) column += static_cast<std::size_t>(item.width);
        if (item.kind == ItemKind::literal) column += item.text_length;
        if (!Layout::is_field(item.kind)) continue;
        const auto k = static_cast<std::size_t>(field_count_++);
        const std::size_t begin = column;
        const auto width = static_cast<std::size_t>(item.width);
        FieldView& f = fields_[k];
        f = FieldView{};
        f.name = record_spec.names[k];
        f.text = cut_field(record_, column, width, next_comma);
        comma_cut_[k] = column != begin + width;
        cuts_[k] = {static_cast<std::int16_t>(begin), item.width, item.decimals};
        f.first_column = static_cast<std::int32_t>(begin + 1);
        f.last_column = static_cast<std::int32_t>(
            comma_cut_[k] ? begin + std::max<std::size_t>(f.text.size(), 1) : begin + width);
        f.is_real = item.kind == ItemKind::real;
        f.valid = f.is_real ? read_real_field_padded(f.text, item.decimals, f.real)
                            : read_integer_field_padded(f.text, f.integer);
        if (!f.valid) read_failed_ = true;
    }
    end_column_ = column;
    // A record of another group's shape is reported as such, not field by field.
    record_misplaced_ = record_spec.group != Group::header && inspect_shape(record_spec.group);
    inspect_fields(record_spec);
    observe(record_spec.group, index, field_count_);
}

// Field k is full to its last column and the next field's number starts in its first column,
// and the text across the boundary reads as two numbers (the next begins with its sign), not one
// cut in two: a value that fills its field exactly. joined_too: also when the two could read as
// one number.
bool Checker::numbers_touch(int k, bool joined_too) const {
    const auto at = static_cast<std::size_t>(k);
    if (k + 1 >= field_count_ || comma_cut_[at]) return false;
    const FieldView& f = fields_[at];
    const FieldView& next = fields_[at + 1];
    if (f.text.size() != static_cast<std::size_t>(cuts_[at].width) || f.text.back() == ' ' ||
        next.text.empty() || next.text.front() == ' ')
        return false;
    std::size_t left = f.text.find_last_of(' ');
    left = left == std::string_view::npos ? 0 : left + 1;
    const std::string_view before = f.text.substr(left);
    const std::string_view after =
        next.text.substr(0, std::min(next.text.find(' '), next.text.size()));
    if (token_kind(before) == Token::other || token_kind(after) == Token::other) return false;
    return joined_too || after.front() == '+' || after.front() == '-';
}

bool Checker::inspect_shape(Group group) {
    // A count in the header that falls short turns the next records into the wrong kind. Two
    // numbers that touch at a field boundary are two words: a field boundary within one number
    // is reported as an overrun.
    std::string spaced;
    std::size_t copied = 0;
    for (int k = 0; k + 1 < field_count_; ++k) {
        if (!numbers_touch(k, true)) continue;
        const FlatField& cut = cuts_[static_cast<std::size_t>(k)];
        const auto end = static_cast<std::size_t>(cut.offset) + static_cast<std::size_t>(cut.width);
        spaced.append(record_.substr(copied, end - copied));
        spaced += ' ';
        copied = end;
    }
    spaced.append(record_.substr(copied));
    Shape shape = shape_of(spaced);
    if (has_shape(shape, shape_pattern(group))) return false;
    std::optional<Group> like = looks_like(shape);
    if (!like || shape_pattern(*like) == shape_pattern(group)) return false;
    add(Message::record_shape, 1, static_cast<std::int32_t>(record_.size()),
        {record_name(group, index_), looks_like_name(*like)});
    return true;
}

bool Checker::free_form(const RecordSpec& record_spec) {
    // Numbers typed with blanks between them, not in their columns.
    if (record_.find(',') != std::string_view::npos) return false;
    Shape shape = shape_of(record_);
    if (shape.count < 2 || shape.count != field_count_) return false;
    std::array<std::string_view, max_record_fields> tokens{};
    std::size_t at = 0;
    for (int t = 0; t < shape.count; ++t) {
        if (shape.tokens[static_cast<std::size_t>(t)] == Token::other) return false;
        at = record_.find_first_not_of(' ', at);
        std::size_t end = std::min(record_.find(' ', at), record_.size());
        tokens[static_cast<std::size_t>(t)] = record_.substr(at, end - at);
        at = end;
    }
    // Two numbers in one field: typed apart, not in columns.
    bool crowded = false;
    for (int t = 0; t < field_count_; ++t) {
        std::string_view text = fields_[static_cast<std::size_t>(t)].text;
        std::size_t first = text.find_first_not_of(' ');
        if (first != std::string_view::npos &&
            text.substr(first, text.find_last_not_of(' ') - first + 1).find(' ') !=
                std::string_view::npos)
            crowded = true;
    }
    if (!crowded) return false;
    bool differs = false;
    for (int t = 0; t < field_count_; ++t) {
        const FieldView& f = fields_[static_cast<std::size_t>(t)];
        if (!f.valid) {
            differs = true;
            break;
        }
        std::string_view token = t < shape.count ? tokens[static_cast<std::size_t>(t)] : "0";
        if (f.is_real) {
            float v = 0.0f;
            differs = !read_real_field(token, cuts_[static_cast<std::size_t>(t)].decimals, v) ||
                      v != f.real;
        } else {
            std::int32_t v = 0;
            differs = !read_integer_field(token, v) || v != f.integer;
        }
        if (differs) break;
    }
    if (!differs) return false;
    std::string layout_text;
    std::string read_as;
    for (int t = 0; t < field_count_; ++t) {
        const FieldView& f = fields_[static_cast<std::size_t>(t)];
        if (t > 0) {
            layout_text += ", ";
            read_as += ", ";
        }
        layout_text += std::string(f.name) + " in " +
                       columns_text(f.first_column, cuts_[static_cast<std::size_t>(t)].offset +
                                                        cuts_[static_cast<std::size_t>(t)].width);
        read_as += !f.valid    ? std::string("(not a number)")
                   : f.is_real ? shortest_text(f.real)
                               : std::to_string(f.integer);
    }
    (void)record_spec;
    add(Message::free_form_record, 1, static_cast<std::int32_t>(record_.size()),
        {layout_text, read_as});
    return true;
}

void Checker::inspect_fields(const RecordSpec& record_spec) {
    record_free_form_ = free_form(record_spec);
    for (int k = 0; k < field_count_; ++k) {
        FieldView& f = fields_[static_cast<std::size_t>(k)];
        if (f.valid) continue;
        std::size_t tab = f.text.find('\t');
        auto odd = std::find_if(f.text.begin(), f.text.end(), editor_byte);
        if (tab != std::string_view::npos) {
            auto column = f.first_column + static_cast<std::int32_t>(tab);
            add(Message::tab_in_field, column, column, {f.name});
        } else if (odd != f.text.end()) {
            auto at = static_cast<std::size_t>(odd - f.text.begin());
            auto column = f.first_column + static_cast<std::int32_t>(at);
            add(Message::editor_byte_in_field, column, column,
                {f.name, hex_byte(*odd), byte_description(f.text, at)});
        } else {
            std::string what = f.is_real ? "a number"
                               : f.text.find_first_of(".eEdD") != std::string_view::npos
                                   ? "an integer (this field takes no decimal point)"
                                   : "an integer";
            add_field(k, Message::unreadable_number, {f.name, printable(f.text), what});
        }
    }
    int comma_fields = 0;
    for (int k = 0; k < field_count_; ++k) comma_fields += comma_cut_[static_cast<std::size_t>(k)];
    const bool comma_style = comma_fields > 0 && comma_fields >= field_count_ - 1;
    if (comma_style && !comma_note_given_) {
        add(Message::comma_record, 1, static_cast<std::int32_t>(record_.size()), {});
        comma_note_given_ = true;
    }
    for (int k = 0; k < field_count_; ++k) {
        const FieldView& f = fields_[static_cast<std::size_t>(k)];
        if (!f.valid) continue;
        if (comma_cut_[static_cast<std::size_t>(k)] && !comma_style) {
            add_field(
                k, Message::comma_in_column_record,
                {f.name, printable(f.text),
                 f.is_real ? shortest_text(f.real) : std::to_string(f.integer),
                 std::to_string(f.first_column + static_cast<std::int32_t>(f.text.size()) + 1)});
        }
        if (!record_free_form_ && !record_misplaced_) inspect_field(record_spec, k);
    }
    if (!record_misplaced_) inspect_rest_of_line();
}

void Checker::inspect_field(const RecordSpec& record_spec, int k) {
    const auto at = static_cast<std::size_t>(k);
    const FieldView& f = fields_[at];
    const FlatField cut = cuts_[at];
    std::string value = f.is_real ? shortest_text(f.real) : std::to_string(f.integer);
    std::size_t first = f.text.find_first_not_of(' ');
    std::size_t last = f.text.find_last_not_of(' ');
    std::string_view trimmed = first == std::string_view::npos
                                   ? std::string_view{}
                                   : f.text.substr(first, last - first + 1);

    if (trimmed.find(' ') != std::string_view::npos)
        add_field(k, Message::blank_in_number, {f.name, printable(trimmed), value});

    // A number typed across the boundary with the next field.
    if (k + 1 < field_count_ && !comma_cut_[at] && !numbers_touch(k) &&
        f.text.size() == static_cast<std::size_t>(cut.width) && f.text.back() != ' ') {
        const FieldView& next = fields_[at + 1];
        if (next.valid && !next.text.empty() && next.text.front() != ' ') {
            std::size_t left = f.text.find_last_of(' ');
            left = left == std::string_view::npos ? 0 : left + 1;
            std::size_t right = next.text.find(' ');
            if (right == std::string_view::npos) right = next.text.size();
            std::string joined =
                std::string(f.text.substr(left)) + '|' + std::string(next.text.substr(0, right));
            add(Message::field_overrun, f.first_column + static_cast<std::int32_t>(left),
                next.first_column + static_cast<std::int32_t>(right) - 1,
                {f.name, columns_text(f.first_column, f.last_column), next.name,
                 columns_text(next.first_column, next.last_column), printable(joined), value,
                 next.is_real ? shortest_text(next.real) : std::to_string(next.integer)});
        }
    }

    const FlatField echo = nth_field(record_spec.echo, k);
    std::array<char, max_field_width> printed{};
    const bool fits = f.is_real
                          ? write_real_field(printed.data(), echo.width, echo.decimals, f.real)
                          : write_integer_field(printed.data(), echo.width, f.integer);
    if (!fits) add_field(k, Message::asterisks, {f.name, value, field_format(echo, f.is_real)});
    if (!f.is_real) return;

    if (cut.decimals > 0 && trimmed.find('.') == std::string_view::npos) {
        std::size_t mantissa_end = trimmed.find_first_of("eEdD");
        std::string_view mantissa = trimmed.substr(0, mantissa_end);
        if (mantissa.find_first_of("123456789") != std::string_view::npos)
            add_field(k, Message::implied_decimals,
                      {f.name, printable(trimmed), value, std::to_string(cut.decimals)});
    }
    std::optional<Decimal> typed = typed_decimal(f.text, cut.decimals);
    std::optional<Decimal> kept = typed_decimal(value, 0);
    if (!typed || !kept) return;
    if (!same_value(*typed, *kept)) {
        add_field(k, Message::too_many_digits, {f.name, printable(trimmed), value});
    } else if (typed->exponent < 0 && -typed->exponent > echo.decimals && fits) {
        std::string_view shown(printed.data(), static_cast<std::size_t>(echo.width));
        shown.remove_prefix(std::min(shown.find_first_not_of(' '), shown.size()));
        add_field(k, Message::echo_rounds, {f.name, value, std::to_string(echo.decimals), shown});
    }
}

void Checker::inspect_rest_of_line() {
    if (end_column_ >= record_.size()) return;
    std::string_view rest = record_.substr(end_column_);
    const auto first_column = static_cast<std::int32_t>(end_column_ + 1);
    std::size_t text = rest.find_first_not_of(" \t");
    if (text == std::string_view::npos) {
        std::size_t tab = rest.find('\t');
        if (tab != std::string_view::npos) {
            auto column = first_column + static_cast<std::int32_t>(tab);
            add(Message::tab_after_fields, column, column, {});
        }
        return;
    }
    if (std::all_of(rest.begin(), rest.end(),
                    [](char c) { return c == ' ' || c == '\t' || editor_byte(c); })) {
        auto column = first_column + static_cast<std::int32_t>(text);
        add(Message::editor_byte_after_fields, column, column,
            {hex_byte(rest[text]), byte_description(rest, text)});
        return;
    }
    std::size_t last = rest.find_last_not_of(" \t");
    const FieldView& f = fields_[static_cast<std::size_t>(field_count_ - 1)];
    const bool touching = text == 0 && !f.text.empty() && f.text.back() != ' ' &&
                          !comma_cut_[static_cast<std::size_t>(field_count_ - 1)];
    if (touching && f.valid) {
        // A number typed one column too far right: its last digits are past the field.
        std::size_t left = f.text.find_last_of(' ');
        left = left == std::string_view::npos ? 0 : left + 1;
        std::size_t right = rest.find_first_of(" \t");
        if (right == std::string_view::npos) right = rest.size();
        add(Message::last_field_overrun, f.first_column + static_cast<std::int32_t>(left),
            first_column + static_cast<std::int32_t>(right) - 1,
            {f.name, columns_text(f.first_column, f.last_column),
             printable(std::string(f.text.substr(left)) + std::string(rest.substr(0, right))),
             f.is_real ? shortest_text(f.real) : std::to_string(f.integer),
             printable(rest.substr(0, right))});
        return;
    }
    add(Message::text_after_fields, first_column + static_cast<std::int32_t>(text),
        first_column + static_cast<std::int32_t>(last),
        {f.name, std::to_string(end_column_), printable(rest.substr(text, last - text + 1))});
}

bool Checker::record_valid() const {
    for (int k = 0; k < field_count_; ++k)
        if (!fields_[static_cast<std::size_t>(k)].valid) return false;
    return true;
}

bool Checker::in_range(int k, std::int32_t count, std::string_view what,
                       std::string_view count_name) {
    const FieldView& f = fields_[static_cast<std::size_t>(k)];
    if (!f.valid) return false;
    if (f.integer >= 1 && f.integer <= count) return true;
    add_field(k, Message::number_out_of_range,
              {what, std::to_string(f.integer), std::to_string(count), count_name});
    return false;
}

void Checker::header() {
    const RecordSpec& record_spec =
        program_ == Program::lamnet ? lamnet_header_spec : turbnet_header_spec;
    if (!next_record(Group::header, 0)) return;
    header_line_ = line_;
    read_record(record_spec, 0);
    for (int k = 0; k < field_count_; ++k)
        header_fields_[static_cast<std::size_t>(k)] = field_place(k);
    for (int k = 0; k < 4; ++k)
        if (!fields_[static_cast<std::size_t>(k)].valid)
            return; // the layout of the rest is unknown
    out_.header_read = true;
    out_.node_count = fields_[0].integer;
    out_.pipe_count = fields_[1].integer;
    out_.known_discharge_count = fields_[2].integer;
    out_.known_head_count = fields_[3].integer;
    const std::array<std::int32_t, 3> capacities{max_nodes, max_elements, max_boundary_nodes};
    const std::array<int, 3> capacity_fields{0, 1, 3};
    for (std::size_t i = 0; i < capacities.size(); ++i) {
        const FieldView& f = fields_[static_cast<std::size_t>(capacity_fields[i])];
        if (f.integer > capacities[i])
            add_field(capacity_fields[i], Message::capacity,
                      {f.name, std::to_string(f.integer), std::to_string(capacities[i])});
    }
    if (out_.node_count <= 0)
        add_field(0, Message::node_count_not_positive, {std::to_string(out_.node_count)});
    if (program_ != Program::turbnet) return;
    const FieldView& limit = fields_[4];
    const FieldView& tolerance = fields_[5];
    const FieldView& roughness = fields_[6];
    if (limit.valid && limit.integer < 1)
        add_field(4, Message::iteration_limit, {std::to_string(limit.integer)});
    if (tolerance.valid) {
        tolerance_ = tolerance.real;
        if (tolerance.real <= 0.0f)
            add_field(5, Message::tolerance_not_positive, {shortest_text(tolerance.real)});
        else if (tolerance.real > 1.0e-4f)
            add_field(5, Message::loose_tolerance,
                      {shortest_text(tolerance.real), std::to_string(out_.node_count),
                       reachable_tolerance(out_.node_count)});
        else if (out_.node_count > 0 &&
                 double{tolerance.real} < reachable_residual(out_.node_count))
            add_field(5, Message::tight_tolerance,
                      {shortest_text(tolerance.real), std::to_string(out_.node_count),
                       reachable_tolerance(out_.node_count)});
    }
    if (roughness.valid) {
        const std::string value = shortest_text(roughness.real);
        if (roughness.real == 0.0f)
            add_field(6, Message::roughness_zero, {value});
        else if (roughness.real < 0.0f)
            add_field(6, Message::roughness_negative, {value});
        else if (roughness.real < 60.0f || roughness.real > 160.0f)
            add_field(6, Message::roughness_range, {value});
    }
}

void Checker::nodes() {
    // turbnet reads its node records as one unit, which always takes a record.
    std::int32_t records = out_.node_count;
    if (program_ == Program::turbnet && records < 1) {
        if (!next_record(Group::node, 1)) return;
        field_count_ = 0;
        observe(Group::node, 0, 0);
        return;
    }
    for (std::int32_t i = 1; i <= records; ++i) {
        if (!next_record(Group::node, i)) return;
        read_record(node_spec, i);
        if (!record_valid()) continue; // the run ends at this record
        if (!in_range(0, out_.node_count, "node number", "number of nodes")) continue;
        std::int32_t n = fields_[0].integer;
        if (n > max_nodes) continue;
        Place& seen = node_places_[static_cast<std::size_t>(n)];
        if (seen.line != 0)
            add_field(0, Message::duplicate_record,
                      {"node", std::to_string(n), std::to_string(seen.line)});
        seen = field_place(0);
    }
}

void Checker::pipes() {
    for (std::int32_t i = 1; i <= out_.pipe_count; ++i) {
        if (!next_record(Group::pipe, i)) return;
        read_record(pipe_spec, i);
        if (!record_valid()) continue;
        in_range(1, out_.node_count, "start node", "number of nodes");
        in_range(2, out_.node_count, "end node", "number of nodes");
        const FieldView& diameter = fields_[3];
        if (!in_range(0, out_.pipe_count, "pipe number", "number of pipes")) continue;
        std::int32_t e = fields_[0].integer;
        if (diameter.valid && !(diameter.real > 0.0f))
            add_field(3, Message::bad_diameter, {std::to_string(e), shortest_text(diameter.real)});
        if (e > max_elements) continue;
        Place& seen = pipe_places_[static_cast<std::size_t>(e)];
        if (seen.line != 0)
            add_field(0, Message::duplicate_record,
                      {"pipe", std::to_string(e), std::to_string(seen.line)});
        seen = field_place(0);
        diameter_places_[static_cast<std::size_t>(e)] = field_place(3);
    }
}

void Checker::known_discharges() {
    for (std::int32_t i = 1; i <= out_.known_discharge_count; ++i) {
        if (!next_record(Group::known_discharge, i)) return;
        read_record(discharge_spec, i);
        if (!record_valid()) continue;
        if (!in_range(0, out_.node_count, "node number", "number of nodes")) continue;
        std::int32_t n = fields_[0].integer;
        if (n > max_nodes) continue;
        Place& seen = discharge_places_[static_cast<std::size_t>(n)];
        if (seen.line != 0)
            add_field(0, Message::duplicate_record,
                      {"known discharge for node", std::to_string(n), std::to_string(seen.line)});
        seen = field_place(0);
        discharge_value_places_[static_cast<std::size_t>(n)] = field_place(1);
    }
}

void Checker::known_heads() {
    for (std::int32_t i = 1; i <= out_.known_head_count; ++i) {
        if (!next_record(Group::known_head, i)) return;
        read_record(head_spec, i);
        if (!record_valid()) continue;
        if (!in_range(0, out_.node_count, "node number", "number of nodes")) continue;
        std::int32_t n = fields_[0].integer;
        if (n > max_nodes) continue;
        Place& seen = head_places_[static_cast<std::size_t>(n)];
        if (seen.line != 0) {
            add_field(0, Message::two_known_heads,
                      {std::to_string(n), std::to_string(seen.line),
                       fields_[1].valid ? shortest_text(fields_[1].real) : "?"});
        } else if (const Place& q = discharge_places_[static_cast<std::size_t>(n)]; q.line != 0) {
            add_field(0, Message::head_and_discharge,
                      {std::to_string(n), std::to_string(line_), std::to_string(q.line)});
        }
        seen = field_place(0);
    }
}

void Checker::after_records() {
    bool noted = false;
    while (next_line()) {
        field_count_ = 0;
        observe(Group::after_records, 0, 0);
        if (record_.find_first_not_of(" \t\r") == std::string_view::npos) continue;
        Shape shape = shape_of(record_);
        const auto whole = static_cast<std::int32_t>(record_.size());
        if (program_ == Program::turbnet && has_shape(shape, "I")) {
            add(Message::print_flag, 1, whole, {});
        } else if (std::optional<Group> like = looks_like(shape)) {
            std::string counts =
                *like == Group::known_discharge
                    ? announced(out_.known_discharge_count, Group::known_discharge) + " and " +
                          announced(out_.known_head_count, Group::known_head)
                    : announced(*like == Group::node ? out_.node_count : out_.pipe_count, *like);
            add(Message::trailing_record, 1, whole, {looks_like_name(*like), counts});
        } else if (!noted) {
            add(Message::trailing_text, 1, whole, {});
            noted = true;
        }
    }
}

void Checker::unset_records() {
    const std::int32_t nodes = std::min(out_.node_count, max_nodes);
    for (std::int32_t n = 1; n <= nodes; ++n)
        if (node_places_[static_cast<std::size_t>(n)].line == 0)
            add_at(header_fields_[0], Message::unset_node, {std::to_string(n)});
    const std::int32_t pipes = std::min(out_.pipe_count, max_elements);
    for (std::int32_t e = 1; e <= pipes; ++e)
        if (pipe_places_[static_cast<std::size_t>(e)].line == 0)
            add_at(header_fields_[1], Message::unset_pipe, {std::to_string(e)});
}

// The given discharges at the nodes without a known head: all inflows, or one far above the
// rest (the analysis's plausibility findings, seen before a solve).
void Checker::discharge_checks(const Network& net) {
    std::vector<float> magnitudes;
    std::int32_t inflows = 0;
    std::int32_t outflows = 0;
    std::vector<bool> known_head(static_cast<std::size_t>(net.node_count) + 1, false);
    for (std::int32_t b = 1; b <= net.stored_boundary_count(); ++b)
        known_head[static_cast<std::size_t>(net.boundary_nodes.node(b))] = true;
    for (std::int32_t n = 1; n <= net.node_count; ++n) {
        if (known_head[static_cast<std::size_t>(n)]) continue;
        const float q = net.known_discharge(n);
        if (q > 0.0f) ++inflows;
        if (q < 0.0f) ++outflows;
        if (q != 0.0f) magnitudes.push_back(std::abs(q));
    }
    if (inflows > 0 && outflows == 0)
        add_at(header_fields_[2], Message::all_inflows, {std::to_string(inflows)});
    if (magnitudes.size() < 3) return;
    std::sort(magnitudes.begin(), magnitudes.end());
    const float median = magnitudes[(magnitudes.size() - 1) / 2];
    for (std::int32_t n = 1; n <= net.node_count; ++n) {
        const float q = net.known_discharge(n);
        if (known_head[static_cast<std::size_t>(n)] ||
            !(double{std::abs(q)} > 100.0 * double{median}))
            continue;
        const Place& place = discharge_value_places_[static_cast<std::size_t>(n)];
        add_at(place.line != 0 ? place : header_fields_[2], Message::discharge_outlier,
               {std::to_string(n), shortest_text(q), shortest_text(median)});
    }
}

void Checker::network_checks() {
    ByteSource* again = opener_.open();
    if (again == nullptr) return;
    auto pass = std::make_unique<NetworkPass>();
    Network& net = pass->net;
    pass->io.use_input_source(*again);
    try {
        read_input(pass->io, program_, net);
    } catch (const RunEnded&) {
        return; // the first pass has said why
    }
    const std::int32_t pipes = std::min(net.element_count, max_elements);
    if (net.half_band > max_half_band) {
        for (std::int32_t e = 1; e <= pipes; ++e) {
            std::int64_t a = net.connectivity.start_node(e);
            std::int64_t b = net.connectivity.end_node(e);
            if ((a > b ? a - b : b - a) + 1 != net.half_band) continue;
            add_at(pipe_places_[static_cast<std::size_t>(e)], Message::half_bandwidth,
                   {std::to_string(e), std::to_string(a), std::to_string(b),
                    std::to_string(net.half_band), std::to_string(net.half_band - max_half_band)});
            break;
        }
    }
    if (check_network(net).code != FaultCode::none)
        return; // every index below lies in its storage from here

    std::array<bool, max_nodes + 1> touched{};
    std::array<float, max_elements> diameters{};
    for (std::int32_t e = 1; e <= pipes; ++e) {
        const std::int32_t a = net.connectivity.start_node(e);
        const std::int32_t b = net.connectivity.end_node(e);
        touched[static_cast<std::size_t>(a)] = touched[static_cast<std::size_t>(b)] = true;
        diameters[static_cast<std::size_t>(e - 1)] = net.diameter(e);
        const Place& place = pipe_places_[static_cast<std::size_t>(e)];
        const float length = pipe_length(net, e);
        if (a == b) {
            add_at(place, Message::same_node_pipe, {std::to_string(e), std::to_string(a)});
        } else if (!(length > 0.0f)) {
            add_at(place, Message::zero_length,
                   {std::to_string(e), std::to_string(a), std::to_string(b),
                    shortest_text(net.x(a)), shortest_text(net.y(a))});
        } else if (net.diameter(e) > length) {
            add_at(diameter_places_[static_cast<std::size_t>(e)], Message::diameter_vs_length,
                   {std::to_string(e), shortest_text(net.diameter(e)), shortest_text(length)});
        }
    }
    if (pipes > 0) {
        auto middle = diameters.begin() + (pipes - 1) / 2;
        std::array<float, max_elements> sorted = diameters;
        std::nth_element(sorted.begin(), sorted.begin() + (middle - diameters.begin()),
                         sorted.begin() + pipes);
        const float median = *(sorted.begin() + (middle - diameters.begin()));
        for (std::int32_t e = 1; e <= pipes && median > 0.0f; ++e)
            if (double{net.diameter(e)} > 100.0 * double{median})
                add_at(diameter_places_[static_cast<std::size_t>(e)], Message::diameter_outlier,
                       {std::to_string(e), shortest_text(net.diameter(e)), shortest_text(median)});
    }
    discharge_checks(net);
    for (std::int32_t n = 1; n <= net.node_count; ++n)
        if (!touched[static_cast<std::size_t>(n)])
            add_at(node_places_[static_cast<std::size_t>(n)].line != 0
                       ? node_places_[static_cast<std::size_t>(n)]
                       : header_fields_[0],
                   Message::unused_node, {std::to_string(n)});

    std::array<std::int32_t, max_nodes + 1> roots{};
    std::array<std::int32_t, max_nodes + 1> highest{};
    std::array<std::int32_t, max_nodes + 1> anchored{};
    const NodeGroups groups{roots, highest, anchored};
    find_node_groups(net, groups);
    const std::int32_t first_row = first_floating_row(net);
    for (std::int32_t root = 1; root <= net.node_count; ++root) {
        const auto r = static_cast<std::size_t>(root);
        if (groups.root[r] != root || groups.anchored[r] != 0) continue;
        std::array<std::int32_t, max_nodes> members{};
        std::size_t size = 0;
        for (std::int32_t v = 1; v <= net.node_count; ++v)
            if (groups.root[static_cast<std::size_t>(v)] == root) members[size++] = v;
        std::string subject = size == 1 ? "node " : "nodes ";
        for (std::size_t i = 0; i < size; ++i) {
            if (i > 0) subject += i + 1 == size ? " and " : ", ";
            subject += std::to_string(members[i]);
        }
        subject += size == 1 ? " is" : " are";
        const std::int32_t top = groups.highest[r];
        std::string outcome = top == first_row ? "the run stops with \"singularity in row " +
                                                     std::to_string(top) + "\""
                                               : std::string("their heads are undetermined");
        const Place& place = node_places_[static_cast<std::size_t>(top)];
        add_at(place.line != 0 ? place : header_fields_[0], Message::floating_group,
               {subject, outcome});
    }
}

void Checker::fill_line_texts() {
    std::int32_t wanted = 0;
    for (const Finding& f : out_.findings)
        if (!f.line_known && f.line > 0 && f.line <= out_.lines) wanted = std::max(wanted, f.line);
    if (wanted == 0) return;
    ByteSource* again = opener_.open();
    if (again == nullptr) return;
    RecordStream stream;
    stream.attach(again, true);
    int error = 0;
    for (std::int32_t line = 1; line <= wanted && stream.next_record(error); ++line) {
        for (Finding& f : out_.findings) {
            if (f.line_known || f.line != line) continue;
            f.line_text = std::string(stream.record());
            f.line_known = true;
        }
    }
}

void Checker::run() {
    out_.program = program_;
    ByteSource* source = opener_.open();
    if (source == nullptr) return;
    out_.file_read = true;
    stream_.attach(source, true);
    header();
    // The programs skip the mark as well; other tools may not.
    if (stream_.skipped_byte_order_mark()) add_at(Place{1, 1, 1}, Message::byte_order_mark, {});
    if (out_.header_read && !read_failed_) {
        nodes();
        if (!read_failed_ || line_ <= out_.lines) pipes();
        if (!read_failed_ || line_ <= out_.lines) known_discharges();
        if (!read_failed_ || line_ <= out_.lines) known_heads();
        if (line_ <= out_.lines) after_records();
    }
    if (out_.header_read && !read_failed_) unset_records();
    const bool within_capacity = out_.node_count <= max_nodes && out_.pipe_count <= max_elements &&
                                 out_.known_head_count <= max_boundary_nodes;
    if (out_.header_read && !read_failed_ && within_capacity && out_.node_count > 0)
        network_checks();
    fill_line_texts();
    if (out_.omitted > 0) {
        Finding f;
        f.severity = Severity::note;
        f.message = Message::findings_omitted;
        f.text = format_message(Message::findings_omitted, {std::to_string(out_.omitted)});
        out_.findings.push_back(std::move(f));
    }
}

} // namespace

void check_input(Program program, SourceOpener& source, RecordObserver* observer,
                 CheckResult& result) {
    result = CheckResult{};
    auto checker = std::make_unique<Checker>(program, source, observer, result);
    checker->run();
}

std::string record_name(Group group, std::int32_t index) {
    std::string_view plural = group_plural(group);
    switch (group) {
    case Group::header:
        return "the header";
    case Group::after_records:
        return "a line after the last record";
    default:
        break;
    }
    return std::string(plural.substr(0, plural.size() - 1)) + ' ' + std::to_string(index);
}

std::string shortest_text(float value) {
    // Plain decimals where they stay short enough to read; an exponent beyond.
    std::array<char, 64> text{};
    const float magnitude = value < 0.0f ? -value : value;
    const bool plain = magnitude == 0.0f || (magnitude >= 1.0e-7f && magnitude < 1.0e9f);
    auto result = plain ? std::to_chars(text.data(), text.data() + text.size(), value,
                                        std::chars_format::fixed)
                        : std::to_chars(text.data(), text.data() + text.size(), value);
    return {text.data(), result.ptr};
}

std::string printable(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\t') {
            out += "\\t";
        } else if (editor_byte(c)) {
            out += "\\x";
            out += hex_byte(c).substr(2);
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace pipenet::check
