#include "feeds/OpmlConversion.h"

#include "feeds/EscapeXmlText.h"
#include "feeds/TreeRoot.h"
#include "platform/AddressPolicy.h"

namespace kelvor::feeds {
namespace {

void copyAttribute(const xml::Node& outline, const char* from, const xml::Node& treeNode,
                   const char* to) {
    if (auto value = outline.attribute(from))
        treeNode.setAttribute(to, *value);
}

// An address the policy drops leaves the outline without it: a list from the
// web must not make the tree read a local file or run a script.
void copyAddress(const xml::Node& outline, const char* from, const xml::Node& treeNode,
                 const char* to, platform::AddressOrigin origin) {
    std::string address = platform::acceptedAddress(outline.attributeOr(from), origin);
    if (!address.empty())
        treeNode.setAttribute(to, address);
}

xml::Node treeNodeFor(xml::Document& doc, const xml::Node& outline,
                      platform::AddressOrigin origin) {
    xml::Node treeNode = doc.createElement("TreeNode");
    copyAttribute(outline, "title", treeNode, "Title");
    copyAddress(outline, "xmlUrl", treeNode, "Rss", origin);
    copyAddress(outline, "htmlUrl", treeNode, "Href", origin);
    if (auto description = outline.attribute("description")) {
        xml::Node desc = doc.createElement("Desc");
        desc.setText(*description);
        treeNode.appendChild(desc);
    }
    return treeNode;
}

} // namespace

xml::Document ConvertOpmlToTree(const xml::Document& source, DownloadTask& task) {
    if (source.isNull())
        return {};
    xml::Node sourceRoot = source.documentElement();
    if (!sourceRoot || !sourceRoot.nameIs("opml"))
        return {};
    xml::Document result = newChannelDocument(task, "Opml");
    xml::Node root = result.documentElement();
    // Nesting is not kept: a category and its feeds become siblings.
    platform::AddressOrigin origin = platform::originOf(source.url());
    for (const xml::Node& outline : source.getElementsByTagName("outline"))
        root.appendChild(treeNodeFor(result, outline, origin));
    return result;
}

} // namespace kelvor::feeds
