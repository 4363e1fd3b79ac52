#include "files/temporary_files.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace pipenet::files {

TemporaryFiles::TemporaryFiles() {
    sigemptyset(&blocked_);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the parent has us ignore (nohup, a background job) stays ignored.
        struct sigaction action {};
        if (::sigaction(signal_number, nullptr, &action) == 0 && action.sa_handler == SIG_IGN)
            continue;
        sigaddset(&blocked_, signal_number);
    }
    pthread_sigmask(SIG_BLOCK, &blocked_, &previous_);
    signals_ = ::signalfd(-1, &blocked_, SFD_CLOEXEC);
    if (signals_ < 0 || ::pipe2(stop_, O_CLOEXEC) != 0) {
        // Without the means to wait, the signals keep their usual effect; files may be left.
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
        return;
    }
    waiter_ = std::thread([this] { wait_for_signal(); });
}

TemporaryFiles::~TemporaryFiles() {
    if (waiter_.joinable()) {
        ::close(stop_[1]);
        waiter_.join();
        ::close(stop_[0]);
        ::close(signals_);
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    } else {
        for (int fd : {signals_, stop_[0], stop_[1]})
            if (fd >= 0) ::close(fd);
    }
}

void TemporaryFiles::add(const std::string& path) {
    const std::lock_guard lock(mutex_);
    paths_.push_back(path);
}

bool TemporaryFiles::settle(const std::string& path, const std::string& target) {
    const std::lock_guard lock(mutex_);
    const bool renamed = !target.empty() && ::rename(path.c_str(), target.c_str()) == 0;
    const int error = errno;
    if (!renamed) ::unlink(path.c_str());
    std::erase(paths_, path);
    errno = error;
    return renamed;
}

void TemporaryFiles::forget(const std::string& path) {
    const std::lock_guard lock(mutex_);
    std::erase(paths_, path);
}

void TemporaryFiles::wait_for_signal() {
    pollfd waiting[2] = {{signals_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    for (;;) {
        if (::poll(waiting, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if ((waiting[1].revents & (POLLIN | POLLHUP)) != 0) return;
        signalfd_siginfo info{};
        if (::read(signals_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
        const int signal_number = static_cast<int>(info.ssi_signo);
        // The lock is never released: the process ends while holding it, so no rename can follow
        // the removal.
        mutex_.lock();
        for (const std::string& path : paths_) ::unlink(path.c_str());
        std::signal(signal_number, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, signal_number);
        pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
        ::raise(signal_number);
        // Not reached while the signal's action is to end the process; the status a shell gives
        // to a run that a signal ended, should it be.
        ::_exit(128 + signal_number);
    }
}

} // namespace pipenet::files
