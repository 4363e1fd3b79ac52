#include "report/console_events.hpp"

#include <csignal>
#include <pthread.h>

namespace pipenet {

namespace {

sigset_t console_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGQUIT);
    sigaddset(&set, SIGHUP);
    return set;
}

void* wait_for_event(void* argument) {
    auto* io = static_cast<RecordIo*>(argument);
    sigset_t set = console_signals();
    int signal_number = 0;
    while (sigwait(&set, &signal_number) != 0) {
    }
    io->console_event(signal_number);
}

} // namespace

ConsoleEvents::ConsoleEvents(RecordIo& io) : io_(io) {
    // A report stream whose reader has gone must fail its write, not kill the run silently.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t set = console_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, 64 * 1024);
    pthread_t thread;
    pthread_create(&thread, &attributes, wait_for_event, &io_);
    pthread_attr_destroy(&attributes);
}

} // namespace pipenet
