#include "model/read_records.hpp"

#include <charconv>
#include <cmath>

#include "report/layouts.hpp"
#include "report/typed_decimal.hpp"

namespace pipenet::model {

namespace {

// Columns of the fields of each record, as the layouts in report/layouts.hpp read them.
constexpr Place field(std::int32_t line, std::int32_t first, std::int32_t width) {
    return {line, first, first + width - 1};
}

// The record layer reads each real as the nearest float; the double of that float's shortest
// decimal is the value as typed (0.3 rather than 0.30000001192092896), up to the float's digits.
// `field` of `layout` gives the implied decimals, the places a value typed there mostly has.
double decimal(float value, const Layout& layout, int field) {
    return typed_decimal(value, layout.flat_field(field).decimals);
}

// True when `id` is the decimal text of `number` > 0, compared from its last digit: a model
// filled network after network mostly holds the same numbers at the same places already.
bool holds_number(const std::string& id, std::int32_t number) {
    if (number <= 0) return false;
    auto i = id.size();
    auto rest = static_cast<std::uint32_t>(number);
    for (; rest != 0 && i != 0; rest /= 10)
        if (id[--i] != static_cast<char>('0' + rest % 10)) return false;
    return rest == 0 && i == 0;
}

// A node or pipe number as its ID. Character by character: the few characters fit in the
// string's own storage, where push_back stays inline, while assign() goes through the library's
// general replacement and a memcpy call, nearly twice the cost for every node and pipe.
void set_id(std::string& id, std::int32_t number) {
    if (holds_number(id, number)) return;
    char text[16];
    const char* end = std::to_chars(text, text + sizeof text, number).ptr;
    id.clear();
    for (const char* c = text; c != end; ++c) id.push_back(*c);
}

// Every value of a node or a link as a new one holds, but the ID, left for set_id: moving the
// ID out and back in costs more than the fields themselves.
void reset_keeping_id(Node& node) {
    node.x = {};
    node.y = {};
    node.elevation = {};
    node.demand = {};
    node.fixed_head.reset();
    node.record = {};
}

void reset_keeping_id(Link& link) {
    link.start = 0;
    link.end = 0;
    link.length = {};
    link.diameter = {};
    link.roughness = {};
    link.minor_loss = {};
    link.status = LinkStatus::open;
    link.check_valve = false;
    link.kind = LinkKind::pipe;
    link.record = {};
}

// Empties the model as a new one is, keeping the storage of its lists and of the file name and
// the nodes' and links' IDs, which set_id then mostly finds written already.
void empty_keeping_storage(Model& model) {
    Model empty;
    empty.file = std::move(model.file);
    empty.nodes = std::move(model.nodes);
    empty.links = std::move(model.links);
    model = std::move(empty);
}

} // namespace

bool model_from_records(const NetworkRecords& records, const std::string& file, Model& model,
                        std::string& error) {
    if (!check_node_numbers(records, error)) return false;
    empty_keeping_storage(model);
    model.file = file;
    const bool laminar = records.program == Program::lamnet;
    if (laminar) {
        model.law = HeadLossLaw::laminar;
        // The programs' files leave the unit open; their documents use cm and s.
        model.units = {"length unit", "discharge unit", ""};
        model.rho_g_over_mu = {decimal(records.rho_g_over_mu, layouts::lamnet_header, 4),
                               field(1, 41, 10)};
    } else {
        model.law = HeadLossLaw::hazen_williams_programs;
    }

    const auto node_count = records.nodes.size();
    const auto pipe_count = records.elements.size();
    model.nodes.resize(node_count);
    std::int32_t line = 2;
    for (const NodeRecord& r : records.nodes) {
        Node& node = model.nodes[static_cast<std::size_t>(r.node - 1)];
        reset_keeping_id(node);
        set_id(node.id, r.node);
        node.record = field(line, 1, 30);
        node.x = {decimal(r.x, layouts::node_record, 1), field(line, 11, 10)};
        node.y = {decimal(r.y, layouts::node_record, 2), field(line, 21, 10)};
        ++line;
    }
    model.links.resize(pipe_count);
    const Read roughness =
        laminar ? Read{}
                : Read{decimal(records.relative_roughness, layouts::turbnet_header, 6),
                       field(1, 61, 15)};
    auto next_link = model.links.begin();
    for (const ElementRecord& r : records.elements) {
        Link& link = *next_link++;
        reset_keeping_id(link);
        set_id(link.id, r.element);
        link.record = field(line, 1, 40);
        link.start = r.start_node - 1;
        link.end = r.end_node - 1;
        const Node& a = model.nodes[static_cast<std::size_t>(link.start)];
        const Node& b = model.nodes[static_cast<std::size_t>(link.end)];
        const double dx = b.x.value - a.x.value;
        const double dy = b.y.value - a.y.value;
        // The length comes from the coordinates of the two ends the record names.
        link.length = {std::sqrt(dx * dx + dy * dy), field(line, 11, 20)};
        link.diameter = {decimal(r.diameter, layouts::element_record, 3), field(line, 31, 10)};
        link.roughness = roughness;
        ++line;
    }
    // A later record for the same node replaces an earlier one, as the programs read them.
    for (const DischargeRecord& r : records.discharges) {
        model.nodes[static_cast<std::size_t>(r.node - 1)].demand = {
            decimal(r.discharge, layouts::discharge_record, 1), field(line, 11, 12)};
        ++line;
    }
    for (const HeadRecord& r : records.heads) {
        model.nodes[static_cast<std::size_t>(r.node - 1)].fixed_head =
            Read{decimal(r.head, layouts::head_record, 1), field(line, 11, 10)};
        ++line;
    }
    return true;
}

bool read_model(std::string_view text, Program program, const std::string& file, Model& model,
                std::string& error) {
    NetworkRecords records;
    if (!read_network_records(text, program, records, error)) return false;
    return model_from_records(records, file, model, error);
}

} // namespace pipenet::model
