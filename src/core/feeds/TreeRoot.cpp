#include "feeds/TreeRoot.h"

#include "feeds/EscapeXmlText.h"

namespace kelvor::feeds {

std::string treeRootText(const TreeRootFields& fields) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?><?xml-stylesheet type=\"text/xsl\" href=\"";
    text += fields.styleSheet;
    text += "\" ?><Tree Type=\"";
    text += fields.type;
    text += "\" Title=\"" + fields.title;
    if (fields.href)
        text += "\" Href=\"" + *fields.href;
    text += "\" BaseURL=\"" + fields.baseUrl + "\"></Tree>";
    return text;
}

xml::Document newTreeDocument(const TreeRootFields& fields) {
    xml::Document doc = xml::Document::create();
    doc.loadXML(treeRootText(fields));
    return doc;
}

xml::Document newChannelDocument(DownloadTask& task, const char* type) {
    EscapeXmlText(task.feedUrl);
    EscapeXmlText(task.title);
    if (task.href.empty())
        task.href = task.feedUrl;
    else
        EscapeXmlText(task.href);
    xml::Document doc = newTreeDocument({"rss.xsl", type, task.title, &task.href, task.feedUrl});
    // The server's validators, for the next conditional request.
    if (xml::Node root = doc.documentElement()) {
        if (!task.etag.empty())
            root.setAttribute("ETag", task.etag);
        if (!task.lastModified.empty())
            root.setAttribute("LastModified", task.lastModified);
        if (!task.channelUrl.empty())
            root.setAttribute("ChannelURL", task.channelUrl);
    }
    return doc;
}

} // namespace kelvor::feeds
