// The root of a converted document: a literal XML text with the channel's
// escaped texts spliced in, parsed into a new document. The converted file
// thus starts with the style-sheet instruction its readers rely on.
#pragma once

#include "feeds/DownloadTask.h"
#include "platform/XmlDom.h"

#include <string>

namespace kelvor::feeds {

struct TreeRootFields {
    const char* styleSheet;            // "rss.xsl", "fav.xsl"
    const char* type;                  // root Type
    std::string title;                 // already escaped
    const std::string* href = nullptr; // already escaped; no Href attribute when null
    std::string baseUrl;               // already escaped
};

// The channel document of a feed or a list: escapes the task's feed address,
// title and link in place (an empty link becomes the feed address) and
// makes the root from them.
xml::Document newChannelDocument(DownloadTask& task, const char* type);

// "<?xml ...?><?xml-stylesheet ...?><Tree Type=.. Title=.. [Href=..] BaseURL=..></Tree>"
std::string treeRootText(const TreeRootFields& fields);

// A new document holding that root. When the text does not parse the
// document has no root, and the first node appended to it throws.
xml::Document newTreeDocument(const TreeRootFields& fields);

} // namespace kelvor::feeds
