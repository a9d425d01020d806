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

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Setting the umask to read it would race with other threads creating
// files; the kernel reports it without changing it.
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "Umask:") == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

// A cache file gets the mode a newly created file would get.
mode_t newFileMode() {
    static const mode_t mode = static_cast<mode_t>(0666 & ~currentUmask());
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

CacheFileWriter::CacheFileWriter(const std::string& path) : CacheFileWriter(path, syncCacheFiles) {}

CacheFileWriter::CacheFileWriter(const std::string& path, bool sync)
    : path_(path.compare(0, 8, "file:///") == 0 ? path.substr(7) : path),
      temporary_(path_ + ".XXXXXX"), sync_(sync) {
    if (path_.empty())
        throw xml::DomError(xml::kErrFail, "empty path");
    fd_ = ::mkstemp(temporary_.data());
    if (fd_ < 0)
        throw xml::DomError(xml::kErrFail, systemError("cannot create " + temporary_));
}

CacheFileWriter::~CacheFileWriter() {
    if (fd_ < 0)
        return;
    ::close(fd_);
    ::unlink(temporary_.c_str());
}

void CacheFileWriter::write(const std::string& piece) {
    if (fd_ < 0 || !writeAll(fd_, piece))
        throw xml::DomError(xml::kErrFail, systemError("cannot write " + path_));
}

void CacheFileWriter::commit() {
    if (fd_ < 0)
        throw xml::DomError(xml::kErrFail, "already closed: " + path_);
    bool flushed = ::fchmod(fd_, newFileMode()) == 0 && (!sync_ || ::fdatasync(fd_) == 0);
    int closed = ::close(fd_);
    fd_ = -1;
    if (!flushed || closed != 0 || ::rename(temporary_.c_str(), path_.c_str()) != 0) {
        std::string error = systemError("cannot replace " + path_);
        ::unlink(temporary_.c_str());
        throw xml::DomError(xml::kErrFail, error);
    }
}

bool replaceFile(const std::string& path, const std::string& bytes, bool sync, std::string* error) {
    try {
        CacheFileWriter file(path, sync);
        file.write(bytes);
        file.commit();
        return true;
    } catch (const xml::DomError& failure) {
        if (error)
            *error = failure.what();
        return false;
    }
}

void setSyncCacheFiles(bool sync) {
    syncCacheFiles = sync;
}

void saveCacheText(const std::string& text, const std::string& path) {
    CacheFileWriter file(path);
    file.write(text);
    file.commit();
}

void saveCacheFile(const xml::Document& doc, const std::string& path) {
    saveCacheText(doc.xml(), path);
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
