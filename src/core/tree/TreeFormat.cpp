#include "tree/TreeFormat.h"

namespace kelvor::tree {

std::string GetNodeAttribute(const xml::Node& node, const char* name) {
    auto value = node.attribute(name);
    return value ? *value : std::string();
}

std::string GetNodeDescription(const xml::Node& node) {
    if (!node.hasChildNodes())
        return {};
    xml::Node first = node.firstChild();
    if (!first.nameIs("Desc"))
        return {};
    return first.text();
}

namespace {
bool firstChildIs(const xml::Node& node, const char* name) {
    if (!node.hasChildNodes())
        return false;
    return node.firstChild().nameIs(name);
}
} // namespace

ItemKind itemKindOf(const xml::Node& node) {
    if (node.hasAttribute("Rss"))
        return ItemKind::Channel;
    if (node.hasAttribute("NodeSrc"))
        return ItemKind::SubTree;
    if (firstChildIs(node, "TreeNode"))
        return ItemKind::Folder;
    if (node.hasAttribute("Href"))
        return ItemKind::Link;
    return ItemKind::Text;
}

int iconForImgKeyword(const std::string& keyword) {
    if (keyword == "hot")
        return kIconHot;
    if (keyword == "rss")
        return kIconRss;
    if (keyword == "url")
        return kIconUrl;
    if (keyword == "fav")
        return kIconFav;
    if (keyword == "upd")
        return kIconUpdate;
    if (keyword == "txt")
        return kIconText;
    return -1;
}

ItemAppearance appearanceOf(const xml::Node& node, bool hotMode) {
    ItemAppearance look;
    std::string headline;
    switch (itemKindOf(node)) {
    case ItemKind::Channel:
        look.icon = kIconChannel;
        look.expandable = true;
        look.channel = true;
        if (firstChildIs(node, "Desc"))
            headline = GetNodeAttribute(node.firstChild(), "Title");
        break;
    case ItemKind::SubTree:
    case ItemKind::Folder:
        look.icon = kIconFolder;
        look.expandable = true;
        break;
    case ItemKind::Link:
        look.icon = kIconLink;
        break;
    case ItemKind::Text:
        look.icon = kIconText;
        break;
    }
    if (auto img = node.attribute("Img")) {
        int keywordIcon = iconForImgKeyword(*img);
        if (keywordIcon >= 0)
            look.icon = look.selectedIcon = keywordIcon;
    }
    look.label = hotMode && !headline.empty() ? headline : GetNodeAttribute(node, "Title");
    return look;
}

bool isCategoryType(const std::string& type) { return type == "fav" || type == "hot"; }

} // namespace kelvor::tree
