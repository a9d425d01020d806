#include "feeds/OpmlConversion.h"

#include "feeds/EscapeXmlText.h"
#include "feeds/TreeRoot.h"

namespace kelvor::feeds {
namespace {

void copyAttribute(const xml::Node& outline, const char* from, const xml::Node& treeNode,
                   const char* to) {
    if (auto value = outline.attribute(from))
        treeNode.setAttribute(to, *value);
}

xml::Node treeNodeFor(xml::Document& doc, const xml::Node& outline) {
    xml::Node treeNode = doc.createElement("TreeNode");
    copyAttribute(outline, "title", treeNode, "Title");
    copyAttribute(outline, "xmlUrl", treeNode, "Rss");
    copyAttribute(outline, "htmlUrl", treeNode, "Href");
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
    for (const xml::Node& outline : source.getElementsByTagName("outline"))
        root.appendChild(treeNodeFor(result, outline));
    return result;
}

} // namespace kelvor::feeds
