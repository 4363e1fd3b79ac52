#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "report/shortest_text.hpp"
#include "solve/render.hpp"
#include "solve/text_block.hpp"

namespace pipenet::solve {

namespace {

// A field's text: quoted when it holds a comma, a quote or a line end, its quotes doubled.
std::string quoted(std::string_view text) {
    std::string field = "\"";
    for (char c : text) {
        if (c == '"') field += '"';
        field += c;
    }
    return field + '"';
}

bool needs_quotes(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
}

// Rows put together a field at a time, numbers written in place.
class Rows : TextBlock {
public:
    using TextBlock::TextBlock;

    void text(std::string_view text) {
        if (needs_quotes(text)) {
            field(quoted(text));
        } else {
            field(text);
        }
    }
    // A field whose text is ready: quoted already where it needs to be.
    void field(std::string_view text) {
        separate();
        append(text);
    }
    // An ID: empty where there is none.
    void id(const std::optional<std::string>& id) {
        text(id ? std::string_view(*id) : std::string_view());
    }
    void integer(std::int32_t value) {
        separate();
        put_integer(value);
    }
    // A float's shortest text; NaN, Infinity or -Infinity for one that is not finite.
    void single(float value) {
        if (!std::isfinite(value)) {
            field(std::isnan(value) ? "NaN" : value > 0 ? "Infinity" : "-Infinity");
            return;
        }
        separate();
        put_shortest(value);
    }
    // A double's shortest text; empty for one that is not finite (a node left out).
    void finite(double value) {
        separate();
        if (std::isfinite(value)) put_shortest(value);
    }
    // A double's shortest text, NaN, Infinity or -Infinity; empty where there is none.
    void optional(const std::optional<double>& value) {
        if (value && !std::isfinite(*value)) {
            field(std::isnan(*value) ? "NaN" : *value > 0 ? "Infinity" : "-Infinity");
            return;
        }
        separate();
        if (value) put_shortest(*value);
    }
    void end() {
        room(2);
        put("\r\n");
        fresh_ = true;
    }

private:
    // The separator, and room for a number after it.
    void separate() {
        room(1 + number_room);
        if (!fresh_) put(',');
        fresh_ = false;
    }
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
    const std::string file = needs_quotes(result.file) ? quoted(result.file) : result.file;
    Rows row(table);
    Numbers number{row, result.arithmetic == Arithmetic::programs};
    for (const NodeResult& n : result.nodes) {
        row.field(file);
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
    const std::string file = needs_quotes(result.file) ? quoted(result.file) : result.file;
    Rows row(table);
    Numbers number{row, result.arithmetic == Arithmetic::programs};
    for (const PipeResult& p : result.pipes) {
        row.field(file);
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
    const std::string file = needs_quotes(result.file) ? quoted(result.file) : result.file;
    Rows row(table);
    Numbers number{row, true};
    for (const PassResult& p : result.passes) {
        row.field(file);
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
