#include <array>
#include <cmath>

#include "fuzz/checks.hpp"
#include "fuzz/harness.hpp"
#include "report/layouts.hpp"

namespace pipenet::fuzz {

namespace {

struct InputLayout {
    const Layout* layout;
    int unit;
};

// Every layout either program reads with: the input file's records and the console's print flag.
constexpr std::array<InputLayout, 7> input_layouts = {{
    {&layouts::lamnet_header, 2},
    {&layouts::turbnet_header, 2},
    {&layouts::node_record, 2},
    {&layouts::element_record, 2},
    {&layouts::discharge_record, 2},
    {&layouts::head_record, 2},
    {&layouts::print_flag_record, 5},
}};

} // namespace

void read_records(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return;
    const InputLayout& chosen = input_layouts[data[0] % input_layouts.size()];
    const int repeats = 1 + data[1] % 8;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);

    const bool on_console = chosen.unit == 5;
    MemorySource file(on_console ? std::string_view{} : bytes);
    MemorySource console(on_console ? bytes : std::string_view{});
    ReportTail report;
    ErrorLines errors;
    RecordIo io(report, errors, console);
    io.use_input_source(file);

    int status = 0;
    try {
        io.open_input("fuzz-records.dat");
        // One reader per group of records, as the programs read, until the stream runs out.
        for (;;) {
            LayoutReader reader(io, chosen.unit, *chosen.layout);
            for (int r = 0; r < repeats; ++r) {
                for (int i = 0; i < chosen.layout->size(); ++i) {
                    ItemKind kind = (*chosen.layout)[i].kind;
                    if (kind == ItemKind::integer) {
                        (void)reader.get_integer();
                    } else if (kind == ItemKind::real) {
                        if (!std::isfinite(reader.get_real()))
                            broken("input gave a real that is not finite", "");
                    } else if (kind == ItemKind::group_open) {
                        broken("input layout with a group", chosen.layout->text());
                    }
                }
            }
        }
    } catch (const RunEnded& ended) {
        status = ended.status;
    }
    std::vector<std::string_view> lines = errors.lines();
    if (lines.size() != 1) broken("not exactly one failure report", std::to_string(lines.size()));
    check_severe_line(lines[0], status, "fuzz-records.dat", on_console);
    if (on_console != (lines[0].find("unit 5") != std::string_view::npos))
        broken("failure reported on the wrong stream", lines[0]);
}

} // namespace pipenet::fuzz
