// A RecordIo whose report and error streams land in strings and whose console is a block of
// memory, for tests of the routines that write to the report.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "report/record_io.hpp"

namespace pipenet::testing {

class AppendingSink final : public ByteSink {
public:
    explicit AppendingSink(std::string& text) : text_(text) {}
    bool write(const char* data, std::size_t size) override {
        text_.append(data, size);
        return true;
    }

private:
    std::string& text_;
};

// The record layer keeps large buffers, so a MemoryReport lives on the heap (see make()).
struct MemoryReport {
    explicit MemoryReport(std::string_view console_text = {}) : console(console_text) {}

    std::string report;
    std::string errors;
    AppendingSink report_sink{report};
    AppendingSink error_sink{errors};
    MemorySource console;
    RecordIo io{report_sink, error_sink, console};

    // Everything written to the report so far.
    const std::string& text() {
        io.flush_report();
        return report;
    }

    static std::unique_ptr<MemoryReport> make(std::string_view console_text = {}) {
        return std::make_unique<MemoryReport>(console_text);
    }
};

} // namespace pipenet::testing
