// Output files that never lose data. A regular file (or a new one) is written as a temporary
// file in the target's folder, synced, and renamed over the target only once it is complete:
// a full disk, a failed write or a killed run leaves the old file whole. A link is followed, so
// that the file it names is replaced and the link stays. A pipe or a device is written in place.
// No output may be one of the command's inputs, nor another of its outputs.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

#include "files/temporary_files.hpp"

namespace pipenet::files {

// The files a command reads and the ones it will write, by path and by device and inode.
class FileClaims {
public:
    // An input. A file that does not exist is kept by its path alone.
    void add_input(const std::string& path);
    // Claims `path` as an output. False, with `reason` set, when it is one of the inputs or an
    // output already claimed (as a path, or as the same file through a link or another name).
    // Standard output ("-") may be claimed by any number of outputs.
    bool claim_output(const std::string& path, std::string& reason);

private:
    struct Claim {
        std::string path;
        bool input = false;
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
    };
    std::vector<Claim> claims_;
};

class OutputFile {
public:
    // With `temporaries`, the temporary file is removed when a signal ends the run.
    explicit OutputFile(TemporaryFiles* temporaries = nullptr) : temporaries_(temporaries) {}
    // An output left unfinished is dropped: its temporary file is removed, the target untouched.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Starts writing `path` ("-": standard output). Returns false with `reason` set when it
    // cannot be written (a folder, a file without write permission, a missing folder, a pipe
    // that nothing reads).
    bool open(const std::string& path, std::string& reason);
    bool is_open() const { return fd_ >= 0; }
    // Appends `text`; the first failure is kept for finish().
    void write(std::string_view text);
    // Completes the output (the temporary file synced, closed and renamed over the target).
    // Returns false with `reason` set when any write or any of these steps failed; a replaced
    // file is then as it was.
    bool finish(std::string& reason);

private:
    void fail();
    void drop();

    TemporaryFiles* temporaries_;
    std::string path_;      // as given
    std::string target_;    // the file replaced: `path_` with its links followed
    std::string temporary_; // empty when written in place
    int fd_ = -1;
    bool failed_ = false;
    int error_ = 0;
};

// Writes `text` as the whole of `path` through an OutputFile.
bool write_output_file(const std::string& path, std::string_view text, std::string& reason,
                       TemporaryFiles* temporaries = nullptr);

// Writes each (path, text) pair whose path is not empty: every file is complete before the first
// is renamed over its target, so that a failure leaves all of them as they were (short of a
// rename that fails after another has been made).
struct OutputText {
    std::string path;
    std::string_view text;
};
bool write_outputs(std::initializer_list<OutputText> outputs, std::string& reason,
                   TemporaryFiles* temporaries = nullptr);

} // namespace pipenet::files
