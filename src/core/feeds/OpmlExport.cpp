#include "feeds/OpmlExport.h"

#include "feeds/FavoritesImport.h"
#include "platform/AddressPolicy.h"
#include "platform/HomeFolder.h"
#include "tree/ChannelSource.h"
#include "tree/NodeSrcForm.h"
#include "tree/TreeFormat.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <set>
#include <utility>

namespace fs = std::filesystem;

namespace kelvor::feeds {
namespace {

// Sub-trees can name each other in a circle, and a file can be absurdly deep.
constexpr int kMaxDepth = 64;

struct Walk {
    xml::Document opml;
    std::string home;
    std::set<std::string> openFiles; // the chain of files being walked
    std::set<std::string> feeds;     // channels already listed: a reader subscribes once
    int localFeeds = 0;
};

// The local tree file a NodeSrc names when it is one of the user's own
// files; "" for web addresses, downloaded copies and anything outside home.
std::string ownTreeFile(const std::string& nodeSrc, const std::string& fileFolder,
                        const std::string& home) {
    std::string path = tree::localPathOfNodeSrc(nodeSrc, fileFolder, home);
    if (path.empty() || !platform::isInsideFolder(path, home) ||
        platform::isInsideFolder(path, home + "/rss") ||
        platform::isInsideFolder(path, home + "/url"))
        return {};
    return fs::path(path).lexically_normal().string();
}

// Whether the channel's downloaded copy in rss/ is a converted OPML list.
// The copy is found as the tree finds it: by title, numbered when titles
// clash, and owned by the channel whose address its header names.
bool isOpmlList(const std::string& title, const std::string& feed, const std::string& home) {
    tree::ChannelCopy copy =
        tree::locateChannelCopy(home + "/rss/" + tree::cacheFileTitle(title) + ".xml", feed);
    if (!copy.found)
        return false;
    xml::Document doc = xml::Document::create();
    return doc.load(copy.path) && doc.documentElement().attributeOr("Type") == "Opml";
}

xml::Node channelOutline(Walk& walk, const xml::Node& node, const std::string& feed) {
    xml::Node outline = walk.opml.createElement("outline");
    std::string title = tree::GetNodeAttribute(node, "Title");
    outline.setAttribute("text", title);
    outline.setAttribute("title", title);
    // An included list keeps xmlUrl too, so that this program's own import
    // still finds the channel.
    bool list = isOpmlList(title, feed, walk.home);
    outline.setAttribute("type", list ? "include" : "rss");
    if (list)
        outline.setAttribute("url", feed);
    outline.setAttribute("xmlUrl", feed);
    if (node.hasAttribute("Href"))
        outline.setAttribute("htmlUrl", tree::GetNodeAttribute(node, "Href"));
    std::string description = tree::GetNodeDescription(node);
    if (!description.empty())
        outline.setAttribute("description", description);
    return outline;
}

xml::Node folderOutline(Walk& walk, const xml::Node& node) {
    xml::Node outline = walk.opml.createElement("outline");
    std::string title = tree::GetNodeAttribute(node, "Title");
    outline.setAttribute("text", title);
    outline.setAttribute("title", title);
    return outline;
}

void addChildren(Walk& walk, const xml::Node& parent, const std::string& fileFolder,
                 const xml::Node& into, int depth);

// The TreeNodes of a sub-tree file, when it is one of the user's own.
void addSubTree(Walk& walk, const std::string& nodeSrc, const std::string& fileFolder,
                const xml::Node& into, int depth) {
    std::string file = ownTreeFile(nodeSrc, fileFolder, walk.home);
    if (file.empty() || !walk.openFiles.insert(file).second)
        return;
    xml::Document doc = xml::Document::create();
    if (doc.load(file) && doc.documentElement().nameIs("Tree"))
        addChildren(walk, doc.documentElement(), fs::path(file).parent_path().string(), into,
                    depth + 1);
    walk.openFiles.erase(file);
}

void addNode(Walk& walk, const xml::Node& node, const std::string& fileFolder,
             const xml::Node& into, int depth) {
    std::string feed = tree::GetNodeAttribute(node, "Rss");
    if (node.hasAttribute("Rss")) {
        // A local file means nothing on the machine the list is taken to.
        bool local = platform::originOf(feed) == platform::AddressOrigin::LocalFile;
        walk.localFeeds += local && !feed.empty();
        if (!local && !isFavoritesFeed(feed) && walk.feeds.insert(feed).second)
            into.appendChild(channelOutline(walk, node, feed));
        return;
    }
    tree::ItemKind kind = tree::itemKindOf(node);
    if (kind != tree::ItemKind::SubTree && kind != tree::ItemKind::Folder)
        return;
    xml::Node folder = folderOutline(walk, node);
    std::string nodeSrc = tree::GetNodeAttribute(node, "NodeSrc");
    // A sub-tree of no file (a folder imported empty) holds its items itself.
    if (kind == tree::ItemKind::SubTree && !nodeSrc.empty())
        addSubTree(walk, nodeSrc, fileFolder, folder, depth);
    else
        addChildren(walk, node, fileFolder, folder, depth);
    if (folder.hasChildNodes())
        into.appendChild(folder);
}

void addChildren(Walk& walk, const xml::Node& parent, const std::string& fileFolder,
                 const xml::Node& into, int depth) {
    if (depth > kMaxDepth)
        return;
    for (xml::Node child = parent.firstChild(); child; child = child.nextSibling())
        if (child.nameIs("TreeNode"))
            addNode(walk, child, fileFolder, into, depth);
}

std::string rfc822Now() {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

xml::Document newOpmlDocument(const std::string& title) {
    xml::Document opml = xml::Document::create();
    opml.loadXML(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><opml version=\"2.0\"><head/><body/></opml>");
    xml::Node head = opml.documentElement().firstChild();
    for (auto [name, value] :
         {std::pair<const char*, std::string>{"title", title}, {"dateCreated", rfc822Now()}}) {
        xml::Node element = opml.createElement(name);
        element.setText(value);
        head.appendChild(element);
    }
    return opml;
}

} // namespace

xml::Document exportOpml(const std::string& treeFile, const std::string& home,
                         int* localFeedsLeftOut) {
    xml::Document source = xml::Document::create();
    if (!source.load(treeFile))
        throw xml::DomError(source.parseError().errorCode,
                            xml::formatParseError(source.parseError()));
    xml::Node root = source.documentElement();
    std::error_code ec;
    Walk walk{
        newOpmlDocument(root.nameIs("Tree") ? root.attributeOr("Title", "万象汇览") : "万象汇览"),
        fs::weakly_canonical(home, ec).string(),
        {},
        {},
        0};
    std::string file = fs::weakly_canonical(treeFile, ec).string();
    walk.openFiles.insert(file);
    xml::Node body = walk.opml.documentElement().firstChild().nextSibling();
    if (root.nameIs("Tree"))
        addChildren(walk, root, fs::path(file).parent_path().string(), body, 0);
    if (localFeedsLeftOut)
        *localFeedsLeftOut = walk.localFeeds;
    return walk.opml;
}

} // namespace kelvor::feeds
