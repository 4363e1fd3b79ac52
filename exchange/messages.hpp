// The messages of the .inp reader, import and export: entries of the message table
// (messages/message_table.hpp), each given with the line it concerns where it has one.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "messages/message_table.hpp"

namespace pipenet::exchange {

using Message = messages::Id;

using Severity = messages::Severity;

// One message about the input, with the line it concerns (0: the file as a whole).
struct Diagnostic {
    Severity severity = Severity::error;
    std::int32_t line = 0;
    std::string text;
    Message id = Message::inp_error; // the table's entry the text was made from
};

// The diagnostic for one entry of the table, with the table's severity: the one place a message's
// severity lives.
inline Diagnostic diagnostic(Message id, std::int32_t line,
                             std::initializer_list<std::string_view> values) {
    return {messages::entry(id).severity, line, messages::format(id, values), id};
}

// The table's entry for a diagnostic, which carries its own severity.
inline Message message_of(const Diagnostic& diagnostic) {
    switch (diagnostic.severity) {
    case Severity::note:
        return Message::inp_note;
    case Severity::warning:
        return Message::inp_warning;
    case Severity::error:
        break;
    }
    return Message::inp_error;
}

// "NET.inp:12: error: ..." as a tool prints it.
std::string describe(const Diagnostic& diagnostic, std::string_view file_name);

} // namespace pipenet::exchange
