#include "frontend/messages.hpp"

#include <array>
#include <cassert>

#include "engine/analysis.hpp"
#include "report/fields.hpp"
#include "report/layouts.hpp"

namespace pipenet {

namespace {

// What a message's fields hold.
enum class Fields : std::uint8_t { none, number, element, element_and_number };

struct Message {
    const Layout* layout;
    Fields fields;
};

constexpr std::size_t fault_codes = static_cast<std::size_t>(FaultCode::zero_diameter) + 1;
using MessageTable = std::array<Message, fault_codes>;

// The messages both programs word alike, in FaultCode order; the pipe messages are the
// program's own (turbnet's have one blank more before the colon).
constexpr MessageTable message_table(const Layout& zero_length, const Layout& zero_diameter) {
    return {{
        {nullptr, Fields::none},
        {&layouts::too_many_nodes, Fields::none},
        {&layouts::too_many_elements, Fields::none},
        {&layouts::too_many_boundary_nodes, Fields::none},
        {&layouts::half_band_exceeded, Fields::none},
        {&layouts::no_nodes, Fields::none},
        {&layouts::node_record_out_of_range, Fields::number},
        {&layouts::element_record_out_of_range, Fields::number},
        {&layouts::pipe_end_out_of_range, Fields::element_and_number},
        {&layouts::discharge_record_out_of_range, Fields::number},
        {&layouts::head_record_out_of_range, Fields::number},
        {&zero_length, Fields::element},
        {&zero_diameter, Fields::element},
    }};
}

constexpr MessageTable lamnet_messages =
    message_table(layouts::lamnet_zero_length, layouts::lamnet_zero_diameter);
constexpr MessageTable turbnet_messages =
    message_table(layouts::turbnet_zero_length, layouts::turbnet_zero_diameter);

} // namespace

void write_fault(RecordIo& io, Program program, const Fault& fault) {
    const MessageTable& table = program == Program::lamnet ? lamnet_messages : turbnet_messages;
    const Message& message = table[static_cast<std::size_t>(fault.code)];
    assert(message.layout != nullptr);
    switch (message.fields) {
    case Fields::none:
        write_record(io, *message.layout);
        break;
    case Fields::number:
        write_record(io, *message.layout, fault.number);
        break;
    case Fields::element:
        write_record(io, *message.layout, fault.element);
        break;
    case Fields::element_and_number:
        write_record(io, *message.layout, fault.element, fault.number);
        break;
    }
}

namespace {

// The text of each message of the table above between its margins, in FaultCode order: the
// words before the fields, between them and after them.
struct MessageText {
    std::string_view before;
    std::string_view between;
    std::string_view after;
};

constexpr std::array<MessageText, fault_codes> message_texts{{
    {"", "", ""},
    {"**** too many nodes ****", "", ""},
    {"**** too many elements ****", "", ""},
    {"**** too many boundary nodes ****", "", ""},
    {"**** maximum half-bandwidth exceeded ****", "", ""},
    {"**** no nodes in the network ****", "", ""},
    {"**** node number out of range in node record :", "", " ****"},
    {"**** element number out of range in element record :", "", " ****"},
    {"**** node number out of range at an end of element", " :", " ****"},
    {"**** node number out of range in known-discharge record :", "", " ****"},
    {"**** node number out of range in known-head record :", "", " ****"},
    {"**** zero length for element : ", "", " ****"},
    {"**** zero diameter for element : ", "", " ****"},
}};

std::string integer_field(int width, std::int32_t value) {
    std::string field(static_cast<std::size_t>(width), ' ');
    write_integer_field(field.data(), width, value);
    return field;
}

} // namespace

std::string fault_text(Program program, const Fault& fault) {
    const auto code = static_cast<std::size_t>(fault.code);
    const MessageText& words = message_texts[code];
    std::string text(words.before);
    // turbnet's pipe messages have one blank more before the colon.
    if (program == Program::turbnet && is_pipe_fault(fault.code)) text.insert(text.size() - 2, " ");
    switch (lamnet_messages[code].fields) {
    case Fields::none:
        break;
    case Fields::number:
        text += integer_field(11, fault.number);
        break;
    case Fields::element:
        text += integer_field(5, fault.element);
        break;
    case Fields::element_and_number:
        text += integer_field(5, fault.element);
        text += words.between;
        text += integer_field(11, fault.number);
        break;
    }
    text += words.after;
    return text;
}

std::string singular_text(std::int32_t row) {
    return "***** singularity in row   " + integer_field(5, row);
}

} // namespace pipenet
