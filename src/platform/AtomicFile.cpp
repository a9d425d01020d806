#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvor::platform {
namespace {

// The umask can only be read with umask() by setting it, and for that
// moment every other thread's new files and folders (a download worker
// creating rss/) would get the wrong permissions. Linux shows it in
// /proc/self/status without changing it.
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

mode_t modeFor(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return st.st_mode & 07777;
    return static_cast<mode_t>(0666 & ~currentUmask());
}

} // namespace

AtomicFileWriter::AtomicFileWriter(const std::string& path, bool sync)
    : path_(path), temporary_(path + ".XXXXXX"), sync_(sync) {
    if (path_.empty()) {
        errno = ENOENT;
        fail("empty path");
        return;
    }
    fd_ = ::mkstemp(temporary_.data());
    if (fd_ < 0)
        fail("cannot create " + temporary_);
}

AtomicFileWriter::~AtomicFileWriter() {
    if (fd_ < 0)
        return;
    ::close(fd_);
    ::unlink(temporary_.c_str());
}

bool AtomicFileWriter::fail(const std::string& what) {
    error_ = what + ": " + std::strerror(errno);
    if (fd_ >= 0) {
        int saved = errno;
        ::close(fd_);
        ::unlink(temporary_.c_str());
        fd_ = -1;
        errno = saved;
    }
    return false;
}

bool AtomicFileWriter::write(const char* data, size_t size) {
    if (fd_ < 0)
        return false;
    while (size > 0) {
        ssize_t written = ::write(fd_, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail("cannot write " + path_);
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool AtomicFileWriter::commit() {
    if (fd_ < 0)
        return false;
    if (::fchmod(fd_, modeFor(path_)) != 0 || (sync_ && ::fdatasync(fd_) != 0))
        return fail("cannot write " + path_);
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 || ::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error_ = "cannot replace " + path_ + ": " + std::strerror(errno);
        ::unlink(temporary_.c_str());
        return false;
    }
    return true;
}

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string* error, bool sync) {
    AtomicFileWriter file(path, sync);
    if (file.write(bytes) && file.commit())
        return true;
    if (error)
        *error = file.error();
    return false;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return false;
    }
    bytes.clear();
    // Regular files are read in one go; anything else (a pipe) grows as read.
    size_t capacity = S_ISREG(st.st_mode) ? static_cast<size_t>(st.st_size) + 1 : 64 * 1024;
    size_t used = 0;
    for (;;) {
        if (bytes.size() < used + 1)
            bytes.resize(std::max(capacity, bytes.size() * 2));
        ssize_t got = ::read(fd, &bytes[used], bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return false;
        }
        if (got == 0)
            break;
        used += static_cast<size_t>(got);
    }
    ::close(fd);
    bytes.resize(used);
    return true;
}

} // namespace kelvor::platform
