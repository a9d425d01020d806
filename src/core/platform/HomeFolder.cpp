#include "platform/HomeFolder.h"

#include "platform/AddressPolicy.h"

#include "platform/AtomicFile.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace kelvor::platform {
namespace {
std::string& folderStorage() {
    static std::string folder;
    return folder;
}

bool hasIndex(const std::string& folder) {
    std::error_code ec;
    return !folder.empty() && fs::is_regular_file(fs::path(folder) / "index.xml", ec);
}

std::string absolute(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    std::string result = (ec ? fs::path(path) : p.lexically_normal()).string();
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}
// The one copy of each style sheet in the starter collection.
constexpr const char* kStyleFolder = "styles";

// Everything of the starter collection but its style folder. Existing files
// win: a user's own fav/ is never overwritten.
bool copyStarterCollection(const std::string& starterFolder, const std::string& home,
                           std::error_code& ec) {
    for (const fs::directory_entry& entry : fs::directory_iterator(starterFolder, ec)) {
        if (entry.path().filename() == kStyleFolder)
            continue;
        fs::copy(entry.path(), fs::path(home) / entry.path().filename(),
                 fs::copy_options::recursive | fs::copy_options::skip_existing, ec);
        if (ec)
            return false;
    }
    return !ec;
}

// A page shows a tree file with the style sheet its declaration names,
// looked up beside the file: so every folder of tree files has the sheets.
// A sheet the user changed stays as it is.
bool placeStyleSheets(const fs::path& styles, const std::string& home, std::error_code& ec) {
    if (!fs::is_directory(styles, ec))
        return true;
    for (const char* sub : {"", "fav", "rss", "url"}) {
        for (const fs::directory_entry& sheet : fs::directory_iterator(styles, ec)) {
            fs::copy_file(sheet.path(), fs::path(home) / sub / sheet.path().filename(),
                          fs::copy_options::skip_existing, ec);
            if (ec)
                return false;
        }
        if (ec)
            return false;
    }
    return true;
}

} // namespace

const std::string& programFolder() {
    return folderStorage();
}

void setProgramFolder(const std::string& folder) {
    folderStorage() = absolute(folder);
}

std::string indexFile() {
    return programFolder() + "/index.xml";
}

std::string inHomeFolder(const std::string& path) {
    if (path.empty() || path[0] == '/' || programFolder().empty() || hasScheme(path))
        return path;
    return programFolder() + "/" + path;
}

std::string folderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string normalPath(const std::string& path) {
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    return (ec ? fs::path(path) : full).lexically_normal().string();
}

std::string pathOfFileAddress(const std::string& address) {
    return address.compare(0, 8, "file:///") == 0 ? address.substr(7) : address;
}

bool isInsideFolder(const std::string& path, const std::string& folder) {
    if (folder.empty())
        return false;
    auto normal = [](const std::string& p) {
        std::string text = fs::path(p).lexically_normal().string();
        while (text.size() > 1 && text.back() == '/')
            text.pop_back();
        return text;
    };
    std::string inner = normal(path), outer = normal(folder);
    if (outer == "/")
        return !inner.empty() && inner[0] == '/';
    return inner.compare(0, outer.size(), outer) == 0 &&
           (inner.size() == outer.size() || inner[outer.size()] == '/');
}

std::string chooseHomeFolder(const std::optional<std::string>& homeArgument,
                             const char* homeEnvironment, const std::string& executableFolder,
                             const std::string& userDataFolder) {
    if (homeArgument && !homeArgument->empty())
        return absolute(*homeArgument);
    if (homeEnvironment && *homeEnvironment)
        return absolute(homeEnvironment);
    if (hasIndex(executableFolder))
        return absolute(executableFolder);
    return absolute(userDataFolder);
}

std::string defaultUserDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg)
        return std::string(xdg) + "/Kelvor";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.local/share/Kelvor";
}

std::string starterCollectionFolder(const std::string& executableFolder) {
    std::error_code ec;
    // An installed program finds its data beside bin/ (prefix/share/kelvor/data).
    fs::path installed = fs::path(executableFolder) / ".." / "share" / "kelvor" / "data";
    if (fs::is_regular_file(installed / "index.xml", ec))
        return absolute(installed.string());
    if (hasIndex(KELVOR_INSTALL_DATA_DIR))
        return KELVOR_INSTALL_DATA_DIR;
    return KELVOR_SOURCE_DATA_DIR;
}

bool prepareHomeFolder(const std::string& home, const std::string& starterFolder,
                       std::string* error) {
    std::error_code ec;
    // A collection on a read-only mount or a shared folder is read as it
    // is: nothing is added to it, also not by root.
    if (fs::is_directory(home, ec) && isReadOnlyFile(home))
        return true;
    fs::create_directories(home, ec);
    if (ec) {
        if (error)
            *error = "无法创建文件夹 " + home + ": " + ec.message();
        return false;
    }
    if (!hasIndex(home) && hasIndex(starterFolder) &&
        !copyStarterCollection(starterFolder, home, ec)) {
        if (error)
            *error = "无法复制初始收藏到 " + home + ": " + ec.message();
        return false;
    }
    for (const char* sub : {"fav", "rss", "url"}) {
        fs::create_directories(fs::path(home) / sub, ec);
        if (ec) {
            if (error)
                *error = "无法创建文件夹 " + (fs::path(home) / sub).string() + ": " + ec.message();
            return false;
        }
    }
    if (!starterFolder.empty() &&
        !placeStyleSheets(fs::path(starterFolder) / kStyleFolder, home, ec)) {
        if (error)
            *error = "无法复制样式表到 " + home + ": " + ec.message();
        return false;
    }
    return true;
}

bool enterHomeFolder(const std::optional<std::string>& homeArgument,
                     const std::string& executablePath, std::string* error) {
    std::string exeFolder = folderOf(absolute(executablePath));
    std::string home = chooseHomeFolder(homeArgument, std::getenv("KELVOR_HOME"), exeFolder,
                                        defaultUserDataFolder());
    if (!prepareHomeFolder(home, starterCollectionFolder(exeFolder), error))
        return false;
    // Everything names the home folder; the current folder is left alone.
    setProgramFolder(home);
    return true;
}

} // namespace kelvor::platform
