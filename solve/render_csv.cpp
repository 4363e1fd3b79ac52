#include <charconv>
#include <cmath>

#include "report/shortest_text.hpp"
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

std::string double_text(double value) {
    std::array<char, 32> digits{};
    return {digits.data(), shortest_text(digits.data(), digits.data() + digits.size(), value)};
}

// A value of the programs' arithmetic is a float widened, written back as that float; a double
// that is not a number (a node left out) is an empty field.
struct Numbers {
    std::string& row;
    bool single;
    void operator()(double value) {
        if (single) {
            field(row, static_cast<float>(value));
        } else {
            field(row, std::isfinite(value) ? double_text(value) : std::string());
        }
    }
    void operator()(const std::optional<double>& value) {
        if (value) {
            (*this)(*value);
        } else {
            field(row, std::string());
        }
    }
};

void field(std::string& row, const std::optional<double>& value) {
    std::string text;
    if (value) {
        std::array<char, 32> digits{};
        text.assign(digits.data(),
                    shortest_text(digits.data(), digits.data() + digits.size(), *value));
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
    return std::string("file,node,x,y,head,discharge,known_head,known_discharge,balance_error,"
                       "elevation,pressure") +
           (ids ? ",id\r\n" : "\r\n");
}

std::string csv_pipes_header(bool ids) {
    return std::string("file,pipe,start,end,diameter,length,discharge,head_loss,velocity") +
           (ids ? ",id,start_id,end_id,kind,state,head_gain\r\n" : "\r\n");
}

std::string csv_passes_header() {
    return "file,pass,relative_residual,max_imbalance,max_head_change\r\n";
}

std::string csv_outcomes_header() {
    return "file,outcome,arithmetic,passes,max_imbalance,warnings,law\r\n";
}

std::string csv_outcome(const NetworkResult& result) {
    std::string table;
    std::string row;
    field(row, result.file);
    field(row, std::string_view(verdict_name(result.verdict)));
    field(row, std::string_view(result.arithmetic == Arithmetic::programs ? "programs" : "double"));
    field(row, static_cast<std::int32_t>(result.passes.size()));
    field(row, result.max_balance_error);
    field(row, static_cast<std::int32_t>(count_messages(result, "warning")));
    field(row, std::string_view(result.law));
    end_row(table, row);
    return table;
}

std::string csv_nodes(const NetworkResult& result, bool ids) {
    std::string table;
    std::string row;
    Numbers number{row, result.arithmetic == Arithmetic::programs};
    for (const NodeResult& n : result.nodes) {
        field(row, result.file);
        field(row, n.node);
        number(n.x);
        number(n.y);
        number(n.head);
        number(n.discharge);
        number(n.known_head);
        number(n.known_discharge);
        field(row, n.balance_error);
        field(row, n.elevation);
        field(row, n.pressure);
        if (ids) field(row, n.id.value_or(""));
        end_row(table, row);
    }
    return table;
}

std::string csv_pipes(const NetworkResult& result, bool ids) {
    std::string table;
    std::string row;
    Numbers number{row, result.arithmetic == Arithmetic::programs};
    for (const PipeResult& p : result.pipes) {
        field(row, result.file);
        field(row, p.pipe);
        field(row, p.start);
        field(row, p.end);
        number(p.diameter);
        number(p.length);
        number(p.discharge);
        number(p.head_loss);
        number(p.velocity);
        if (ids) {
            field(row, p.id.value_or(""));
            field(row, p.start_id.value_or(""));
            field(row, p.end_id.value_or(""));
            field(row, p.kind.value_or(""));
            field(row, p.state.value_or(""));
            field(row, p.head_gain);
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
        Numbers{row, true}(p.relative_residual);
        field(row, p.max_imbalance);
        field(row, p.max_head_change);
        end_row(table, row);
    }
    return table;
}

} // namespace pipenet::solve
