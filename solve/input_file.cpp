#include "solve/input_file.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pipenet::solve {

namespace {

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

bool read_input_file(const std::string& path, std::string& text, std::string& reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = "cannot read the file: " + std::string(std::strerror(errno));
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

} // namespace pipenet::solve
