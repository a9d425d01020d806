#include "feeds/CacheFile.h"

#include "platform/HomeFolder.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kelvor::feeds {
namespace {

std::atomic<bool> syncCacheFiles{false};

bool failWith(std::string* error, const std::string& what, int code) {
    if (error)
        *error = what + ": " + std::strerror(code);
    return false;
}

bool writeAll(int fd, const std::string& bytes) {
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

mode_t newFileMode() {
    // umask is process-wide; read it once, before any worker writes.
    static const mode_t mode = [] {
        mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    bytes = std::move(buffer).str();
    return true;
}

} // namespace

bool replaceFile(const std::string& path, const std::string& bytes, bool sync, std::string* error) {
    if (path.empty())
        return failWith(error, "empty path", ENOENT);
    std::string temporary = path + ".XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return failWith(error, "cannot create " + temporary, errno);
    bool written =
        writeAll(fd, bytes) && ::fchmod(fd, newFileMode()) == 0 && (!sync || ::fdatasync(fd) == 0);
    int code = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        code = errno;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        return failWith(error, "cannot write " + path, code);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        code = errno;
        ::unlink(temporary.c_str());
        return failWith(error, "cannot replace " + path, code);
    }
    return true;
}

void setSyncCacheFiles(bool sync) {
    syncCacheFiles = sync;
}

void saveCacheFile(const xml::Document& doc, const std::string& path) {
    std::string target = path.compare(0, 8, "file:///") == 0 ? path.substr(7) : path;
    std::string error;
    if (!replaceFile(target, doc.xml(), syncCacheFiles, &error))
        throw xml::DomError(xml::kErrFail, error);
}

void prepareCacheFolder(const std::string& cacheFile) {
    const std::string& home = platform::programFolder();
    std::string folder = folderOf(cacheFile);
    if (home.empty() || (folder != home + "/rss" && folder != home + "/url"))
        return;
    // Workers finish at the same time; one of them copies.
    static std::mutex copying;
    std::lock_guard<std::mutex> lock(copying);
    std::error_code ec;
    fs::create_directories(folder, ec);
    for (const char* sheet : {"rss.xsl", "fav.xsl", "hot.xsl"}) {
        std::string target = folder + "/" + sheet;
        std::string bytes;
        if (fs::exists(target, ec) || !readWholeFile(home + "/" + sheet, bytes))
            continue;
        replaceFile(target, bytes, false, nullptr);
    }
}

} // namespace kelvor::feeds
