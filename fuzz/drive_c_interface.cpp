#include <string>
#include <vector>

#include "fuzz/checks.hpp"
#include "fuzz/engine_input.hpp"
#include "fuzz/harness.hpp"
#include "pipenet/pipenet.h"

namespace pipenet::fuzz {

namespace {

bool has_results(pipenet_status status) {
    return status == PIPENET_OK || status == PIPENET_ITERATION_LIMIT ||
           status == PIPENET_NOT_A_NUMBER;
}

// What a solve's status promises about the results and the fault.
void check_solve(pipenet_network* net, pipenet_status status) {
    if (status < PIPENET_OK || status > PIPENET_NO_RESULTS || status == PIPENET_UNREADABLE ||
        status == PIPENET_BAD_ARGUMENT || status == PIPENET_NO_RESULTS)
        broken("a solve returns an outcome", pipenet_status_text(status));
    const auto nodes = static_cast<std::size_t>(pipenet_node_count(net));
    std::vector<double> values(nodes + 1);
    const pipenet_status copied = pipenet_heads(net, values.data(), nodes);
    if (copied != (has_results(status) ? PIPENET_OK : PIPENET_NO_RESULTS))
        broken("heads are there exactly with results", pipenet_status_text(copied));
    if (has_results(status) && nodes > 0 &&
        pipenet_heads(net, values.data(), nodes - 1) != PIPENET_BAD_ARGUMENT)
        broken("too small an array is refused", "");
    int number = 0;
    int pipe = 0;
    if ((pipenet_fault(net, &number, &pipe) != PIPENET_FAULT_NONE) != (status == PIPENET_REFUSED))
        broken("a fault exactly when refused", "");
    if ((pipenet_singular_row(net) != 0) != (status == PIPENET_SINGULAR))
        broken("a singular row exactly when singular", "");
}

} // namespace

void drive_c_interface_on(const std::uint8_t* data, std::size_t size) {
    const EngineInput input = take_apart(data, size);
    pipenet_network* net = nullptr;
    const pipenet_status loaded =
        pipenet_load(input.text.data(), input.text.size(),
                     input.turbulent ? PIPENET_TURBULENT : PIPENET_LAMINAR, &net);
    if ((loaded == PIPENET_OK) != (net != nullptr))
        broken("a handle exactly when loaded", pipenet_status_text(loaded));
    if (net == nullptr) {
        if (loaded != PIPENET_UNREADABLE) broken("a text is loaded or unreadable", "");
        return;
    }
    check_solve(net, pipenet_solve(net));
    for (const Change& change : input.changes) {
        const pipenet_status status =
            change.kind == 0   ? pipenet_set_diameter(net, change.number, change.value)
            : change.kind == 1 ? pipenet_set_known_discharge(net, change.number, change.value)
                               : pipenet_set_known_head(net, change.number, change.value);
        if (status != PIPENET_OK && status != PIPENET_BAD_ARGUMENT)
            broken("a change is made or refused", pipenet_status_text(status));
        double head = 0.0;
        if (status == PIPENET_OK && pipenet_heads(net, &head, 1) != PIPENET_NO_RESULTS)
            broken("a change drops the results", "");
    }
    check_solve(net, pipenet_solve(net));
    pipenet_free(net);
}

} // namespace pipenet::fuzz
