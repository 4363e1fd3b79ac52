// Every value the check reads is the value the programs store: formatted under the echo
// layouts, the check's values give the echo lines of every end-to-end case's expected report.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "report/layouts.hpp"
#include "tests/check/fixtures.hpp"
#include "tests/report/test_streams.hpp"

namespace pipenet::testing {
namespace {

struct SeenRecord {
    check::Group group;
    std::vector<check::FieldView> fields; // text views are not kept past the record
};

class Collector final : public check::RecordObserver {
public:
    void record(const check::RecordView& record) override {
        if (record.group == check::Group::after_records) return;
        SeenRecord seen{record.group, {record.fields.begin(), record.fields.end()}};
        for (auto& f : seen.fields) f.text = {};
        records.push_back(std::move(seen));
    }
    std::vector<SeenRecord> records;
};

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The echo lines of the records read before the run would end, group by group.
class EchoWriter {
public:
    EchoWriter() : report_(text_), errors_(ignored_), io_(report_, errors_, console_) {}

    template <class... Values>
    void line(const Layout& layout, Values... values) {
        write_record(io_, layout, values...);
    }
    std::string take() {
        io_.flush_report();
        return std::exchange(text_, {});
    }

private:
    std::string text_;
    std::string ignored_;
    StringSink report_;
    StringSink errors_;
    MemorySource console_{std::string_view{}};
    RecordIo io_;
};

bool all_valid(const SeenRecord& r) {
    return std::all_of(r.fields.begin(), r.fields.end(), [](const auto& f) { return f.valid; });
}

// Echo blocks of one case that the expected report must hold, each as one piece of text: the
// header, then each group of records read before the run would end.
std::vector<std::string> echo_blocks(Program program, const std::vector<SeenRecord>& records,
                                     std::int32_t node_count) {
    std::vector<std::string> blocks;
    EchoWriter echo;
    if (records.empty() || !all_valid(records[0])) return blocks;
    const auto& h = records[0].fields;
    if (program == Program::lamnet)
        echo.line(layouts::lamnet_input_data, h[0].integer, h[1].integer, h[2].integer,
                  h[3].integer, h[4].real);
    else
        echo.line(layouts::turbnet_input_data, h[0].integer, h[1].integer, h[2].integer,
                  h[3].integer, h[4].integer, h[5].real, h[6].real);
    blocks.push_back(echo.take());

    // turbnet echoes nodes 1 ... node_count from storage once the whole group is read: the last
    // record of a node wins, a node without one stays at 0, 0.
    const bool turbnet_nodes = program == Program::turbnet && node_count >= 1 && node_count <= 100;
    std::vector<std::pair<float, float>> stored(turbnet_nodes ? node_count + 1 : 0);
    std::int32_t node_records = 0;
    check::Group group = check::Group::header;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const SeenRecord& r = records[i];
        if (r.group != group) {
            blocks.push_back(echo.take());
            group = r.group;
        }
        if (!all_valid(r)) break; // the run ends here
        const auto& f = r.fields;
        switch (r.group) {
        case check::Group::node:
            ++node_records;
            if (program == Program::lamnet) {
                echo.line(layouts::node_line, f[0].integer, f[1].real, f[2].real);
            } else if (turbnet_nodes && f[0].integer >= 1 && f[0].integer <= node_count) {
                stored[static_cast<std::size_t>(f[0].integer)] = {f[1].real, f[2].real};
            }
            break;
        case check::Group::pipe:
            echo.line(layouts::element_line, f[0].integer, f[1].integer, f[2].integer, f[3].real);
            break;
        case check::Group::known_discharge:
            echo.line(layouts::discharge_line, f[0].integer, f[1].real);
            break;
        case check::Group::known_head:
            echo.line(layouts::boundary_line, f[0].integer, f[1].real);
            break;
        default:
            break;
        }
    }
    blocks.push_back(echo.take());
    if (turbnet_nodes && node_records == node_count) {
        bool whole_group_valid = true;
        for (const SeenRecord& r : records)
            if (r.group == check::Group::node && !all_valid(r)) whole_group_valid = false;
        if (whole_group_valid) {
            for (std::int32_t n = 1; n <= node_count; ++n)
                echo.line(layouts::node_line, n, stored[static_cast<std::size_t>(n)].first,
                          stored[static_cast<std::size_t>(n)].second);
            blocks.push_back(echo.take());
        }
    }
    std::erase(blocks, std::string{});
    return blocks;
}

TEST(EchoEquality, EveryValueMatchesTheEchoOfEveryEndToEndCase) {
    int cases = 0;
    std::size_t lines_compared = 0;
    for (Program program : {Program::lamnet, Program::turbnet}) {
        const std::string name(input_file_name(program));
        auto folder = std::filesystem::path(PIPENET_E2E_CASES) /
                      (program == Program::lamnet ? "lamnet" : "turbnet");
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            auto input = entry.path() / name;
            if (!std::filesystem::is_regular_file(input) ||
                std::filesystem::exists(entry.path() / "mode"))
                continue;
            const std::string expected = read_file(entry.path() / "expected.stdout");
            Collector collector;
            check::CheckResult result = check_text(program, read_file(input), &collector);
            for (const std::string& block :
                 echo_blocks(program, collector.records, result.node_count)) {
                EXPECT_NE(expected.find(block), std::string::npos)
                    << entry.path() << ": not in the echo:\n"
                    << block;
                lines_compared +=
                    static_cast<std::size_t>(std::count(block.begin(), block.end(), '\n'));
            }
            ++cases;
        }
    }
    EXPECT_GT(cases, 50);
    EXPECT_GT(lines_compared, 1000u);
}

} // namespace
} // namespace pipenet::testing
