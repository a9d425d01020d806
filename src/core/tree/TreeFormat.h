// Reading the tree file format: attribute and description accessors, item
// kinds, icons and labels. Pure functions over DOM nodes, shared by the tree
// view, kelvor-tool and the benchmarks.
#pragma once

#include "platform/XmlDom.h"

#include <string>

namespace kelvor::tree {

// Indexes into the tree's icon set.
enum Icon : int {
    kIconFolder = 0,
    kIconFolderOpen = 1,
    kIconLink = 2,
    kIconChannel = 3,
    kIconHot = 4,
    kIconFav = 5,
    kIconRss = 6,
    kIconUrl = 7,
    kIconUpdate = 8, // also the loading placeholder
    kIconText = 9,
    kIconCount = 10
};

enum class ItemKind { Channel, SubTree, Folder, Link, Text };

// The attribute's value, or "" when the node has no such attribute (a
// present-but-empty attribute also gives ""). A null node throws.
std::string GetNodeAttribute(const xml::Node& node, const char* name);
// The text of the node's first child when that child is a Desc element.
std::string GetNodeDescription(const xml::Node& node);

ItemKind itemKindOf(const xml::Node& node);

// The icon an Img keyword selects (both normal and selected), or -1.
int iconForImgKeyword(const std::string& keyword);

// What the tree shows for one TreeNode.
struct ItemAppearance {
    std::string label;
    int icon = kIconText;
    int selectedIcon = kIconFolderOpen;
    bool expandable = false; // gets a loading placeholder
    bool channel = false;    // has an Rss attribute
};

// hotMode: the headline stored on a channel's Desc replaces its title while
// a "hot" file is being populated.
ItemAppearance appearanceOf(const xml::Node& node, bool hotMode);

// Root Type keywords.
bool isCategoryType(const std::string& type); // "fav" or "hot"

} // namespace kelvor::tree
