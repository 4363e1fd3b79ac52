// The temporary files of a run, removed when SIGINT, SIGTERM or SIGHUP ends it. The signals are
// blocked in every thread and taken by a dedicated thread (through a signalfd), which removes the
// files under the lock that also guards their renaming, and then ends the process by the same
// signal: nothing runs in a signal handler.
#pragma once

#include <csignal>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pipenet::files {

class TemporaryFiles {
public:
    // Blocks the signals in the calling thread (and so in every thread it starts afterwards) and
    // starts the waiting thread. Construct it before any other thread is started.
    TemporaryFiles();
    // Stops the waiting thread and unblocks the signals: one that came in the meantime then ends
    // the process as it would have without this object.
    ~TemporaryFiles();
    TemporaryFiles(const TemporaryFiles&) = delete;
    TemporaryFiles& operator=(const TemporaryFiles&) = delete;

    // Adds a path to remove on a signal (before the file is created, so that no moment is left
    // in which it exists unlisted).
    void add(const std::string& path);
    // Renames `path` to `target` and forgets it; with an empty target, removes it. Either way, a
    // signal sees the file listed or gone, never half-handled. Returns false (errno set) when the
    // rename fails; the file is then removed.
    bool settle(const std::string& path, const std::string& target);
    // Forgets a path without touching the file (one that could not be created as ours).
    void forget(const std::string& path);

private:
    void wait_for_signal();

    std::mutex mutex_;
    std::vector<std::string> paths_;
    sigset_t blocked_{};
    sigset_t previous_{};
    int signals_ = -1;       // signalfd of the blocked signals
    int stop_[2] = {-1, -1}; // a pipe whose write end, closed, stops the waiting thread
    std::thread waiter_;
};

} // namespace pipenet::files
