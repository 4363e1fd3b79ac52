// The state behind a pipenet_model handle, shared by the model calls and by pipenet_network,
// which analyses its network on the model in double precision by default.
#pragma once

#include <vector>

#include "analysis/analyse.hpp"
#include "model/network_model.hpp"
#include "pipenet/pipenet.h"

struct pipenet_model {
    pipenet::model::Model model;
    pipenet::analysis::Settings settings;
    pipenet::analysis::Solver solver;
    pipenet::analysis::Result result;
    std::vector<double> last_heads; // a re-solve starts from the last solved heads
    bool has_results = false;
};

namespace pipenet {

// Analyses the model as it stands, keeping the last heads for the next start; the status of
// the outcome (PIPENET_OUT_OF_MEMORY when memory runs out).
pipenet_status solve_model(pipenet_model& m);

} // namespace pipenet
