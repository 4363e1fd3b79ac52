#include "solve/input_file.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pipenet::solve {

namespace {

bool write_all(int fd, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (put == 0) errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

std::string cannot_write(const std::string& path) {
    return "cannot write " + path + ": " + std::strerror(errno);
}

std::string_view base_name(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

std::optional<Program> program_of_file(std::string_view program, std::string_view path) {
    if (program == "lamnet") return Program::lamnet;
    if (program == "turbnet") return Program::turbnet;
    std::string_view name = base_name(path);
    if (name == input_file_name(Program::lamnet)) return Program::lamnet;
    if (name == input_file_name(Program::turbnet)) return Program::turbnet;
    return std::nullopt;
}

std::optional<Program> program_of_file(std::string_view program, std::string_view path,
                                       std::string_view text) {
    if (std::optional<Program> named = program_of_file(program, path)) return named;
    return program_from_text(text);
}

bool read_input_file(const std::string& path, std::string& text, std::string& reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = errno == ENOENT ? std::string("cannot read the file: no such file")
                                 : "cannot read the file: " + std::string(std::strerror(errno));
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        ::close(fd);
        reason = "cannot read the file: it is a directory";
        return false;
    }
    std::array<char, 65536> block{};
    for (;;) {
        const ssize_t got = ::read(fd, block.data(), block.size());
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            reason = "cannot read the file: " + std::string(std::strerror(errno));
            ::close(fd);
            return false;
        }
        text.append(block.data(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    return true;
}

bool write_output_file(const std::string& path, std::string_view text, std::string& reason) {
    if (path == "-") {
        if (write_all(STDOUT_FILENO, text)) return true;
        reason = cannot_write("standard output");
        return false;
    }
    struct stat status {};
    const bool exists = ::lstat(path.c_str(), &status) == 0;
    if (exists && S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        reason = cannot_write(path);
        return false;
    }
    if (exists && S_ISREG(status.st_mode) && ::access(path.c_str(), W_OK) != 0) {
        reason = cannot_write(path);
        return false;
    }
    if (exists && !S_ISREG(status.st_mode)) {
        // A device, a pipe or a link is written in place: replacing it would lose what it is.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        const bool written = fd >= 0 && write_all(fd, text);
        if (!written) reason = cannot_write(path);
        if (fd >= 0 && ::close(fd) != 0 && written) {
            reason = cannot_write(path);
            return false;
        }
        return written;
    }
    // A new file beside the old one, so that the rename stays within one file system; it gets
    // the old file's permissions, or the usual ones under the umask.
    const std::string temporary = path + "." + std::to_string(::getpid()) + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        reason = cannot_write(path);
        return false;
    }
    bool written = (!exists || ::fchmod(fd, status.st_mode & 07777) == 0) && write_all(fd, text) &&
                   ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    written = written && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!written) {
        reason = cannot_write(path);
        ::unlink(temporary.c_str());
    }
    return written;
}

} // namespace pipenet::solve
