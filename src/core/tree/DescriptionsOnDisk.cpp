#include "tree/DescriptionsOnDisk.h"

#include "platform/HomeFolder.h"
#include "tree/TreeFormat.h"

#include <vector>

namespace kelvor::tree {
namespace {

// Kept on the root in memory only: such a document is never written.
constexpr const char* kMarker = "DescOnDisk";

bool isTreeNode(const xml::Node& node) {
    return node && node.nameIs("TreeNode");
}

// The node's place: its index among TreeNode siblings, from the root down.
std::vector<int> placeOf(const xml::Node& node) {
    std::vector<int> place;
    for (xml::Node at = node; isTreeNode(at); at = at.parentNode()) {
        int index = 0;
        for (xml::Node sibling = at.parentNode().firstChild(); sibling && sibling != at;
             sibling = sibling.nextSibling())
            index += isTreeNode(sibling);
        place.insert(place.begin(), index);
    }
    return place;
}

xml::Node nodeAt(const xml::Node& root, const std::vector<int>& place) {
    xml::Node at = root;
    for (int step : place) {
        xml::Node child = at.firstChild();
        for (int seen = -1; child; child = child.nextSibling())
            if (isTreeNode(child) && ++seen == step)
                break;
        if (!child)
            return {};
        at = child;
    }
    return at;
}

bool sameEntry(const xml::Node& a, const xml::Node& b) {
    return GetNodeAttribute(a, "Title") == GetNodeAttribute(b, "Title") &&
           GetNodeAttribute(a, "Href") == GetNodeAttribute(b, "Href");
}

// A download may have renewed the file since the tree read it.
xml::Node sameEntryIn(const xml::Node& root, const xml::Node& node) {
    xml::Node at = nodeAt(root, placeOf(node));
    if (isTreeNode(at) && sameEntry(at, node))
        return at;
    for (xml::Node child = root.firstChild(); child; child = child.nextSibling())
        if (isTreeNode(child) && sameEntry(child, node))
            return child;
    return {};
}

// The text goes at once (removeChild would keep it until the document
// goes), and so does a Desc left with nothing to say: two nodes fewer for
// each of the 200,000 entries of a thousand channels. A Desc before an
// item's children stays, as it tells an entry from a folder (itemKindOf).
void emptyDescriptions(const xml::Node& parent) {
    for (xml::Node child = parent.firstChild(); child; child = child.nextSibling()) {
        if (!isTreeNode(child))
            continue;
        xml::Node desc = child.firstChild();
        if (desc && desc.nameIs("Desc")) {
            for (xml::Node text = desc.firstChild(); text;) {
                xml::Node next = text.nextSibling();
                if (text.type() == xml::NodeType::Text || text.type() == xml::NodeType::CData)
                    desc.freeChild(text);
                text = next;
            }
            if (!desc.hasChildNodes() && !desc.hasAttributes() && !desc.nextSibling())
                child.freeChild(desc);
        }
        emptyDescriptions(child);
    }
}

void dropDates(const xml::Node& parent) {
    for (xml::Node child = parent.firstChild(); child; child = child.nextSibling()) {
        if (!isTreeNode(child))
            continue;
        child.removeAttribute("Date");
        dropDates(child);
    }
}

} // namespace

void leaveDescriptionsOnDisk(const xml::Document& doc) {
    xml::Node root = doc.documentElement();
    if (!root || doc.url().rfind("file://", 0) != 0)
        return;
    root.setAttribute(kMarker, "1");
    emptyDescriptions(root);
}

void leaveDatesOnDisk(const xml::Document& doc) {
    if (descriptionsOnDisk(doc))
        dropDates(doc.documentElement());
}

bool loadLeavingDescriptionsOnDisk(xml::Document& doc, const std::string& path) {
    xml::LoadOptions options;
    options.textlessElement = "Desc";
    if (!doc.load(path, options))
        return false;
    leaveDescriptionsOnDisk(doc);
    return true;
}

bool descriptionsOnDisk(const xml::Document& doc) {
    xml::Node root = doc.documentElement();
    return root && root.hasAttribute(kMarker);
}

std::string descriptionOf(const xml::Node& node) {
    xml::Document owner = node.ownerDocument();
    if (!descriptionsOnDisk(owner))
        return GetNodeDescription(node);
    xml::Document file = xml::Document::create();
    if (!file.load(platform::pathOfFileAddress(owner.url())) || !file.documentElement())
        return {};
    xml::Node same = sameEntryIn(file.documentElement(), node);
    return same ? GetNodeDescription(same) : std::string();
}

} // namespace kelvor::tree
