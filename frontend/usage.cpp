#include "frontend/usage.hpp"

namespace pipenet {

std::string_view usage_line(Program program) {
    if (program == Program::lamnet)
        return "usage: lamnet (no arguments): reads input-lin.dat in the current folder and "
               "writes the report to standard output; see man lamnet";
    return "usage: turbnet (no arguments): reads input-nonlin.dat in the current folder and the "
           "print flag from standard input, and writes the report to standard output; see man "
           "turbnet";
}

int refuse_arguments(int argc, Program program, ByteSink& errors) {
    if (argc <= 1) return -1;
    std::string_view line = usage_line(program);
    // The status says what happened even if standard error is closed.
    if (errors.write(line.data(), line.size())) errors.write("\n", 1);
    return usage_status;
}

} // namespace pipenet
