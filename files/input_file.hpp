// Input files read whole. A regular file is read as usual; a pipe or a device is opened without
// waiting, read when something writes to it, and refused at once when nothing does, so that a
// batch never hangs on one file.
#pragma once

#include <string>

namespace pipenet::files {

// Reads the whole file `path` into `text` (appended). Returns false with `reason` set to the
// cause ("No such file or directory", "it is a pipe and nothing writes to it") when it cannot.
bool read_input_file(const std::string& path, std::string& text, std::string& reason);

} // namespace pipenet::files
