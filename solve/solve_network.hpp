// Solves one network given as the text of its input file, on the analysis engine, and gathers
// everything pipenet writes about it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "analysis/analyse.hpp"
#include "engine/network_analysis.hpp"
#include "model/network_model.hpp"
#include "network/network_records.hpp"

#include "solve/network_result.hpp"

namespace pipenet::solve {

struct SolveSettings {
    bool report = false;         // also write the program's report into NetworkResult::report
    std::int32_t print_flag = 0; // turbnet's print flag, for the report
    bool renumber = false;       // programs: analyse with the nodes renumbered to narrow the band
    Arithmetic arithmetic = Arithmetic::double_precision;
    analysis::Settings tolerances; // double precision: when the passes stop
    std::int64_t time = 0;         // .inp files: seconds after the start, the period analysed
};

// What a thread keeps from one network to the next, so that a run of networks does not build
// again what they share: the double-precision analysis's topology and symbolic factorization,
// kept while the next network has the same pattern of pipes and known heads; the storage of the
// records read, of the model made from them, and of the programs' engine, laminar and
// turbulent. Results do not depend on what it held before.
struct Workspace {
    analysis::Solver solver;
    NetworkRecords records;
    model::Model model;
    std::array<std::unique_ptr<NetworkAnalysis>, 2> engines;
};

// Never throws for anything in `text`: a network the programs would stop on gives its verdict
// and its messages. The text is read once into records; the engine reads the text itself only
// when the records cannot stand for it (a negative count, a record that cannot be read), and
// settings.report writes the programs' report from it.
NetworkResult solve_network(std::string_view file, std::string_view text, Program program,
                            const SolveSettings& settings, Workspace* workspace = nullptr);
// The same for a text handed over: it is freed as soon as it is read, unless a report needs it,
// so that a large network's file does not sit in memory through the analysis.
NetworkResult solve_network(std::string_view file, std::string&& text, Program program,
                            const SolveSettings& settings, Workspace* workspace = nullptr);

// The network of records already read from a file (read_alike_by_program), without a report.
NetworkResult solve_records(std::string_view file, const NetworkRecords& records,
                            const SolveSettings& settings);

// A .inp file, in double precision on the model at the period of settings.time: results under
// the file's IDs, with elevations and pressures. Never throws for anything in `text`.
// read_model, when given, receives the model as read (as far as it could be read), so that a
// caller draws the network the analysis had without reading the text again.
NetworkResult solve_inp(std::string_view file, std::string_view text, const SolveSettings& settings,
                        model::Model* read_model = nullptr, Workspace* workspace = nullptr);
// The same for a text handed over: it is freed once read, before the analysis.
NetworkResult solve_inp(std::string_view file, std::string&& text, const SolveSettings& settings,
                        model::Model* read_model = nullptr, Workspace* workspace = nullptr);

// The verdict for a file that could not be read at all, with the reason.
NetworkResult unreadable_file(std::string_view file, Program program, std::string reason);

} // namespace pipenet::solve
