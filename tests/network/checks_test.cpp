// The checks a driver makes before computing: capacities first, then an empty network, then
// every number outside its count, each refusal being one framed message.
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "frontend/messages.hpp"
#include "network/checks.hpp"
#include "network/read_input.hpp"
#include "report/test_streams.hpp"

namespace pipenet {
namespace {

// The checks as the programs run them: the fault's message in the report (both programs word
// these alike). Returns whether the network passes.
[[maybe_unused]] bool check_and_report(RecordIo& io, const Network& net) {
    const Fault fault = check_network(net);
    if (fault) write_fault(io, Program::lamnet, fault);
    return !fault;
}

using testing::MemoryRun;

// ---- Counts and capacities, set directly ---------------------------------------------------

struct CountCase {
    std::string_view name;
    std::function<void(Network&)> change;
    std::string_view message; // empty: the network passes
};

std::ostream& operator<<(std::ostream& os, const CountCase& c) {
    return os << c.name;
}

// Two nodes joined by one pipe, one known head.
std::unique_ptr<FixedNetwork> small_network() {
    auto net = std::make_unique<FixedNetwork>();
    net->node_count = 2;
    net->element_count = 1;
    net->known_head_count = 1;
    net->half_band = 2;
    net->connectivity(1, 1) = 1;
    net->connectivity(2, 1) = 2;
    return net;
}

class CapacityCheckTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(CapacityCheckTest, FirstFailingCheckIsReported) {
    const CountCase& c = GetParam();
    auto net = small_network();
    c.change(*net);
    MemoryRun run;
    bool passes = check_and_report(run.io, *net);
    EXPECT_EQ(run.flushed_report(), c.message);
    EXPECT_EQ(passes, c.message.empty());
}

const NumberFault node_fault{RecordKind::node, 7, 0};

INSTANTIATE_TEST_SUITE_P(
    Network, CapacityCheckTest,
    ::testing::Values(CountCase{"valid", [](Network&) {}, ""},
                      CountCase{"every_capacity_exactly_full",
                                [](Network& n) {
                                    n.node_count = 100;
                                    n.element_count = 100;
                                    n.known_head_count = 30;
                                    n.half_band = 20;
                                    for (std::int32_t e = 1; e <= 100; ++e) {
                                        n.connectivity(1, e) = e;
                                        n.connectivity(2, e) = e < 81 ? e + 19 : 100;
                                    }
                                },
                                ""},
                      CountCase{"nodes_first",
                                [](Network& n) {
                                    n.node_count = 101;
                                    n.element_count = 101;
                                    n.known_head_count = 31;
                                    n.half_band = 21;
                                },
                                "\n  **** too many nodes ****  \n\n"},
                      CountCase{"elements_second",
                                [](Network& n) {
                                    n.element_count = 101;
                                    n.known_head_count = 31;
                                    n.half_band = 21;
                                },
                                "\n  **** too many elements ****  \n\n"},
                      CountCase{"boundary_nodes_third",
                                [](Network& n) {
                                    n.known_head_count = 31;
                                    n.half_band = 21;
                                    n.node_count = 0;
                                },
                                "\n  **** too many boundary nodes ****  \n\n"},
                      CountCase{"half_band_fourth",
                                [](Network& n) {
                                    n.half_band = 21;
                                    n.node_count = 0;
                                },
                                "\n  **** maximum half-bandwidth exceeded ****  \n\n"},
                      CountCase{"no_nodes_before_numbers",
                                [](Network& n) {
                                    n.node_count = 0;
                                    n.first_node_fault = node_fault;
                                },
                                "\n  **** no nodes in the network ****  \n\n"},
                      CountCase{"negative_node_count", [](Network& n) { n.node_count = -5; },
                                "\n  **** no nodes in the network ****  \n\n"},
                      CountCase{"numbers_after_capacities",
                                [](Network& n) {
                                    n.half_band = 21;
                                    n.first_node_fault = node_fault;
                                },
                                "\n  **** maximum half-bandwidth exceeded ****  \n\n"}),
    [](const ::testing::TestParamInfo<CountCase>& info) { return std::string(info.param.name); });

// ---- Numbers outside their counts, through the reader --------------------------------------

struct NumberCase {
    std::string_view name;
    std::string_view records; // everything after the header
    std::string_view header;
    std::string_view message;
};

std::ostream& operator<<(std::ostream& os, const NumberCase& c) {
    return os << c.name;
}

constexpr std::string_view two_nodes_one_pipe =
    "         2         1         1         1       1.0\n";

class NumberCheckTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberCheckTest, FirstFaultInCheckOrderIsReported) {
    const NumberCase& c = GetParam();
    std::string input = std::string(c.header) + std::string(c.records);
    MemorySource source(input);
    MemoryRun run;
    run.io.use_input_source(source);
    auto net = std::make_unique<FixedNetwork>();
    ASSERT_NO_THROW(read_input(run.io, Program::lamnet, *net)) << run.errors;
    std::size_t echo = run.flushed_report().size();
    bool passes = check_and_report(run.io, *net);
    EXPECT_EQ(run.flushed_report().substr(echo), c.message);
    EXPECT_EQ(passes, c.message.empty());
    EXPECT_EQ(run.errors, "");
}

INSTANTIATE_TEST_SUITE_P(
    Network, NumberCheckTest,
    ::testing::Values(
        NumberCase{"valid",
                   "         1\n         2       1.0\n"
                   "         1         1         2       0.1\n"
                   "         2       1.0\n         1       5.0\n",
                   two_nodes_one_pipe, ""},
        NumberCase{"node_beyond_count",
                   "         1\n         3       1.0\n"
                   "         1         1         2       0.1\n"
                   "         2       1.0\n         1       5.0\n",
                   two_nodes_one_pipe,
                   "\n  **** node number out of range in node record :          3 ****  \n\n"},
        NumberCase{"first_node_fault_in_file_order",
                   "         0\n       101       1.0\n"
                   "         1         1         2       0.1\n"
                   "         2       1.0\n         1       5.0\n",
                   two_nodes_one_pipe,
                   "\n  **** node number out of range in node record :          0 ****  \n\n"},
        NumberCase{"negative_node",
                   "-999999999\n         2\n"
                   "         1         1         2       0.1\n"
                   "         2       1.0\n         1       5.0\n",
                   two_nodes_one_pipe,
                   "\n  **** node number out of range in node record : -999999999 ****  \n\n"},
        NumberCase{"node_before_head",
                   "2147483647\n         2\n"
                   "         1         1         2       0.1\n"
                   "         2       1.0\n         9       5.0\n",
                   two_nodes_one_pipe,
                   "\n  **** node number out of range in node record : 2147483647 ****  \n\n"},
        // Element 2 is beyond the count and element 1 never given (its ends stay 0): the
        // element record is refused before the pipe ends are looked at.
        NumberCase{"element_before_pipe_end",
                   "         1\n         2\n"
                   "         2         1         2       0.1\n"
                   "         2       1.0\n         1       5.0\n",
                   two_nodes_one_pipe,
                   "\n  **** element number out of range in element record :          2 ****  "
                   "\n\n"},
        NumberCase{"end_node_beyond_count",
                   "         1\n         2\n"
                   "         1         1         3       0.1\n"
                   "         0       1.0\n         1       5.0\n",
                   two_nodes_one_pipe,
                   "\n  **** node number out of range at an end of element    1 :          3 "
                   "****  \n\n"},
        NumberCase{"start_node_zero",
                   "         1\n         2\n"
                   "         1         0         2       0.1\n"
                   "         2       1.0\n         1       5.0\n",
                   two_nodes_one_pipe,
                   "\n  **** node number out of range at an end of element    1 :          0 "
                   "****  \n\n"},
        NumberCase{"element_never_given",
                   "         1\n         2\n"
                   "         1         1         2       0.1\n"
                   "         1         2         1       0.1\n"
                   "         2       1.0\n         1       5.0\n",
                   "         2         2         1         1       1.0\n",
                   "\n  **** node number out of range at an end of element    2 :          0 "
                   "****  \n\n"},
        NumberCase{"discharge_before_head",
                   "         1\n         2\n"
                   "         1         1         2       0.1\n"
                   "        -4       1.0\n         3       5.0\n",
                   two_nodes_one_pipe,
                   "\n  **** node number out of range in known-discharge record :         -4 "
                   "****  \n\n"},
        NumberCase{"head_beyond_count",
                   "         1\n         2\n"
                   "         1         1         2       0.1\n"
                   "         2       1.0\n         3       5.0\n",
                   two_nodes_one_pipe,
                   "\n  **** node number out of range in known-head record :          3 ****  "
                   "\n\n"}),
    [](const ::testing::TestParamInfo<NumberCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace pipenet
