#include "solve/messages.hpp"

namespace pipenet::solve {

Message message(const model::Finding& finding) {
    const model::FindingEntry& entry = model::finding_entry(finding.code);
    return {std::string(model::severity_name(entry.severity)), std::string(entry.code),
            finding.text};
}

Message message(model::Code code, std::initializer_list<std::string> arguments) {
    return message(model::make_finding(code, arguments));
}

} // namespace pipenet::solve
