#include "feeds/FavoritesImport.h"

#include "feeds/BookmarksImport.h"
#include "feeds/CacheFile.h"
#include "feeds/EscapeXmlText.h"
#include "feeds/TreeRoot.h"
#include "feeds/UrlShortcut.h"
#include "platform/AddressPolicy.h"
#include "platform/Text.h"
#include "tree/Strings.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace kelvor::feeds {
namespace {

std::mutex folderLock;
std::string& folderSetting() {
    static std::string folder;
    return folder;
}

// Folder trees can loop through links, and can be absurdly deep.
constexpr int kMaxDepth = 64;
using FolderId = std::pair<dev_t, ino_t>;

// File names are bytes; the tree file is UTF-8. Invalid sequences become
// U+FFFD so the saved file always reads back.
std::string validUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t length = platform::utf8SequenceLength(text, i);
        if (length > 0 && (length > 1 || c >= 0x20 || c == '\t')) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

struct Entries {
    std::vector<std::string> shortcuts; // file names
    std::vector<std::string> folders;
    bool listed = false;
};

bool endsWithUrl(const std::string& name) {
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".url") == 0;
}

// Hidden shortcuts are skipped; hidden folders are imported. Names are
// sorted so that the tree does not depend on the file system's order.
Entries listFolder(const std::string& dir) {
    Entries entries;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec)
        return entries;
    entries.listed = true;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::string name = it->path().filename().string();
        std::error_code statError;
        if (it->is_directory(statError))
            entries.folders.push_back(name);
        else if (it->is_regular_file(statError) && name[0] != '.' && endsWithUrl(name))
            entries.shortcuts.push_back(name);
    }
    std::sort(entries.shortcuts.begin(), entries.shortcuts.end());
    std::sort(entries.folders.begin(), entries.folders.end());
    return entries;
}

bool firstVisit(const std::string& dir, std::set<FolderId>& visited) {
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0)
        return false;
    return visited.insert({st.st_dev, st.st_ino}).second;
}

void addFolder(const std::string& path, xml::Document& doc, const xml::Node& parent,
               std::set<FolderId>& visited, int depth) {
    if (path.empty())
        throw xml::DomError(xml::kErrInvalidArg, "empty folder path");
    std::string dir = path.back() == '/' ? path : path + "/";
    if (depth > kMaxDepth || !firstVisit(dir, visited))
        return;
    Entries entries = listFolder(dir);
    for (const std::string& name : entries.shortcuts) {
        xml::Node link = doc.createElement("TreeNode");
        link.setAttribute("Title", validUtf8(name.substr(0, name.size() - 4)));
        // A shortcut is a local file, but whoever saved it chose its address.
        std::string url = platform::acceptedAddress(readShortcutUrl(dir + name),
                                                    platform::AddressOrigin::LocalFile);
        link.setAttribute("Href", validUtf8(url));
        parent.appendChild(link);
    }
    for (const std::string& name : entries.folders) {
        xml::Node folder = doc.createElement("TreeNode");
        folder.setAttribute("Title", validUtf8(name));
        parent.appendChild(folder);
        addFolder(dir + name, doc, folder, visited, depth + 1);
    }
}

std::string environmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Linux browsers keep no folder of shortcuts; the file they all export
// serves instead. Any other file is no Favorites either.
bool addBookmarksFile(const std::string& file, xml::Document& doc, DownloadTask& task) {
    std::string html;
    ImportReport report;
    if (!readImportFile(file, html, report.error)) {
        task.errorText = report.error;
        return false;
    }
    if (!appendBookmarks(html, doc, doc.documentElement(), report)) {
        task.errorText = favoritesMissingText(file);
        return false;
    }
    return true;
}

} // namespace

void setFavoritesFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(folderLock);
    folderSetting() = folder;
}

std::string favoritesFolder() {
    std::lock_guard<std::mutex> lock(folderLock);
    return folderSetting();
}

std::string expandEnvironment(const std::string& text) {
    std::string out;
    size_t i = 0;
    if (text.compare(0, 2, "~/") == 0) {
        out = environmentValue("HOME") + "/";
        i = 2;
    }
    while (i < text.size()) {
        if (text[i] != '$') {
            out += text[i++];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '{') {
            size_t close = text.find('}', i + 2);
            if (close != std::string::npos) {
                out += environmentValue(text.substr(i + 2, close - i - 2));
                i = close + 1;
                continue;
            }
        }
        size_t end = i + 1;
        while (end < text.size() && isNameChar(text[end]))
            ++end;
        if (end == i + 1)
            out += text[i++]; // a lone "$"
        else {
            out += environmentValue(text.substr(i + 1, end - i - 1));
            i = end;
        }
    }
    return out;
}

bool isFavoritesFeed(const std::string& feedUrl) {
    static const std::string suffix = "$FAVORITES";
    return feedUrl.size() >= suffix.size() &&
           feedUrl.compare(feedUrl.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void AddFavoritesFolder(const std::string& path, xml::Document& doc, const xml::Node& parent) {
    std::set<FolderId> visited;
    addFolder(path, doc, parent, visited, 0);
}

std::string favoritesMissingText(const std::string& folder) {
    return "找不到收藏夹文件夹“" + folder + "”，请在 Internet 选项中设置收藏夹的位置！";
}

xml::Document buildFavoritesDocument(DownloadTask& task) {
    EscapeXmlText(task.feedUrl);
    EscapeXmlText(task.title);
    xml::Document doc =
        newTreeDocument({"fav.xsl", "$FAVORITES", task.title, nullptr, task.feedUrl});
    std::string folder = task.favoritesFolder.empty() ? favoritesFolder() : task.favoritesFolder;
    if (folder.empty())
        return {};
    std::error_code error;
    if (fs::is_regular_file(folder, error))
        return addBookmarksFile(folder, doc, task) ? doc : xml::Document();
    if (!fs::is_directory(folder, error)) {
        task.errorText = favoritesMissingText(folder);
        return {};
    }
    AddFavoritesFolder(folder, doc, doc.documentElement());
    return doc;
}

void ImportFavorites(DownloadTask& task) {
    xml::Document doc = buildFavoritesDocument(task);
    if (doc.isNull() || task.cancelled())
        return;
    try {
        prepareCacheFolder(task);
        saveCacheFile(doc, task.cacheFile);
    } catch (const xml::DomError&) {
        task.errorText = str::kSaveFailed + task.cacheFile;
    }
}

} // namespace kelvor::feeds
