#include "files/output_file.hpp"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pipenet::files {

namespace {

std::string cannot_write(const std::string& path, int error) {
    return "cannot write " + path + ": " + std::strerror(error);
}

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

// The file `path` names once every link on the way is followed (the path of a file yet to be
// made when the last link dangles). False with errno set on a loop or an unreadable link.
bool follow_links(std::string path, std::string& target) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            target = path;
            return true;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length < 0) return false;
        if (static_cast<std::size_t>(length) == link.size()) {
            errno = ENAMETOOLONG;
            return false;
        }
        link.resize(static_cast<std::size_t>(length));
        if (link.empty()) {
            errno = ENOENT;
            return false;
        }
        const std::size_t slash = path.rfind('/');
        path = link.front() == '/' || slash == std::string::npos ? link
                                                                 : path.substr(0, slash + 1) + link;
    }
    errno = ELOOP;
    return false;
}

} // namespace

void FileClaims::add_input(const std::string& path) {
    Claim claim;
    claim.path = path;
    claim.input = true;
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        claim.exists = true;
        claim.device = status.st_dev;
        claim.inode = status.st_ino;
    }
    claims_.push_back(std::move(claim));
}

bool FileClaims::claim_output(const std::string& path, std::string& reason) {
    if (path == "-") return true;
    Claim claim;
    claim.path = path;
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        claim.exists = true;
        claim.device = status.st_dev;
        claim.inode = status.st_ino;
    }
    for (const Claim& earlier : claims_) {
        const bool same = earlier.path == path ||
                          (earlier.exists && claim.exists && earlier.device == claim.device &&
                           earlier.inode == claim.inode);
        if (!same) continue;
        reason = "refused to write " + path + ": it is " +
                 (earlier.path == path ? std::string() : earlier.path + ", ") +
                 (earlier.input ? "an input of this command" : "another output of this command");
        return false;
    }
    claims_.push_back(std::move(claim));
    return true;
}

OutputFile::~OutputFile() {
    drop();
}

bool OutputFile::open(const std::string& path, std::string& reason) {
    drop();
    path_ = path;
    failed_ = false;
    error_ = 0;
    if (path == "-") {
        fd_ = STDOUT_FILENO;
        return true;
    }
    if (!follow_links(path, target_)) {
        reason = cannot_write(path, errno);
        return false;
    }
    struct stat status {};
    const bool exists = ::stat(target_.c_str(), &status) == 0;
    if (exists && S_ISDIR(status.st_mode)) {
        reason = cannot_write(path, EISDIR);
        return false;
    }
    if (exists && !S_ISREG(status.st_mode)) {
        // A pipe or a device: replacing it would lose what it is. A pipe that nothing reads is
        // refused rather than waited on.
        fd_ = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            reason = errno == ENXIO ? "cannot write " + path + ": it is a pipe that nothing reads"
                                    : cannot_write(path, errno);
            return false;
        }
        const int flags = ::fcntl(fd_, F_GETFL);
        if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
        return true;
    }
    // The rename replaces a file that may not be written as a whole: its permissions decide.
    if (exists && ::access(target_.c_str(), W_OK) != 0) {
        reason = cannot_write(path, errno);
        return false;
    }
    // Beside the target, so that the rename stays within one file system.
    const std::string stem = target_ + "." + std::to_string(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = stem + (attempt == 0 ? "" : "-" + std::to_string(attempt)) + ".tmp";
        if (temporaries_ != nullptr) temporaries_->add(temporary_);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) break;
        const int error = errno;
        if (temporaries_ != nullptr) temporaries_->forget(temporary_);
        temporary_.clear();
        if (error != EEXIST) {
            reason = cannot_write(path, error);
            return false;
        }
    }
    if (fd_ < 0) {
        reason = cannot_write(path, EEXIST);
        return false;
    }
    // The new file gets the old one's permissions, or the usual ones under the umask.
    if (exists && ::fchmod(fd_, status.st_mode & 07777) != 0) fail();
    return true;
}

void OutputFile::fail() {
    if (failed_) return;
    failed_ = true;
    error_ = errno;
}

void OutputFile::write(std::string_view text) {
    if (fd_ < 0 || failed_) return;
    if (!write_all(fd_, text)) fail();
}

bool OutputFile::finish(std::string& reason) {
    if (fd_ < 0) {
        reason = "cannot write " + path_ + ": it was not opened";
        return false;
    }
    if (temporary_.empty()) {
        if (fd_ != STDOUT_FILENO && ::close(fd_) != 0) fail();
        fd_ = -1;
    } else {
        if (!failed_ && ::fsync(fd_) != 0) fail();
        if (::close(fd_) != 0) fail();
        fd_ = -1;
        if (failed_) {
            drop();
        } else {
            const bool renamed = temporaries_ != nullptr
                                     ? temporaries_->settle(temporary_, target_)
                                     : ::rename(temporary_.c_str(), target_.c_str()) == 0;
            if (!renamed) {
                fail();
                if (temporaries_ == nullptr) ::unlink(temporary_.c_str());
            }
            temporary_.clear();
        }
    }
    if (failed_) reason = cannot_write(path_, error_);
    return !failed_;
}

void OutputFile::drop() {
    if (fd_ > STDERR_FILENO) ::close(fd_);
    fd_ = -1;
    if (temporary_.empty()) return;
    if (temporaries_ != nullptr)
        temporaries_->settle(temporary_, "");
    else
        ::unlink(temporary_.c_str());
    temporary_.clear();
}

bool write_output_file(const std::string& path, std::string_view text, std::string& reason,
                       TemporaryFiles* temporaries) {
    OutputFile output(temporaries);
    if (!output.open(path, reason)) return false;
    output.write(text);
    return output.finish(reason);
}

bool write_outputs(std::initializer_list<OutputText> outputs, std::string& reason,
                   TemporaryFiles* temporaries) {
    std::vector<std::unique_ptr<OutputFile>> files;
    for (const OutputText& output : outputs) {
        if (output.path.empty()) continue;
        files.push_back(std::make_unique<OutputFile>(temporaries));
        if (!files.back()->open(output.path, reason)) return false;
        files.back()->write(output.text);
    }
    for (std::unique_ptr<OutputFile>& file : files)
        if (!file->finish(reason)) return false;
    return true;
}

} // namespace pipenet::files
