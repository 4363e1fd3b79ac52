#include "check/render.hpp"

#include <cstdlib>
#include <nlohmann/json.hpp>

namespace pipenet::check {

namespace {

using nlohmann::json;

// Bytes that are not UTF-8 are written as U+FFFD rather than refused.
std::string dump(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// The float as the number whose shortest text reads back as the same float.
json float_value(float value) {
    return json(std::strtod(shortest_text(value).c_str(), nullptr));
}

std::string_view group_name(Group group) {
    switch (group) {
    case Group::header:
        return "header";
    case Group::node:
        return "node";
    case Group::pipe:
        return "pipe";
    case Group::known_discharge:
        return "known-discharge";
    case Group::known_head:
        return "known-head";
    case Group::after_records:
        return "after-records";
    }
    return "";
}

} // namespace

JsonReport::JsonReport(TextOutput& out) : out_(out) {
    out_.put("{\"files\":[");
}

void JsonReport::begin_entry() {
    if (!first_file_) out_.put(",");
    first_file_ = false;
}

void JsonReport::begin_file(std::string_view file, Program program, bool explain) {
    begin_file(file, program == Program::lamnet ? "lamnet" : "turbnet", explain);
}

void JsonReport::begin_file(std::string_view file, std::string_view kind, bool explain) {
    begin_entry();
    explain_ = explain;
    first_record_ = true;
    file_ = file;
    out_.put("{\"file\":" + dump(json(std::string(file))) +
             ",\"program\":" + dump(json(std::string(kind))));
    if (explain_) out_.put(",\"records\":[");
}

void JsonReport::record(const RecordView& record) {
    json fields = json::array();
    for (const FieldView& f : record.fields) {
        json field = {{"name", std::string(f.name)},
                      {"first_column", f.first_column},
                      {"last_column", f.last_column},
                      {"text", std::string(f.text)}};
        if (!f.valid)
            field["value"] = nullptr;
        else if (f.is_real)
            field["value"] = float_value(f.real);
        else
            field["value"] = f.integer;
        fields.push_back(std::move(field));
    }
    json entry = {{"line", record.line},
                  {"group", std::string(group_name(record.group))},
                  {"index", record.index},
                  {"record", record.group == Group::after_records
                                 ? std::string("after the last record")
                                 : record_name(record.group, record.index)},
                  {"fields", std::move(fields)}};
    out_.put((first_record_ ? "" : ",") + dump(entry));
    first_record_ = false;
}

void JsonReport::end_file(const CheckResult& result, const RenderOptions& options) {
    if (explain_) out_.put("]");
    json findings = json::array();
    for (const Finding& f : result.findings) {
        json finding = {{"file", file_},
                        {"line", f.line},
                        {"first_column", f.first_column},
                        {"last_column", f.last_column},
                        {"severity", std::string(severity_name(shown_severity(f, options)))},
                        {"code", std::string(message_entry(f.message).code)},
                        {"message", f.text}};
        findings.push_back(std::move(finding));
    }
    const int errors = error_count(result, options);
    const int warnings = options.werror ? 0 : result.warnings;
    json counts = {{"nodes", result.node_count},
                   {"pipes", result.pipe_count},
                   {"known_discharges", result.known_discharge_count},
                   {"known_heads", result.known_head_count}};
    out_.put(",\"counts\":" + dump(counts) + ",\"findings\":" + dump(findings) +
             ",\"errors\":" + std::to_string(errors) + ",\"warnings\":" + std::to_string(warnings) +
             ",\"notes\":" + std::to_string(result.notes) + "}");
    errors_ += errors;
    warnings_ += warnings;
    notes_ += result.notes;
}

void JsonReport::unreadable_file(std::string_view file, std::string_view reason) {
    begin_entry();
    out_.put("{\"file\":" + dump(json(std::string(file))) +
             ",\"unreadable\":" + dump(json(std::string(reason))) + "}");
}

void JsonReport::finish() {
    out_.put("],\"errors\":" + std::to_string(errors_) + ",\"warnings\":" +
             std::to_string(warnings_) + ",\"notes\":" + std::to_string(notes_) + "}\n");
}

} // namespace pipenet::check
