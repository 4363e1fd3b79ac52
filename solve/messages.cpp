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

Message message(model::Code code, model::Severity severity, std::string text) {
    return {std::string(model::severity_name(severity)),
            std::string(model::finding_entry(code).code), std::move(text)};
}

} // namespace pipenet::solve
