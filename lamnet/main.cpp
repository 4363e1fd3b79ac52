#include <unistd.h>

#include "frontend/usage.hpp"
#include "lamnet/lamnet.hpp"
#include "report/console_events.hpp"

int main(int argc, char**) {
    pipenet::FdSink errors(STDERR_FILENO);
    // Before anything opens the input file, which a run creates when it is missing.
    if (int status = pipenet::refuse_arguments(argc, pipenet::Program::lamnet, errors); status >= 0)
        return status;
    pipenet::FdSink report(STDOUT_FILENO);
    pipenet::FdSource console(STDIN_FILENO);
    pipenet::RecordIo io(report, errors, console);
    pipenet::ConsoleEvents events(io);
    return pipenet::run_lamnet(io);
}
