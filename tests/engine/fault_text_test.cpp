// A fault's message as a value beside results is the line the program's report gives for it:
// the same words, the same padded numbers, without the report's blank lines and margins.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frontend/messages.hpp"
#include "report/layouts.hpp"

namespace pipenet {
namespace {

class TextSink final : public ByteSink {
public:
    bool write(const char* data, std::size_t size) override {
        text.append(data, size);
        return true;
    }
    std::string text;
};

// The report's lines that are not blank, each without its leading and trailing blanks.
std::vector<std::string> report_lines(const std::string& report) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < report.size()) {
        std::size_t end = report.find('\n', start);
        if (end == std::string::npos) end = report.size();
        const std::string line = report.substr(start, end - start);
        const std::size_t first = line.find_first_not_of(' ');
        if (first != std::string::npos)
            lines.push_back(line.substr(first, line.find_last_not_of(' ') - first + 1));
        start = end + 1;
    }
    return lines;
}

template <typename Write>
std::vector<std::string> written(Write write) {
    TextSink report;
    TextSink errors;
    MemorySource console(std::string_view{});
    auto io = std::make_unique<RecordIo>(report, errors, console);
    write(*io);
    io->flush_report();
    return report_lines(report.text);
}

TEST(FaultText, EveryFaultOfEitherProgramReadsAsItsReportLine) {
    for (Program program : {Program::lamnet, Program::turbnet}) {
        for (int code = static_cast<int>(FaultCode::too_many_nodes);
             code <= static_cast<int>(FaultCode::zero_diameter); ++code) {
            // Numbers of several widths, one too wide for its field.
            for (const auto& [number, element] :
                 {std::pair{7, 3}, std::pair{-12345, 99999}, std::pair{2147483647, 123456}}) {
                const Fault fault{static_cast<FaultCode>(code), number, element};
                const auto lines = written([&](RecordIo& io) { write_fault(io, program, fault); });
                ASSERT_EQ(lines.size(), 1u);
                EXPECT_EQ(fault_text(program, fault), lines[0])
                    << "program " << static_cast<int>(program) << ", code " << code;
            }
        }
    }
}

TEST(FaultText, SingularRowReadsAsItsReportLine) {
    for (std::int32_t row : {1, 42, 99999, 100000}) {
        const auto lines =
            written([&](RecordIo& io) { write_record(io, layouts::singularity, row); });
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(singular_text(row), lines[0]);
    }
}

TEST(FaultText, TurbnetPipeMessagesKeepTheirOwnSpacing) {
    const Fault fault{FaultCode::zero_length, 3, 3};
    EXPECT_EQ(fault_text(Program::lamnet, fault), "**** zero length for element :     3 ****");
    EXPECT_EQ(fault_text(Program::turbnet, fault), "**** zero length for element  :     3 ****");
}

} // namespace
} // namespace pipenet
