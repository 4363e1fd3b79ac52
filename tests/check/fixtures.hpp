// Small input files for the check tests: the worked four-node loops of both programs, built
// column by column, and a source of bytes in memory that can be read again from the start.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "check/check_input.hpp"

namespace pipenet::testing {

// text right-justified in width columns.
inline std::string pad(std::string_view text, std::size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + std::string(text);
}

// Fields of ten columns each.
inline std::string row(std::initializer_list<std::string_view> fields) {
    std::string line;
    for (std::string_view f : fields) line += pad(f, 10);
    return line;
}

using Lines = std::vector<std::string>;

// lamnet: 4 nodes on an 80 x 60 rectangle, 4 pipes, 2 known discharges, a known head at node 1.
inline Lines lamnet_loop() {
    return {row({"4", "4", "2", "1", "97900."}), row({"1", "0.00", "0.00"}),
            row({"2", "80.00", "0.00"}),         row({"3", "80.00", "60.00"}),
            row({"4", "0.00", "60.00"}),         row({"1", "1", "2", "0.20000"}),
            row({"2", "2", "3", "0.15000"}),     row({"3", "1", "4", "0.15000"}),
            row({"4", "4", "3", "0.20000"}),     pad("3", 10) + pad("-0.6000", 12),
            pad("4", 10) + pad("-0.2000", 12),   row({"1", "120.0000"})};
}

// turbnet: the same loop in metres, with a fifth pipe across it.
inline Lines turbnet_loop() {
    return {row({"4", "5", "3", "1", "20", "0.0000010"}) + pad("130.0000000", 15),
            row({"1", "0.00", "0.00"}),
            row({"2", "600.00", "0.00"}),
            row({"3", "600.00", "400.00"}),
            row({"4", "0.00", "400.00"}),
            row({"1", "1", "2", "0.30000"}),
            row({"2", "2", "3", "0.20000"}),
            row({"3", "1", "4", "0.25000"}),
            row({"4", "4", "3", "0.20000"}),
            row({"5", "2", "4", "0.15000"}),
            pad("2", 10) + pad("-0.0300", 12),
            pad("3", 10) + pad("-0.0500", 12),
            pad("4", 10) + pad("-0.0200", 12),
            row({"1", "50.0000"})};
}

inline std::string join(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + '\n';
    return text;
}

// The bytes of a file in memory; every open() reads them from the start.
class MemoryOpener final : public check::SourceOpener {
public:
    explicit MemoryOpener(std::string bytes) : bytes_(std::move(bytes)) {}
    ByteSource* open() override {
        source_.emplace(bytes_.data(), bytes_.size());
        return &*source_;
    }

private:
    std::string bytes_;
    std::optional<MemorySource> source_;
};

inline check::CheckResult check_text(Program program, std::string bytes,
                                     check::RecordObserver* observer = nullptr) {
    MemoryOpener opener(std::move(bytes));
    check::CheckResult result;
    check::check_input(program, opener, observer, result);
    return result;
}

} // namespace pipenet::testing
