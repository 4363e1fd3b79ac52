#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "report/shortest_text.hpp"
#include "solve/render.hpp"

namespace pipenet::solve {

namespace {

// Rows appended straight to a table's text, a field at a time; numbers written in place.
class Rows {
public:
    explicit Rows(std::string& table) : table_(table) {}

    // A field holding `text`, quoted when it holds a comma, a quote or a line end.
    void text(std::string_view text) {
        separate();
        if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
            table_ += text;
            return;
        }
        table_ += '"';
        for (char c : text) {
            if (c == '"') table_ += '"';
            table_ += c;
        }
        table_ += '"';
    }
    // An ID: empty where there is none.
    void id(const std::optional<std::string>& id) {
        text(id ? std::string_view(*id) : std::string_view());
    }
    void integer(std::int32_t value) {
        char digits[16];
        text(std::string_view(digits, std::to_chars(digits, digits + sizeof digits, value).ptr));
    }
    // A float's shortest text; NaN, Infinity or -Infinity for one that is not finite.
    void single(float value) {
        if (!std::isfinite(value)) {
            text(std::isnan(value) ? "NaN" : value > 0 ? "Infinity" : "-Infinity");
            return;
        }
        separate();
        number(value);
    }
    // A double's shortest text; empty for one that is not finite (a node left out).
    void finite(double value) {
        separate();
        if (std::isfinite(value)) number(value);
    }
    // A double's shortest text, NaN, Infinity or -Infinity; empty where there is none.
    void optional(const std::optional<double>& value) {
        if (value && !std::isfinite(*value)) {
            text(std::isnan(*value) ? "NaN" : *value > 0 ? "Infinity" : "-Infinity");
            return;
        }
        separate();
        if (value) number(*value);
    }
    void end() {
        table_ += "\r\n";
        fresh_ = true;
    }

private:
    void separate() {
        if (!fresh_) table_ += ',';
        fresh_ = false;
    }
    template <class Real>
    void number(Real value) {
        char digits[shortest_text_room];
        table_.append(digits, shortest_text(digits, digits + sizeof digits, value));
    }
    std::string& table_;
    bool fresh_ = true;
};

// A value of the programs' arithmetic is a float widened, written back as that float.
struct Numbers {
    Rows& row;
    bool single;
    void operator()(double value) {
        if (single) {
            row.single(static_cast<float>(value));
        } else {
            row.finite(value);
        }
    }
    void operator()(const std::optional<double>& value) {
        if (value) {
            (*this)(*value);
        } else {
            row.text(std::string_view());
        }
    }
};

// About the length of a row, so that a table is allocated once.
void reserve(std::string& table, std::size_t rows, std::size_t file, std::size_t row) {
    table.reserve(table.size() + rows * (file + row));
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

void csv_outcome(const NetworkResult& result, std::string& table) {
    Rows row(table);
    row.text(result.file);
    row.text(verdict_name(result.verdict));
    row.text(result.arithmetic == Arithmetic::programs ? "programs" : "double");
    row.integer(static_cast<std::int32_t>(result.passes.size()));
    row.optional(result.max_balance_error);
    row.integer(static_cast<std::int32_t>(count_messages(result, "warning")));
    row.text(result.law);
    row.end();
}

void csv_nodes(const NetworkResult& result, bool ids, std::string& table) {
    reserve(table, result.nodes.size(), result.file.size(), 200);
    Rows row(table);
    Numbers number{row, result.arithmetic == Arithmetic::programs};
    for (const NodeResult& n : result.nodes) {
        row.text(result.file);
        row.integer(n.node);
        number(n.x);
        number(n.y);
        number(n.head);
        number(n.discharge);
        number(n.known_head);
        number(n.known_discharge);
        row.optional(n.balance_error);
        row.optional(n.elevation);
        row.optional(n.pressure);
        if (ids) row.id(n.id);
        row.end();
    }
}

void csv_pipes(const NetworkResult& result, bool ids, std::string& table) {
    reserve(table, result.pipes.size(), result.file.size(), 160);
    Rows row(table);
    Numbers number{row, result.arithmetic == Arithmetic::programs};
    for (const PipeResult& p : result.pipes) {
        row.text(result.file);
        row.integer(p.pipe);
        row.integer(p.start);
        row.integer(p.end);
        number(p.diameter);
        number(p.length);
        number(p.discharge);
        number(p.head_loss);
        number(p.velocity);
        if (ids) {
            row.id(p.id);
            row.id(p.start_id);
            row.id(p.end_id);
            row.id(p.kind);
            row.id(p.state);
            row.optional(p.head_gain);
        }
        row.end();
    }
}

void csv_passes(const NetworkResult& result, std::string& table) {
    reserve(table, result.passes.size(), result.file.size(), 80);
    Rows row(table);
    Numbers number{row, true};
    for (const PassResult& p : result.passes) {
        row.text(result.file);
        row.integer(p.pass);
        number(p.relative_residual);
        row.optional(p.max_imbalance);
        row.optional(p.max_head_change);
        row.end();
    }
}

std::string csv_outcome(const NetworkResult& result) {
    std::string table;
    csv_outcome(result, table);
    return table;
}

std::string csv_nodes(const NetworkResult& result, bool ids) {
    std::string table;
    csv_nodes(result, ids, table);
    return table;
}

std::string csv_pipes(const NetworkResult& result, bool ids) {
    std::string table;
    csv_pipes(result, ids, table);
    return table;
}

std::string csv_passes(const NetworkResult& result) {
    std::string table;
    csv_passes(result, table);
    return table;
}

} // namespace pipenet::solve
