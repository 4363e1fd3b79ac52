#include <unistd.h>

#include "lamnet/lamnet.hpp"
#include "report/console_events.hpp"

int main() {
    pipenet::FdSink report(STDOUT_FILENO);
    pipenet::FdSink errors(STDERR_FILENO);
    pipenet::FdSource console(STDIN_FILENO);
    pipenet::RecordIo io(report, errors, console);
    pipenet::ConsoleEvents events(io);
    return pipenet::run_lamnet(io);
}
