// Memory streams for driving RecordIo in tests: sinks that collect what the layer writes and
// sources that hand out input in chosen pieces or fail.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include <unistd.h>

#include "report/record_io.hpp"

namespace pipenet::testing {

// Appends every byte written to a string. Two sinks may share one transcript, so that the order
// between the report and the failure reports can be checked; `tag` then marks each write.
class StringSink final : public ByteSink {
public:
    explicit StringSink(std::string& transcript, std::string tag = {})
        : transcript_(transcript), tag_(std::move(tag)) {}
    bool write(const char* data, std::size_t size) override {
        transcript_ += tag_;
        transcript_.append(data, size);
        return true;
    }

private:
    std::string& transcript_;
    std::string tag_;
};

// A sink that refuses every write with the given errno.
class FailingSink final : public ByteSink {
public:
    explicit FailingSink(int error) : error_(error) {}
    bool write(const char*, std::size_t) override {
        errno = error_;
        return false;
    }

private:
    int error_;
};

// Hands out its text at most `piece` bytes per read, so that records cross read boundaries.
class PieceSource final : public ByteSource {
public:
    PieceSource(std::string_view text, std::size_t piece) : text_(text), piece_(piece) {}
    std::ptrdiff_t read(char* buffer, std::size_t size) override {
        std::size_t n = text_.size() - position_;
        if (n > piece_) n = piece_;
        if (n > size) n = size;
        std::memcpy(buffer, text_.data() + position_, n);
        position_ += n;
        return static_cast<std::ptrdiff_t>(n);
    }

private:
    std::string_view text_;
    std::size_t piece_;
    std::size_t position_ = 0;
};

// Hands out its text, then fails with the given errno instead of reporting the end.
class FailingSource final : public ByteSource {
public:
    FailingSource(std::string_view text, int error) : text_(text), error_(error) {}
    std::ptrdiff_t read(char* buffer, std::size_t size) override {
        if (done_) {
            errno = error_;
            return -1;
        }
        done_ = true;
        std::size_t n = text_.size() < size ? text_.size() : size;
        std::memcpy(buffer, text_.data(), n);
        return static_cast<std::ptrdiff_t>(n);
    }

private:
    std::string_view text_;
    int error_;
    bool done_ = false;
};

// The full path the layer reports for a file of the current directory.
inline std::string path_in_current_directory(std::string_view name) {
    char buffer[4096];
    std::string path = ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

// A report stream, an error stream and a console, all in memory.
struct MemoryRun {
    std::string report;
    std::string errors;
    StringSink report_sink{report};
    StringSink error_sink{errors};
    MemorySource console{std::string_view{}};
    RecordIo io{report_sink, error_sink, console};

    // The report as written so far.
    const std::string& flushed_report() {
        io.flush_report();
        return report;
    }
};

} // namespace pipenet::testing
