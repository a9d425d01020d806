#include "platform/TemporaryFiles.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvor::platform {
namespace {

// Taken while the program loads, before any write of this process.
const timespec processStart = [] {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}();

bool before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

bool isLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool endsWithNoCase(const std::string& text, size_t end, const char* suffix) {
    size_t length = std::char_traits<char>::length(suffix);
    if (end < length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        char c = text[end - length + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    return true;
}

} // namespace

int createTemporaryFile(std::string& pattern) {
    const std::string original = pattern;
    for (int attempt = 0; attempt < 8; ++attempt) {
        pattern = original;
        int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            return -1;
        // A sweep holds the lock only between its checks and the unlink; a
        // file it took meanwhile has no name left, so make another. Where
        // the file system has no locks the write goes on without one.
        int locked;
        while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        struct stat st;
        if (locked != 0 || ::fstat(fd, &st) != 0 || st.st_nlink > 0)
            return fd;
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

bool isTemporaryFileName(const std::string& name) {
    const size_t suffix = 7; // "." + the six characters mkstemp fills in
    if (name.size() <= suffix + 4 || name[name.size() - suffix] != '.')
        return false;
    for (size_t i = name.size() - suffix + 1; i < name.size(); ++i)
        if (!isLetterOrDigit(name[i]))
            return false;
    size_t end = name.size() - suffix;
    return name[0] != '.' &&
           (endsWithNoCase(name, end, ".xml") || endsWithNoCase(name, end, ".xsl"));
}

int removeLeftoverTemporaries(const std::string& folder, bool onlyOlderThanProcess) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (dirent* entry = ::readdir(dir)) {
        if (!isTemporaryFileName(entry->d_name))
            continue;
        int fd =
            ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st;
        bool leftover = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                        (!onlyOlderThanProcess || before(st.st_mtim, processStart)) &&
                        ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (leftover && ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

void removeLeftoverTemporariesOnce(const std::string& folder) {
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!swept.insert(folder).second)
            return;
    }
    removeLeftoverTemporaries(folder, true);
}

} // namespace kelvor::platform
