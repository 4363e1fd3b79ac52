// Steady flow in a model network, in double precision: Newton's method on the heads of the free
// nodes with a line search on the residual, each pass solved by a sparse Cholesky factorization
// whose symbolic part is computed once per topology. Results and findings are returned as values.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "model/findings.hpp"
#include "model/network_model.hpp"

namespace pipenet::analysis {

struct Settings {
    // Passes stop when every free node's imbalance (discharge unit) is within flow_tolerance and
    // the last pass moved no head by more than head_tolerance (length unit).
    double flow_tolerance = 1.0e-6;
    double head_tolerance = 1.0e-4;
    std::int32_t max_passes = 50;
    // From this many free nodes on, CHOLMOD factorizes the Newton matrix instead of Eigen's
    // simplicial factorization (the crossing measured on looped grids, bench/factorizations);
    // read when a topology is first seen.
    std::int64_t large_network_rows = 50000;
    // From this many free nodes on, the matrix is ordered by METIS's nested dissection and its
    // numeric factorization is SparseCholesky's own (see analysis/sparse_cholesky.hpp).
    std::int64_t nested_dissection_rows = 600000;
    // Fill the seconds of Result::timings (a system call per stage and pass; the counts are
    // always kept).
    bool timed = false;
};

enum class Outcome : std::uint8_t {
    solved,        // converged, and the final check of every balance and law holds
    not_converged, // the passes ran out, or the final check failed
    singular,      // no head is determined, or the matrix lost its positive definiteness
    refused,       // a link's values make its law meaningless
};

struct Pass {
    std::int32_t pass = 0;        // 0: the start solve, the links taken as linear
    double max_imbalance = 0.0;   // after the pass
    double max_head_change = 0.0; // the step taken
    double step = 1.0;            // the fraction of the Newton step the line search kept
};

// Where the time of one run went, in seconds of processor time of the calling thread (with
// Settings::timed, else 0), and how often each step ran.
struct Timings {
    double topology = 0.0;  // free nodes, matrix pattern (once per topology)
    double ordering = 0.0;  // fill-reducing ordering and symbolic factorization (once per topology)
    double factorize = 0.0; // numeric factorizations
    double solve = 0.0;     // triangular solves
    double evaluate = 0.0;  // the laws, the residuals and the matrix values
    std::int32_t factorizations = 0;
    std::int32_t solves = 0; // pairs of triangular solves
};

// The state of a link in a result: a pipe open or closed (by its status, or a check valve
// closed against reverse flow); a valve also active (holding its setting, or following its
// setting's or curve's loss).
enum class LinkState : std::uint8_t { open, closed, active };

// Rounds of passes, each followed by the valves' state rules, before the states are called
// unsettled.
inline constexpr std::int32_t max_valve_rounds = 30;

struct Result {
    Outcome outcome = Outcome::refused;
    // Per node: whether it was solved (false: left out, joined to no known head), its head and
    // its net discharge (what its links carry away; at a known head what the source supplies).
    std::vector<bool> solved;
    std::vector<double> heads;
    std::vector<double> nodal_discharge;
    // Per link, from the start node to the end node; 0 for a closed link.
    std::vector<double> flows;
    std::vector<LinkState> states; // per link

    std::vector<Pass> passes;
    std::vector<model::Finding> findings;
    double max_imbalance = 0.0;   // the final check's largest imbalance over the free nodes
    std::int32_t worst_node = -1; // its index, or -1
    Timings timings;
};

// Keeps what depends on the topology alone (free nodes, matrix pattern, symbolic factorization)
// so that a re-solve after a change of values reuses it and starts from the last heads.
class Solver {
public:
    Solver();
    ~Solver();
    Solver(const Solver&) = delete;
    Solver& operator=(const Solver&) = delete;

    // Analyses `model`. `start`, when not empty, gives a head for every node to start from (a
    // previous result); otherwise the start is the solution with every link taken as linear.
    Result run(const model::Model& model, const Settings& settings,
               std::span<const double> start = {});
    // The same into `result`, whose storage a caller that analyses again and again keeps.
    void run(const model::Model& model, const Settings& settings, std::span<const double> start,
             Result& result);

    struct Topology; // what run() keeps between calls
    struct Laws;     // each link's law and the values it was worked out from

private:
    std::unique_ptr<Topology> topology_;
    std::unique_ptr<Laws> laws_;
};

// One analysis, with nothing kept.
Result analyse(const model::Model& model, const Settings& settings = {});

} // namespace pipenet::analysis
