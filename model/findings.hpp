// A finding of the model's readers, the analysis, its plausibility checks or pipenet solve's
// account of a file: an entry of the message table with its values filled in, and the place of
// the value it is about. Front ends render them; none invents its own.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "messages/message_table.hpp"
#include "model/network_model.hpp"

namespace pipenet::model {

using Severity = messages::Severity;
using Code = messages::Id;
using FindingEntry = messages::Entry;

struct Finding {
    Code code = Code::isolated_nodes;
    std::string text;
    Place place; // where the value it is about was read, when it is about one
};

inline const FindingEntry& finding_entry(Code code) {
    return messages::entry(code);
}

using messages::severity_name;

// The finding with each "{}" of its text replaced by the next value.
Finding make_finding(Code code, std::initializer_list<std::string> values, Place place = {});

} // namespace pipenet::model
