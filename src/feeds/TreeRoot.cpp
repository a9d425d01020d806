#include "feeds/TreeRoot.h"

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

} // namespace kelvor::feeds
