// Writing TreeNode elements: the DOM side of the editing commands. Nothing
// here saves a file or shows a message; the tree view does that.
#pragma once

#include "platform/XmlDom.h"

#include <string>

namespace kelvor::tree {

struct ItemFields {
    std::string title, href, nodeSrc, rss, desc;
};

// A new TreeNode in the reference node's document with the non-empty fields
// (attributes in the order Title, Href, NodeSrc, Rss; then a Desc child),
// inserted before the reference node or appended as its last child.
xml::Node createItemNode(const xml::Node& reference, const ItemFields& fields, bool asChild);

// Changes an existing node. Empty fields change nothing; "*" removes Href,
// NodeSrc or Rss. A description replaces the text of a first-child Desc, or
// becomes a new Desc when the node has no children at all.
void applyItemFields(const xml::Node& node, const ItemFields& fields);

// Records a hot channel's newest headline on its first-child Desc (created
// with descText when missing); each attribute only when not empty.
void storeHeadline(const xml::Node& node, const std::string& title, const std::string& href,
                   const std::string& nodeSrc, const std::string& descText, const std::string& date);

struct OwnerTreeInfo {
    std::string type;
    std::string baseUrl; // the root's BaseURL, or the document's url when empty
    bool editable = false;
};
OwnerTreeInfo ownerTreeInfo(const xml::Node& node);
bool isEditableNode(const xml::Node& node);

// Saves the node's document to its url when it has one. Returns false (and
// the url in *url) when the save failed; true when saved or nothing to do.
bool saveOwnerDocument(const xml::Node& node, std::string* url = nullptr);

} // namespace kelvor::tree
