// The C interface over the model and the double-precision analysis: networks from .inp files
// or the programs' files, addressed by ID, with per-link roughness, tolerances and an iteration
// limit. No exception or C++ type crosses the boundary.
#include "pipenet/pipenet.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "engine/c_enum_value.hpp"
#include "engine/c_model.hpp"
#include "model/read_inp.hpp"
#include "model/read_records.hpp"

#ifndef PIPENET_VERSION_TEXT
#define PIPENET_VERSION_TEXT "unknown"
#endif

namespace {

namespace model = pipenet::model;
namespace analysis = pipenet::analysis;

pipenet_status changed(pipenet_model* m) {
    m->has_results = false;
    return PIPENET_OK;
}

template <typename List>
pipenet_status find(const List& list, const char* id, size_t* index) {
    if (id == nullptr || index == nullptr) return PIPENET_BAD_ARGUMENT;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].id == id) {
            *index = i;
            return PIPENET_OK;
        }
    return PIPENET_BAD_ARGUMENT;
}

pipenet_status copy(const pipenet_model* m, const std::vector<double>& source, double* values,
                    size_t count) {
    if (values == nullptr || count < source.size()) return PIPENET_BAD_ARGUMENT;
    if (!m->has_results) return PIPENET_NO_RESULTS;
    std::memcpy(values, source.data(), source.size() * sizeof(double));
    return PIPENET_OK;
}

} // namespace

namespace pipenet {

pipenet_status solve_model(pipenet_model& m) {
    try {
        m.solver.run(m.model, m.settings, m.last_heads, m.result);
    } catch (const std::bad_alloc&) {
        m.has_results = false;
        m.last_heads.clear();
        return PIPENET_OUT_OF_MEMORY;
    }
    switch (m.result.outcome) {
    case analysis::Outcome::solved:
        m.has_results = true;
        m.last_heads = m.result.heads;
        return PIPENET_OK;
    case analysis::Outcome::not_converged:
        m.has_results = true;
        m.last_heads.clear();
        return PIPENET_ITERATION_LIMIT;
    case analysis::Outcome::singular:
        m.has_results = false;
        m.last_heads.clear();
        return PIPENET_SINGULAR;
    case analysis::Outcome::refused:
        break;
    }
    m.has_results = false;
    m.last_heads.clear();
    return PIPENET_REFUSED;
}

} // namespace pipenet

extern "C" {

const char* pipenet_version(void) {
    return PIPENET_VERSION_TEXT;
}

pipenet_status pipenet_model_read(const char* text, size_t length, pipenet_file_kind kind,
                                  pipenet_model** out) {
    if (out == nullptr) return PIPENET_BAD_ARGUMENT;
    *out = nullptr;
    const int kind_value = pipenet::engine::c_enum_value(kind);
    if ((text == nullptr && length != 0) ||
        (kind_value != PIPENET_FILE_INP && kind_value != PIPENET_FILE_LAMNET &&
         kind_value != PIPENET_FILE_TURBNET))
        return PIPENET_BAD_ARGUMENT;
    try {
        auto created = std::make_unique<pipenet_model>();
        const std::string_view view(text == nullptr ? "" : text, length);
        bool read = false;
        if (kind == PIPENET_FILE_INP) {
            std::vector<pipenet::exchange::Diagnostic> diagnostics;
            read = model::read_inp_model(view, "", 0, created->model, diagnostics);
        } else {
            std::string error;
            read = model::read_model(view,
                                     kind == PIPENET_FILE_LAMNET ? pipenet::Program::lamnet
                                                                 : pipenet::Program::turbnet,
                                     "", created->model, error);
        }
        if (!read || created->model.nodes.empty()) return PIPENET_UNREADABLE;
        *out = created.release();
        return PIPENET_OK;
    } catch (const std::bad_alloc&) {
        return PIPENET_OUT_OF_MEMORY;
    }
}

void pipenet_model_free(pipenet_model* m) {
    delete m;
}

size_t pipenet_model_node_count(const pipenet_model* m) {
    return m == nullptr ? 0 : m->model.nodes.size();
}
size_t pipenet_model_link_count(const pipenet_model* m) {
    return m == nullptr ? 0 : m->model.links.size();
}

const char* pipenet_model_node_id(const pipenet_model* m, size_t node) {
    if (m == nullptr || node >= m->model.nodes.size()) return nullptr;
    return m->model.nodes[node].id.c_str();
}
const char* pipenet_model_link_id(const pipenet_model* m, size_t link) {
    if (m == nullptr || link >= m->model.links.size()) return nullptr;
    return m->model.links[link].id.c_str();
}

pipenet_status pipenet_model_find_node(const pipenet_model* m, const char* id, size_t* node) {
    return m == nullptr ? PIPENET_BAD_ARGUMENT : find(m->model.nodes, id, node);
}
pipenet_status pipenet_model_find_link(const pipenet_model* m, const char* id, size_t* link) {
    return m == nullptr ? PIPENET_BAD_ARGUMENT : find(m->model.links, id, link);
}

pipenet_status pipenet_model_set_diameter(pipenet_model* m, size_t link, double diameter) {
    if (m == nullptr || link >= m->model.links.size() || !(diameter > 0.0) ||
        !std::isfinite(diameter))
        return PIPENET_BAD_ARGUMENT;
    m->model.links[link].diameter.value = diameter;
    return changed(m);
}

pipenet_status pipenet_model_set_roughness(pipenet_model* m, size_t link, double roughness) {
    if (m == nullptr || link >= m->model.links.size() || !(roughness > 0.0) ||
        !std::isfinite(roughness))
        return PIPENET_BAD_ARGUMENT;
    m->model.links[link].roughness.value = roughness;
    return changed(m);
}

pipenet_status pipenet_model_set_demand(pipenet_model* m, size_t node, double demand) {
    if (m == nullptr || node >= m->model.nodes.size() || !std::isfinite(demand))
        return PIPENET_BAD_ARGUMENT;
    m->model.nodes[node].demand.value = -demand;
    return changed(m);
}

pipenet_status pipenet_model_set_known_head(pipenet_model* m, size_t node, double head) {
    if (m == nullptr || node >= m->model.nodes.size() || std::isinf(head))
        return PIPENET_BAD_ARGUMENT;
    if (std::isnan(head))
        m->model.nodes[node].fixed_head.reset();
    else
        m->model.nodes[node].fixed_head = model::Read{head, {}};
    return changed(m);
}

pipenet_status pipenet_model_set_tolerance(pipenet_model* m, double flow, double head) {
    if (m == nullptr || !(flow > 0.0) || !(head > 0.0) || !std::isfinite(flow) ||
        !std::isfinite(head))
        return PIPENET_BAD_ARGUMENT;
    m->settings.flow_tolerance = flow;
    m->settings.head_tolerance = head;
    return changed(m);
}

pipenet_status pipenet_model_set_iteration_limit(pipenet_model* m, int passes) {
    if (m == nullptr || passes < 1) return PIPENET_BAD_ARGUMENT;
    m->settings.max_passes = passes;
    return changed(m);
}

pipenet_status pipenet_model_solve(pipenet_model* m) {
    if (m == nullptr) return PIPENET_BAD_ARGUMENT;
    return pipenet::solve_model(*m);
}

pipenet_status pipenet_model_heads(const pipenet_model* m, double* values, size_t count) {
    return m == nullptr ? PIPENET_BAD_ARGUMENT : copy(m, m->result.heads, values, count);
}
pipenet_status pipenet_model_flows(const pipenet_model* m, double* values, size_t count) {
    return m == nullptr ? PIPENET_BAD_ARGUMENT : copy(m, m->result.flows, values, count);
}

size_t pipenet_model_pass_count(const pipenet_model* m) {
    return m == nullptr ? 0 : m->result.passes.size();
}

} // extern "C"
