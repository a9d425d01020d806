#include "store/TreeFileItems.h"

#include "platform/HomeFolder.h"
#include "platform/HtmlText.h"
#include "platform/XmlDom.h"
#include "tree/NodeSrcForm.h"
#include "tree/TreeFormat.h"
#include "tree/TreeNodeWalk.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace kelvor::store {
namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string relativeToHome(const std::string& path, const std::string& home) {
    return startsWith(path, home + "/") ? path.substr(home.size() + 1) : path;
}

// The local file a NodeSrc names, when it is a tree file inside home.
std::string localTarget(const std::string& value, const std::string& file,
                        const std::string& home) {
    std::string target =
        tree::localPathOfNodeSrc(value, fs::path(file).parent_path().string(), home);
    if (target.empty() || !platform::isInsideFolder(target, home))
        return {};
    std::string normal = fs::path(target).lexically_normal().string();
    std::error_code ec;
    return fs::is_regular_file(normal, ec) ? normal : std::string();
}

IndexedItem itemOf(const xml::Node& node, const std::string& position, bool withText) {
    IndexedItem item;
    item.position = position;
    item.title = tree::GetNodeAttribute(node, "Title");
    item.link = tree::GetNodeAttribute(node, "Href");
    item.date = tree::GetNodeAttribute(node, "Date");
    item.entry = entryKeyOf(item.title, item.link, item.date);
    if (withText) {
        item.body =
            platform::htmlToText(tree::GetNodeDescription(node), platform::HtmlTextFor::Index);
    } else {
        item.title.clear();
        item.link.clear();
    }
    return item;
}

void collectItems(const xml::Node& root, const std::string& label, bool followSources,
                  bool withText, const std::string& path, const std::string& home,
                  TreeFileContent& content) {
    // placeAt[d]: the path of titles above the items at depth d.
    std::vector<std::string> placeAt{label};
    tree::forEachTreeNode(
        root, "", [&](const xml::Node& node, const std::string& position, size_t depth) {
            IndexedItem item = itemOf(node, position, withText);
            if (withText) {
                placeAt.resize(depth + 2);
                item.place = placeAt[depth];
                placeAt[depth + 1] = item.place + " > " + item.title;
            }
            if (followSources) {
                std::string target =
                    localTarget(tree::GetNodeAttribute(node, "NodeSrc"), path, home);
                if (!target.empty())
                    content.targets.push_back(target);
            }
            content.items.push_back(std::move(item));
        });
}

} // namespace

std::string entryKeyOf(const std::string& title, const std::string& link, const std::string& date) {
    return link.empty() ? title + "\n" + date : link;
}

std::string cacheChannelKey(const std::string& baseUrl, const std::string& path,
                            const std::string& home) {
    return baseUrl.empty() ? relativeToHome(path, home) : baseUrl;
}

TreeFileContent readTreeFileContent(const std::string& path, const std::string& home,
                                    bool withText) {
    TreeFileContent content;
    xml::Document doc = xml::Document::create();
    if (!doc.load(path))
        return content;
    xml::Node root = doc.documentElement();
    if (!root || !root.nameIs("Tree"))
        return content;
    bool cache = isCachePath(path, home);
    std::string relative = relativeToHome(path, home);
    if (cache) {
        content.channel = cacheChannelKey(tree::GetNodeAttribute(root, "BaseURL"), path, home);
    }
    std::string label = tree::GetNodeAttribute(root, "Title");
    collectItems(root, label.empty() ? relative : label, !cache, withText, path, home, content);
    return content;
}

} // namespace kelvor::store

namespace kelvor::store {

std::string readItemDescription(const std::string& path, const std::string& position) {
    xml::Document doc = xml::Document::create();
    if (!doc.load(path) || !doc.documentElement())
        return {};
    xml::Node at = doc.documentElement();
    for (size_t start = 0; start <= position.size();) {
        size_t dot = position.find('.', start);
        int step = std::atoi(position.substr(start, dot - start).c_str());
        xml::Node child = at.firstChild();
        for (int seen = -1; child; child = child.nextSibling())
            if (child.nameIs("TreeNode") && ++seen == step)
                break;
        if (!child)
            return {};
        at = child;
        start = dot == std::string::npos ? position.size() + 1 : dot + 1;
    }
    return tree::GetNodeDescription(at);
}

} // namespace kelvor::store
