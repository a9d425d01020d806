#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvor::platform {
namespace {

bool fail(std::string* error, const std::string& what) {
    if (error)
        *error = what + ": " + std::strerror(errno);
    return false;
}

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
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

mode_t modeFor(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return st.st_mode & 07777;
    return 0666 & ~currentUmask();
}

} // namespace

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
    if (path.empty()) {
        errno = ENOENT;
        return fail(error, "empty path");
    }
    std::string pattern = path + ".XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return fail(error, "cannot create " + pattern);
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            int saved = errno;
            ::close(fd);
            ::unlink(pattern.c_str());
            errno = saved;
            return fail(error, "cannot write " + path);
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    ::fchmod(fd, modeFor(path));
    if (::fdatasync(fd) != 0 || ::close(fd) != 0) {
        int saved = errno;
        ::unlink(pattern.c_str());
        errno = saved;
        return fail(error, "cannot write " + path);
    }
    if (::rename(pattern.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(pattern.c_str());
        errno = saved;
        return fail(error, "cannot replace " + path);
    }
    return true;
}

} // namespace kelvor::platform
