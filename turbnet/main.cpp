#include <unistd.h>

#include "report/console_events.hpp"
#include "turbnet/turbnet.hpp"

int main() {
    pipenet::FdSink report(STDOUT_FILENO);
    pipenet::FdSink errors(STDERR_FILENO);
    pipenet::FdSource console(STDIN_FILENO);
    pipenet::RecordIo io(report, errors, console);
    pipenet::ConsoleEvents events(io);
    return pipenet::run_turbnet(io);
}
