#include "platform/TemporaryFiles.h"

#include "platform/HomeFolder.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
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

constexpr char kMarker[] = ".kelvor-tmp-";
constexpr size_t kMarkerLength = sizeof(kMarker) - 1;
constexpr size_t kRandomLength = 6; // what mkstemp fills in
// Room for "." + marker + random part within a name of at most 255 bytes.
constexpr size_t kLongestStem = 255 - 1 - kMarkerLength - kRandomLength;

// Cut at a character boundary, so that the name stays valid UTF-8.
std::string shortened(const std::string& name) {
    if (name.size() <= kLongestStem)
        return name;
    size_t end = kLongestStem;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    return name.substr(0, end);
}

// The folder's real place lies in home's: links on the way followed.
bool liesInside(const std::string& folder, const std::string& home) {
    if (home.empty())
        return false;
    std::error_code ec;
    std::string real = std::filesystem::canonical(folder.empty() ? "." : folder, ec).string();
    if (ec)
        return false;
    std::string root = std::filesystem::canonical(home, ec).string();
    if (ec)
        return false;
    if (root.size() > 1 && root.back() != '/')
        root += '/';
    return real + '/' == root || real.compare(0, root.size(), root) == 0;
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

std::string temporaryPatternFor(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + shortened(name) + kMarker + std::string(kRandomLength, 'X');
}

bool isTemporaryFileName(const std::string& name) {
    const size_t tail = kMarkerLength + kRandomLength;
    if (name.size() <= tail + 1 || name[0] != '.' ||
        name.compare(name.size() - tail, kMarkerLength, kMarker) != 0)
        return false;
    for (size_t i = name.size() - kRandomLength; i < name.size(); ++i)
        if (!isLetterOrDigit(name[i]))
            return false;
    return true;
}

int removeLeftoverTemporaries(const std::string& folder, const std::string& home,
                              bool onlyOlderThanProcess) {
    if (!liesInside(folder, home))
        return 0;
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
    removeLeftoverTemporaries(folder, programFolder(), true);
}

} // namespace kelvor::platform
