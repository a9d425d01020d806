#include "feeds/RssConversion.h"

#include "feeds/EscapeXmlText.h"
#include "feeds/TreeRoot.h"
#include "feeds/TreeText.h"

#include <strings.h>

namespace kelvor::feeds {
namespace {

// Item children are told apart by the first letters of their names, without
// regard to case: "title..." (any name that starts so), exactly "link",
// "pubDa...", "description...". Prefixed names ("dc:title") match nothing.
void addItemField(TreeItem& item, const xml::Node& child) {
    if (!child.isElement())
        return;
    std::string name = child.nodeName();
    const char* n = name.c_str();
    if (strncasecmp(n, "title", 5) == 0)
        item.setAttribute("Title", child.text());
    else if (strncasecmp(n, "link", 5) == 0)
        item.setAttribute("Href", child.text());
    else if (strncasecmp(n, "pubDate", 5) == 0)
        item.setAttribute("Date", child.text());
    else if (strncasecmp(n, "description", 11) == 0)
        item.descriptions.push_back(child.text());
}

template <class Emit> void forEachItem(const xml::Document& source, Emit emit) {
    TreeItem item;
    for (const xml::Node& element : source.getElementsByTagName("item")) {
        item.clear();
        for (xml::Node child = element.firstChild(); child; child = child.nextSibling())
            addItemField(item, child);
        emit(item);
    }
}

} // namespace

bool ConvertRssToTreeText(const xml::Document& source, DownloadTask& task, const TextSink& sink) {
    if (source.isNull())
        return false;
    TreeTextWriter writer(newChannelDocument(task, "rss"), sink);
    forEachItem(source, [&](const TreeItem& item) { writer.addItem(item); });
    writer.finish();
    return true;
}

bool ConvertRssToTreeText(const xml::Document& source, DownloadTask& task, std::string& text) {
    text.clear();
    return ConvertRssToTreeText(source, task, [&text](const std::string& piece) { text += piece; });
}

} // namespace kelvor::feeds
