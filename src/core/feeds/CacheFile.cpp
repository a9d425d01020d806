#include "feeds/CacheFile.h"

#include "platform/AtomicFile.h"
#include "platform/HomeFolder.h"

#include <filesystem>
#include <mutex>

namespace fs = std::filesystem;

namespace kelvor::feeds {
CacheFileWriter::CacheFileWriter(const std::string& path) : CacheFileWriter(path, false) {}

CacheFileWriter::CacheFileWriter(const std::string& path, bool sync)
    : file_(platform::pathOfFileAddress(path), sync) {
    if (!file_.ok())
        throw xml::DomError(xml::kErrFail, file_.error());
}

void CacheFileWriter::write(const std::string& piece) {
    if (!file_.write(piece))
        throw xml::DomError(xml::kErrFail, file_.error());
}

void CacheFileWriter::commit() {
    if (!file_.commit())
        throw xml::DomError(xml::kErrFail, file_.error());
}

void saveCacheText(const std::string& text, const std::string& path) {
    CacheFileWriter file(path);
    file.write(text);
    file.commit();
}

void saveCacheFile(const xml::Document& doc, const std::string& path) {
    saveCacheText(doc.xml(), path);
}

void prepareCacheFolder(const DownloadTask& task) {
    prepareCacheFolder(task.cacheFile, task.home.empty() ? platform::programFolder() : task.home);
}

void prepareCacheFolder(const std::string& cacheFile, const std::string& home) {
    std::string folder = platform::folderOf(cacheFile);
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
        if (fs::exists(target, ec) || !platform::readWholeFile(home + "/" + sheet, bytes))
            continue;
        platform::writeFileAtomically(target, bytes, nullptr, false);
    }
}

} // namespace kelvor::feeds
