#include "feeds/RssConversion.h"

#include "feeds/EscapeXmlText.h"
#include "feeds/TreeRoot.h"

#include <strings.h>

namespace kelvor::feeds {
namespace {

// Item children are told apart by the first letters of their names, without
// regard to case: "title..." (any name that starts so), exactly "link",
// "pubDa...", "description...". Prefixed names ("dc:title") match nothing.
enum class ItemField { None, Title, Link, Date, Description };

ItemField fieldOf(const std::string& name) {
    const char* n = name.c_str();
    if (strncasecmp(n, "title", 5) == 0)
        return ItemField::Title;
    if (strncasecmp(n, "link", 5) == 0)
        return ItemField::Link;
    if (strncasecmp(n, "pubDate", 5) == 0)
        return ItemField::Date;
    if (strncasecmp(n, "description", 11) == 0)
        return ItemField::Description;
    return ItemField::None;
}

void addItemField(xml::Document& doc, const xml::Node& treeNode, const xml::Node& child) {
    if (!child.isElement())
        return;
    switch (fieldOf(child.nodeName())) {
    case ItemField::Title:
        treeNode.setAttribute("Title", child.text());
        break;
    case ItemField::Link:
        treeNode.setAttribute("Href", child.text());
        break;
    case ItemField::Date:
        treeNode.setAttribute("Date", child.text());
        break;
    case ItemField::Description: {
        xml::Node desc = doc.createElement("Desc");
        desc.setText(child.text());
        treeNode.appendChild(desc);
        break;
    }
    case ItemField::None:
        break;
    }
}

} // namespace

xml::Document ConvertRssToTree(const xml::Document& source, DownloadTask& task) {
    if (source.isNull())
        return {};
    EscapeXmlText(task.feedUrl);
    EscapeXmlText(task.title);
    if (task.href.empty())
        task.href = task.feedUrl;
    else
        EscapeXmlText(task.href);
    xml::Document result =
        newTreeDocument({"rss.xsl", "rss", task.title, &task.href, task.feedUrl});
    xml::Node root = result.documentElement();
    for (const xml::Node& item : source.getElementsByTagName("item")) {
        xml::Node treeNode = result.createElement("TreeNode");
        for (xml::Node child = item.firstChild(); child; child = child.nextSibling())
            addItemField(result, treeNode, child);
        root.appendChild(treeNode);
    }
    return result;
}

} // namespace kelvor::feeds
