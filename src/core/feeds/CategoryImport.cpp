#include "feeds/CategoryImport.h"

#include "tree/ChannelSource.h"
#include "tree/Strings.h"
#include "tree/TreeFormat.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace kelvor::feeds {
namespace {

constexpr const char* kEmptyCategory = "<?xml version=\"1.0\" encoding=\"utf-8\"?><?xml-stylesheet "
                                       "type=\"text/xsl\" href=\"fav.xsl\" ?>"
                                       "<Tree Type=\"fav\"/>";

bool isPlainXmlName(const std::string& name) {
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0 &&
           name.find_first_of("/\\") == std::string::npos && name[0] != '.' &&
           name.find('\0') == std::string::npos;
}

bool listedIn(const xml::Document& favorites, const std::string& nodeSrc) {
    for (const xml::Node& node : favorites.getElementsByTagName("TreeNode"))
        if (tree::GetNodeAttribute(node, "NodeSrc") == nodeSrc)
            return true;
    return false;
}

} // namespace

// 我的收藏 lists its categories; the new one goes at its end.
void listCategoryInFavorites(const std::string& home, const std::string& nodeSrc,
                             const std::string& title) {
    std::string favoritesFile = home + "/fav/fav.xml";
    xml::Document favorites = xml::Document::create();
    if (nodeSrc == "/fav/fav.xml" || !favorites.load(favoritesFile) ||
        !favorites.documentElement().nameIs("Tree") || listedIn(favorites, nodeSrc))
        return;
    xml::Node node = favorites.createElement("TreeNode");
    node.setAttribute("Title", title);
    node.setAttribute("NodeSrc", nodeSrc);
    favorites.documentElement().appendChild(node);
    favorites.save(favoritesFile);
}

void ImportReport::note(const std::string& line) {
    // A broken file can produce a note per line; the first ones say enough.
    constexpr size_t kMaxNotes = 50;
    if (notes.size() < kMaxNotes)
        notes.push_back(line);
    else if (notes.size() == kMaxNotes)
        notes.push_back("……");
}

std::string ImportReport::summary() const {
    std::string text =
        "导入 " + std::to_string(added) + " 个频道或链接，" + std::to_string(folders) + " 个文件夹";
    if (duplicates > 0)
        text += "；跳过 " + std::to_string(duplicates) + " 个重复频道";
    for (const std::string& line : notes)
        text += "\n" + line;
    return text;
}

std::string categoryFilePath(const std::string& home, const std::string& into) {
    std::string name = into.compare(0, 4, "fav/") == 0 ? into.substr(4) : into;
    if (!isPlainXmlName(name))
        return {};
    return home + "/fav/" + name;
}

std::string newCategoryName(const std::string& home, const std::string& title) {
    std::string base = tree::cacheFileTitle(title.empty() ? "导入" : title);
    std::string name = base + ".xml";
    std::error_code ec;
    for (int n = 2; fs::exists(home + "/fav/" + name, ec); ++n)
        name = base + "(" + std::to_string(n) + ").xml";
    return "fav/" + name;
}

xml::Document openCategory(const std::string& path, const std::string& title, std::string& error) {
    xml::Document doc = xml::Document::create();
    std::error_code ec;
    if (fs::exists(path, ec)) {
        if (!doc.load(path)) {
            error = xml::formatParseError(doc.parseError());
            return {};
        }
        if (!doc.documentElement().nameIs("Tree") ||
            !tree::isCategoryType(doc.documentElement().attributeOr("Type"))) {
            error = str::kNotEditable;
            return {};
        }
        return doc;
    }
    doc.loadXML(kEmptyCategory);
    doc.documentElement().setAttribute("Title", title);
    return doc;
}

void keepEmptyFolder(const xml::Node& folder) {
    xml::Node first = folder.firstChild();
    for (xml::Node child = first; child; child = child.nextSibling())
        if (child.nameIs("TreeNode"))
            return;
    folder.setAttribute("NodeSrc", "");
    if (first && first.nameIs("Desc"))
        return;
    xml::Node desc = folder.ownerDocument().createElement("Desc");
    if (first)
        folder.insertBefore(desc, first);
    else
        folder.appendChild(desc);
}

std::set<std::string> feedsIn(const xml::Document& doc) {
    std::set<std::string> feeds;
    for (const xml::Node& node : doc.getElementsByTagName("TreeNode"))
        if (node.hasAttribute("Rss"))
            feeds.insert(tree::GetNodeAttribute(node, "Rss"));
    return feeds;
}

bool readImportFile(const std::string& path, std::string& bytes, std::string& error) {
    std::error_code ec;
    auto size = fs::file_size(path, ec);
    if (ec || !fs::is_regular_file(path, ec)) {
        error = "无法读取文件 " + path;
        return false;
    }
    if (size > kMaxImportBytes) {
        error = "文件太大 (超过 " + std::to_string(kMaxImportBytes >> 20) + " MB): " + path;
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.assign(static_cast<size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) {
        error = "无法读取文件 " + path;
        return false;
    }
    return true;
}

bool startImport(const std::string& file, const std::string& home, const std::string& into,
                 std::string& path, std::string& bytes, ImportReport& report) {
    path = categoryFilePath(home, into);
    if (path.empty()) {
        report.error = "分类文件必须是 fav/名称.xml: " + into;
        return false;
    }
    return readImportFile(file, bytes, report.error);
}

bool saveCategory(const xml::Document& doc, const std::string& home, const std::string& path,
                  const std::string& title, Listing listing, ImportReport& report) {
    try {
        std::error_code ec;
        fs::create_directories(fs::path(path).parent_path(), ec);
        doc.save(path);
        report.title = title;
        report.nodeSrc = "/fav/" + fs::path(path).filename().string();
        if (listing == Listing::InFavoritesFile)
            listCategoryInFavorites(home, report.nodeSrc, title);
        return true;
    } catch (const xml::DomError&) {
        report.error = std::string(str::kSaveFailed) + " " + path;
        return false;
    }
}

} // namespace kelvor::feeds
