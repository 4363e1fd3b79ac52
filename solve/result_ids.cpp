#include "solve/result_ids.hpp"

#include <charconv>
#include <vector>

namespace pipenet::solve {

namespace {

// Splits one CSV line into fields; quoted fields may hold commas and doubled quotes. False when
// a quote is not closed or text follows a closing quote.
bool split_fields(std::string_view line, std::vector<std::string>& fields) {
    fields.assign(1, std::string());
    bool quoted = false;
    bool was_quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') {
                fields.back() += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else {
                quoted = false;
                was_quoted = true;
            }
        } else if (c == ',') {
            fields.emplace_back();
            was_quoted = false;
        } else if (c == '"' && fields.back().empty() && !was_quoted) {
            quoted = true;
        } else if (was_quoted) {
            return false;
        } else {
            fields.back() += c;
        }
    }
    return !quoted;
}

bool positive_number(std::string_view text, std::int32_t& number) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, number);
    return ec == std::errc{} && ptr == end && number >= 1;
}

} // namespace

bool read_result_ids(std::string_view csv, ResultIds& ids, std::string& error) {
    ids = ResultIds{};
    enum class Form { unknown, ids, renumbering } form = Form::unknown;
    std::vector<std::string> fields;
    std::size_t columns = 3;
    std::int32_t line_number = 0;
    while (!csv.empty()) {
        const std::size_t end = csv.find('\n');
        std::string_view line = csv.substr(0, end);
        csv = end == std::string_view::npos ? std::string_view() : csv.substr(end + 1);
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string where = "line " + std::to_string(line_number) + ": ";
        if (form == Form::unknown) {
            // import-inp's map goes on with columns about each pipe, which are not needed here.
            if (line == "kind,id,number" || line.starts_with("kind,id,number,")) {
                form = Form::ids;
                if (!split_fields(line, fields)) fields.assign(3, std::string());
                columns = fields.size();
            } else if (line == "old,new") {
                form = Form::renumbering;
            } else {
                error =
                    where + "the map must begin with the line \"kind,id,number\" or \"old,new\"";
                return false;
            }
            continue;
        }
        if (line.empty()) continue;
        if (!split_fields(line, fields)) {
            error = where + "a quoted field is not closed properly";
            return false;
        }
        std::int32_t number = 0;
        if (form == Form::renumbering) {
            std::int32_t old = 0;
            if (fields.size() != 2 || !positive_number(fields[0], old) ||
                !positive_number(fields[1], number)) {
                error = where + "expected two node numbers \"old,new\"";
                return false;
            }
            if (!ids.nodes.emplace(number, fields[0]).second) {
                error = where + "node " + fields[1] + " is given twice";
                return false;
            }
            continue;
        }
        if (fields.size() != columns || (fields[0] != "node" && fields[0] != "pipe") ||
            !positive_number(fields[2], number)) {
            error = where + "expected \"node,ID,number\" or \"pipe,ID,number\"";
            return false;
        }
        auto& table = fields[0] == "node" ? ids.nodes : ids.pipes;
        if (!table.emplace(number, fields[1]).second) {
            error = where + fields[0] + " " + fields[2] + " is given twice";
            return false;
        }
    }
    if (form == Form::unknown) {
        error = "the map is empty";
        return false;
    }
    ids.pipes_keep_numbers = form == Form::renumbering;
    return true;
}

bool label_results(const ResultIds& ids, NetworkResult& result, std::string& missing) {
    result.labelled = true;
    missing.clear();
    auto node_id = [&](std::int32_t node) -> std::optional<std::string> {
        auto found = ids.nodes.find(node);
        if (found != ids.nodes.end()) return found->second;
        if (missing.empty()) missing = "node " + std::to_string(node);
        return std::nullopt;
    };
    for (NodeResult& n : result.nodes) n.id = node_id(n.node);
    for (PipeResult& p : result.pipes) {
        if (ids.pipes_keep_numbers) {
            p.id = std::to_string(p.pipe);
        } else if (auto found = ids.pipes.find(p.pipe); found != ids.pipes.end()) {
            p.id = found->second;
        } else if (missing.empty()) {
            missing = "pipe " + std::to_string(p.pipe);
        }
        p.start_id = node_id(p.start);
        p.end_id = node_id(p.end);
    }
    return missing.empty();
}

} // namespace pipenet::solve
