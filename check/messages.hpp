// The findings of the input check are entries of the message table (messages/message_table.hpp):
// their codes, severities and texts live there, beside those of the analysis and the readers.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "messages/message_table.hpp"

namespace pipenet::check {

using Severity = messages::Severity;
using Message = messages::Id;
using MessageEntry = messages::Entry;

inline const MessageEntry& message_entry(Message id) {
    return messages::entry(id);
}

using messages::severity_name;

// The message's text with {k} replaced by the k-th value, and "{}" by the next.
inline std::string format_message(Message id, std::initializer_list<std::string_view> values) {
    return messages::format(id, values);
}

} // namespace pipenet::check
