#include <charconv>

#include "solve/render.hpp"

namespace pipenet::solve {

namespace {

void field(std::string& row, std::string_view text) {
    if (!row.empty()) row += ',';
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        row += text;
        return;
    }
    row += '"';
    for (char c : text) {
        if (c == '"') row += '"';
        row += c;
    }
    row += '"';
}

void field(std::string& row, std::int32_t value) {
    field(row, std::to_string(value));
}
void field(std::string& row, float value) {
    field(row, float_text(value));
}

void field(std::string& row, const std::optional<float>& value) {
    field(row, value ? float_text(*value) : std::string());
}

void field(std::string& row, const std::optional<double>& value) {
    std::string text;
    if (value) {
        std::array<char, 32> digits{};
        text.assign(digits.data(),
                    std::to_chars(digits.data(), digits.data() + digits.size(), *value).ptr);
        if (text == "nan" || text == "-nan") text = "NaN";
        if (text == "inf") text = "Infinity";
        if (text == "-inf") text = "-Infinity";
    }
    field(row, text);
}

void end_row(std::string& table, std::string& row) {
    table += row;
    table += "\r\n";
    row.clear();
}

} // namespace

std::string csv_nodes_header(bool ids) {
    return std::string("file,node,x,y,head,discharge,known_head,known_discharge,balance_error") +
           (ids ? ",id\r\n" : "\r\n");
}

std::string csv_pipes_header(bool ids) {
    return std::string("file,pipe,start,end,diameter,length,discharge,head_loss,velocity") +
           (ids ? ",id,start_id,end_id\r\n" : "\r\n");
}

std::string csv_passes_header() {
    return "file,pass,relative_residual\r\n";
}

std::string csv_nodes(const NetworkResult& result) {
    std::string table;
    std::string row;
    for (const NodeResult& n : result.nodes) {
        field(row, result.file);
        field(row, n.node);
        field(row, n.x);
        field(row, n.y);
        field(row, n.head);
        field(row, n.discharge);
        field(row, n.known_head);
        field(row, n.known_discharge);
        field(row, n.balance_error);
        if (result.labelled) field(row, n.id.value_or(""));
        end_row(table, row);
    }
    return table;
}

std::string csv_pipes(const NetworkResult& result) {
    std::string table;
    std::string row;
    for (const PipeResult& p : result.pipes) {
        field(row, result.file);
        field(row, p.pipe);
        field(row, p.start);
        field(row, p.end);
        field(row, p.diameter);
        field(row, p.length);
        field(row, p.discharge);
        field(row, p.head_loss);
        field(row, p.velocity);
        if (result.labelled) {
            field(row, p.id.value_or(""));
            field(row, p.start_id.value_or(""));
            field(row, p.end_id.value_or(""));
        }
        end_row(table, row);
    }
    return table;
}

std::string csv_passes(const NetworkResult& result) {
    std::string table;
    std::string row;
    for (const PassResult& p : result.passes) {
        field(row, result.file);
        field(row, p.pass);
        field(row, p.relative_residual);
        end_row(table, row);
    }
    return table;
}

} // namespace pipenet::solve
