#include "sync/SyncCategory.h"

#include "feeds/CategoryImport.h"
#include "feeds/TreeRoot.h"
#include "platform/AtomicFile.h"
#include "platform/XmlDom.h"
#include "tree/TreeFormat.h"

#include <cctype>
#include <filesystem>
#include <map>

namespace kelvor::sync {
namespace {

std::string hostAndPort(const std::string& url) {
    size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t end = url.find_first_of("/?#", start);
    std::string authority = url.substr(start, end == std::string::npos ? end : end - start);
    size_t at = authority.rfind('@'); // never a user name in a file name
    return at == std::string::npos ? authority : authority.substr(at + 1);
}

xml::Node channelNode(xml::Document& doc, const ServerFeed& feed) {
    xml::Node node = doc.createElement("TreeNode");
    node.setAttribute("Title", feed.title.empty() ? feed.url : feed.title);
    node.setAttribute("Rss", feed.url);
    return node;
}

std::string categoryTitle(const std::string& serverUrl) {
    return "同步：" + hostAndPort(serverUrl);
}

} // namespace

std::string serverKey(const std::string& serverUrl) {
    std::string key;
    for (char c : hostAndPort(serverUrl)) {
        bool plain = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
        if (plain)
            key += c;
        else if (!key.empty() && key.back() != '-')
            key += '-';
    }
    while (!key.empty() && (key.back() == '-' || key.back() == '.'))
        key.pop_back();
    while (!key.empty() && key.front() == '.')
        key.erase(0, 1);
    return key.empty() ? "server" : key;
}

std::string categoryFileName(const std::string& serverUrl) {
    return "fav/sync-" + serverKey(serverUrl) + ".xml";
}

std::vector<CategoryChannel> readCategoryChannels(const std::string& path, bool& exists) {
    std::vector<CategoryChannel> channels;
    std::error_code ec;
    exists = std::filesystem::exists(path, ec);
    xml::Document doc = xml::Document::create();
    if (!exists || !doc.load(path))
        return channels;
    for (const xml::Node& node : doc.getElementsByTagName("TreeNode")) {
        std::string feed = tree::GetNodeAttribute(node, "Rss");
        if (feed.empty())
            continue;
        xml::Node parent = node.parentNode();
        std::string folder = parent.nameIs("TreeNode") ? tree::GetNodeAttribute(parent, "Title") : "";
        channels.push_back({tree::GetNodeAttribute(node, "Title"), feed, folder});
    }
    return channels;
}

std::string categoryFileText(const std::string& title, const std::vector<ServerCategory>& categories,
                             const std::vector<ServerFeed>& feeds) {
    xml::Document doc = xml::Document::create();
    doc.loadXML("<?xml version=\"1.0\" encoding=\"utf-8\"?><?xml-stylesheet type=\"text/xsl\" "
                "href=\"fav.xsl\" ?><Tree Type=\"fav\"/>");
    xml::Node root = doc.documentElement();
    root.setAttribute("Title", title);
    std::map<int64_t, xml::Node> folders;
    for (const ServerCategory& category : categories) {
        xml::Node folder = doc.createElement("TreeNode");
        // The server's own folder for feeds of no category (id 0) has an
        // English name of its own.
        folder.setAttribute("Title", category.id == 0          ? "未分类"
                                     : category.title.empty() ? "未命名分类"
                                                              : category.title);
        folders[category.id] = folder;
    }
    for (const ServerFeed& feed : feeds) {
        auto found = folders.find(feed.category);
        (found != folders.end() ? found->second : root).appendChild(channelNode(doc, feed));
    }
    for (const ServerCategory& category : categories) {
        xml::Node folder = folders[category.id];
        feeds::keepEmptyFolder(folder);
        root.appendChild(folder);
    }
    return doc.xml();
}

void writeCategoryFile(const std::string& home, const std::string& serverUrl,
                       const std::vector<ServerCategory>& categories,
                       const std::vector<ServerFeed>& feeds) {
    std::string name = categoryFileName(serverUrl);
    std::string path = home + "/" + name;
    std::string title = categoryTitle(serverUrl);
    std::string text = categoryFileText(title, categories, feeds);
    std::string old, error;
    std::error_code ec;
    std::filesystem::create_directories(home + "/fav", ec);
    if ((!platform::readWholeFile(path, old) || old != text) &&
        !platform::writeFileAtomically(path, text, &error))
        throw SyncError("无法保存同步分类 " + path + "：" + error);
    feeds::listCategoryInFavorites(home, "/" + name, title);
}

} // namespace kelvor::sync
