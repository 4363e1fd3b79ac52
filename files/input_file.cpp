#include "files/input_file.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pipenet::files {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

bool fail(std::string& reason, std::string_view why) {
    reason = why;
    return false;
}

} // namespace

bool read_input_file(const std::string& path, std::string& text, std::string& reason) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) return fail(reason, std::strerror(errno));
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) return fail(reason, std::strerror(errno));
    if (S_ISDIR(status.st_mode)) return fail(reason, std::strerror(EISDIR));
    const bool regular = S_ISREG(status.st_mode);
    bool first = true;
    // Not zeroed: read() fills what is used, and clearing 64 KiB per file costs more than
    // reading a network.
    std::array<char, 65536> block;
    for (;;) {
        const ssize_t got = ::read(file.get(), block.data(), block.size());
        if (got > 0) {
            text.append(block.data(), static_cast<std::size_t>(got));
            first = false;
            continue;
        }
        if (got == 0) {
            // A pipe read at once to its end had no writer when it was opened: the one that
            // wrote nothing is refused the same way as the one that never came.
            if (first && !regular && S_ISFIFO(status.st_mode))
                return fail(reason, "it is a pipe and nothing writes to it");
            return true;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // Something holds the other end: wait for its bytes or for it to close.
            pollfd ready{file.get(), POLLIN, 0};
            if (::poll(&ready, 1, -1) < 0 && errno != EINTR)
                return fail(reason, std::strerror(errno));
            first = false;
            continue;
        }
        return fail(reason, std::strerror(errno));
    }
}

} // namespace pipenet::files
