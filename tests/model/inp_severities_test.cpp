// Every message the .inp reader, import and the model give is an entry of the message table and
// carries that entry's severity: a place that states a severity of its own shows up here.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exchange/inp_import.hpp"
#include "exchange/inp_reader.hpp"
#include "model/read_inp.hpp"

namespace pipenet::model {
namespace {

using exchange::Diagnostic;
using Id = messages::Id;
using Read = std::function<void(const std::string&, std::vector<Diagnostic>&)>;

void read_only(const std::string& text, std::vector<Diagnostic>& diagnostics) {
    exchange::InpNetwork network;
    exchange::read_inp(text, network, diagnostics);
}

void import(const std::string& text, std::vector<Diagnostic>& diagnostics) {
    std::string input, map_csv;
    exchange::ImportedNetwork imported;
    exchange::import_inp_text(text, input, map_csv, imported, diagnostics);
}

void model(const std::string& text, std::vector<Diagnostic>& diagnostics) {
    Model m;
    read_inp_model(text, "net.inp", 0, m, diagnostics);
}

const std::string base = "[JUNCTIONS]\n J1 10 2\n J2 5 1\n[RESERVOIRS]\n R 50\n"
                         "[PIPES]\n P1 R J1 100 200 120\n";

TEST(InpSeverities, EachMessageHasItsTableEntrysSeverity) {
    struct Case {
        const char* what;
        Read read;
        std::string text;
        std::vector<Id> expected; // among the messages, with one severity of each kind at least
    };
    const std::vector<Case> cases = {
        {"reader",
         read_only,
         "stray text\n" + base + "[FOO]\n x\n P1 J1 J2 1 1 1\n J1 3\n[END]\n more\n",
         {Id::text_outside_section, Id::unknown_section, Id::section_after_end}},
        {"reader faults",
         read_only,
         base + " P2 J1 J2 100 200 120\n P2 J1 J2 100 200 120\n P3 J1 J9 1 1 1\n"
                "[OPTIONS]\n Units SI\n",
         {Id::duplicate_link, Id::unknown_node, Id::units_si_as_lps}},
        {"import",
         import,
         base + " P2 J1 J2 100 200 120 0.5\n P3 J2 J2 10 100 120\n P4 J1 J2 10 100 120 0 Closed\n",
         {Id::minor_loss_dropped, Id::self_loop, Id::closed_pipe_left_out, Id::roughness_chosen}},
        {"import refusals",
         import,
         base + "[VALVES]\n V J1 J2 100 PRV 5 0\n[PUMPS]\n U J1 J2 POWER 5\n",
         {Id::valve_refused, Id::pump_refused}},
        {"model",
         model,
         base + " P2 J1 J2 100 200 120 0 Closed\n P3 J2 J2 10 100 120\n"
                "[VALVES]\n V J1 J2 100 PRV -5 0\n",
         {Id::closed_link_no_flow, Id::self_loop, Id::valve_negative_setting}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Diagnostic> diagnostics;
        c.read(c.text, diagnostics);
        std::vector<Id> ids;
        for (const Diagnostic& d : diagnostics) {
            SCOPED_TRACE(d.text);
            ids.push_back(d.id);
            // A message from an entry of its own: the generic entries are for the programs'
            // free-worded read errors only.
            EXPECT_NE(d.id, Id::inp_warning) << "a generic entry";
            EXPECT_NE(d.id, Id::inp_note) << "a generic entry";
            EXPECT_NE(d.id, Id::inp_error) << "a generic entry";
            EXPECT_EQ(messages::severity_name(d.severity),
                      messages::severity_name(messages::entry(d.id).severity));
        }
        for (Id id : c.expected)
            EXPECT_NE(std::find(ids.begin(), ids.end(), id), ids.end())
                << "missing " << static_cast<int>(id);
    }
}

} // namespace
} // namespace pipenet::model
