#include "platform/AtomicFile.h"

#include "platform/TemporaryFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

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

std::string folderPart(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path names once every link on the way is followed; a link
// whose target does not exist yet names the file to create. The folders on
// the way stay as written: the kernel follows them, ".." included.
bool followLinks(const std::string& path, std::string& target) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        std::vector<char> buffer(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4095) + 1);
        ssize_t length = ::readlink(target.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            return false;
        if (static_cast<size_t>(length) == buffer.size()) { // grew since lstat
            errno = ENAMETOOLONG;
            return false;
        }
        std::string next(buffer.data(), static_cast<size_t>(length));
        if (next.empty()) {
            errno = ENOENT;
            return false;
        }
        auto slash = target.find_last_of('/');
        if (next[0] != '/' && slash != std::string::npos)
            next = target.substr(0, slash + 1) + next;
        target = next;
    }
    errno = ELOOP;
    return false;
}

} // namespace

// The kernel lets root write anything, and a rename replaces a file whatever
// its mode; but a file or folder without a write bit for anyone is one the
// user marked read-only (chmod a-w), for every account, root included.
bool isReadOnlyFile(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    if ((st.st_mode & 0222) == 0)
        return true;
    return ::access(path.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS);
}

AtomicFileWriter::AtomicFileWriter(const std::string& path, bool sync) : sync_(sync) {
    if (path.empty()) {
        errno = ENOENT;
        fail("empty path");
        return;
    }
    // A category file linked into a synced folder stays a link: the file it
    // names is the one replaced, beside which the temporary file must lie.
    if (!followLinks(path, path_)) {
        fail("cannot follow the link " + path);
        return;
    }
    std::string folder = folderPart(path_);
    for (const std::string& checked : {path_, folder}) {
        if (isReadOnlyFile(checked)) {
            errno = EACCES;
            fail(checked + " is read-only");
            return;
        }
    }
    removeLeftoverTemporariesOnce(folder);
    temporary_ = temporaryPatternFor(path_);
    fd_ = createTemporaryFile(temporary_);
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

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string* error,
                         bool sync) {
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
