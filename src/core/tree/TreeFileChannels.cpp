#include "tree/TreeFileChannels.h"

#include "platform/HomeFolder.h"
#include "tree/NodeWriting.h"
#include "tree/TreeFormat.h"
#include "tree/TreeNodeWalk.h"

#include <cstdlib>
#include <deque>
#include <set>

namespace kelvor::tree {
namespace {

xml::Node nthTreeNode(const xml::Node& parent, int n) {
    for (xml::Node child = parent.firstChild(); child; child = child.nextSibling())
        if (child.nameIs("TreeNode") && n-- == 0)
            return child;
    return {};
}

xml::Node nodeAt(const xml::Node& root, const std::string& position) {
    xml::Node at = root;
    for (size_t start = 0; at && start <= position.size();) {
        size_t dot = position.find('.', start);
        at = nthTreeNode(at, std::atoi(position.substr(start, dot - start).c_str()));
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    return at;
}

struct Walk {
    std::string path, position;
};

// One file: the TreeNode at the walk's position (the root for none) and
// every TreeNode under it, in document order.
void walkFile(const Walk& walk, bool followLocal, std::time_t now, std::deque<Walk>& pending,
              std::vector<FileChannel>& found) {
    xml::Document doc = xml::Document::create();
    if (!doc.load(walk.path))
        return;
    xml::Node root = doc.documentElement();
    if (!root || !root.nameIs("Tree"))
        return;
    std::string type = GetNodeAttribute(root, "Type");
    xml::Node start = walk.position.empty() ? root : nodeAt(root, walk.position);
    if (!start)
        return;
    int order = 0;
    auto visit = [&](const xml::Node& node, const std::string& position, size_t) {
        FileChannel channel;
        channel.order = order++;
        channel.state =
            ResolveChannelSource(node, channel.source, channel.cacheFile, channel.feed, now);
        if (channel.state == kLocalFile) {
            if (followLocal)
                pending.push_back({channel.source, ""});
        } else if (channel.state != kNotChannel) {
            channel.file = walk.path;
            channel.fileType = type;
            channel.position = position;
            channel.title = GetNodeAttribute(node, "Title");
            channel.href = GetNodeAttribute(node, "Href");
            xml::Node desc = node.firstChild();
            if (desc && desc.nameIs("Desc")) {
                channel.headlineTitle = GetNodeAttribute(desc, "Title");
                channel.headlineHref = GetNodeAttribute(desc, "Href");
                channel.headlineDate = GetNodeAttribute(desc, "Date");
            }
            found.push_back(std::move(channel));
        }
    };
    // Inline children are walked whatever their parent is, so the order
    // stays that of a page showing the whole file.
    if (!walk.position.empty())
        visit(start, walk.position, 0);
    forEachTreeNode(start, walk.position, visit);
}

} // namespace

std::string positionOf(const xml::Node& node) {
    std::string position;
    for (xml::Node at = node; at && at.nameIs("TreeNode");) {
        xml::Node parent = at.parentNode();
        if (!parent)
            break;
        int index = 0;
        for (xml::Node sibling = parent.firstChild(); sibling && sibling != at;
             sibling = sibling.nextSibling())
            index += sibling.nameIs("TreeNode");
        position =
            position.empty() ? std::to_string(index) : std::to_string(index) + "." + position;
        at = parent;
    }
    return position;
}

std::vector<FileChannel> channelsInTreeFile(const std::string& path, const std::string& position,
                                            bool followLocal, std::time_t now) {
    std::vector<FileChannel> found;
    std::deque<Walk> pending{{path, position}};
    std::set<std::string> seen;
    while (!pending.empty()) {
        Walk walk = std::move(pending.front());
        pending.pop_front();
        // A file reached twice (or a category that lists itself) is read once.
        if (!seen.insert(platform::normalPath(walk.path) + "#" + walk.position).second)
            continue;
        try {
            walkFile(walk, followLocal, now, pending, found);
        } catch (const xml::DomError&) {
            // A damaged file holds no channels for us.
        }
    }
    return found;
}

bool storeHeadlinesInFile(const std::string& path, const std::vector<HeadlinePlace>& places) {
    try {
        xml::Document doc = xml::Document::create();
        if (!doc.load(path) || !doc.documentElement())
            return false;
        bool changed = false;
        for (const HeadlinePlace& place : places) {
            xml::Node node = place.position.empty() ? xml::Node()
                                                    : nodeAt(doc.documentElement(), place.position);
            if (!node || GetNodeAttribute(node, "Title") != place.title)
                continue; // the file changed since it was read
            CacheFirstItem first = ReadCacheFirstItem(place.cacheFile);
            if (first.title.empty() && first.href.empty())
                continue;
            storeHeadline(node, first.title, first.href, place.cacheFile, first.desc, first.date);
            changed = true;
        }
        if (changed)
            doc.save(path);
        return true;
    } catch (const xml::DomError&) {
        return false;
    }
}

} // namespace kelvor::tree
