#include "feeds/RssConversion.h"

#include "feeds/EntryTitle.h"
#include "feeds/EscapeXmlText.h"
#include "feeds/TreeRoot.h"
#include "feeds/TreeText.h"
#include "platform/AddressPolicy.h"
#include "platform/XmlChars.h"

#include <optional>

#include <strings.h>

namespace kelvor::feeds {
namespace {

constexpr const char* kDublinCore = "http://purl.org/dc/elements/1.1/";
constexpr const char* kContentModule = "http://purl.org/rss/1.0/modules/content/";

// What an item's extensions offer where its plain RSS children are silent
// (content:encoded, the full text, even where they are not): only the first
// of each counts.
struct Fallbacks {
    bool hasDate = false, hasLink = false, hasDescription = false;
    std::optional<std::string> dcDate, permalink, encoded;

    void clear() { *this = Fallbacks(); }

    void consider(const xml::Node& child) {
        if (!dcDate && child.isElementNs("date", kDublinCore))
            dcDate = child.text();
        else if (!encoded && child.isElementNs("encoded", kContentModule))
            encoded = child.text();
        else if (!permalink && child.nameIs("guid"))
            considerGuid(child);
    }

    void considerGuid(const xml::Node& guid) {
        std::string permaLink = guid.attributeOr("isPermaLink", "true");
        std::string text = guid.text();
        if (permaLink == "true" && platform::isWebAddress(text))
            permalink = platform::browserForm(text);
    }

    void apply(TreeItem& item) {
        if (!hasDate && dcDate)
            item.setAttribute("Date", std::move(*dcDate));
        if (!hasLink && permalink)
            item.setAttribute("Href", std::move(*permalink));
        // The full text rather than the teaser the description gives.
        if (encoded && !xml::isBlankText(reinterpret_cast<const unsigned char*>(encoded->c_str())))
            item.descriptions.assign(1, std::move(*encoded));
        else if (!hasDescription && encoded)
            item.descriptions.push_back(std::move(*encoded));
    }
};

// A link the policy drops, or an empty one, leaves the item without one
// (the guid's permalink may still stand in).
void addLink(TreeItem& item, Fallbacks& fallbacks, const std::string& text,
             platform::AddressOrigin origin) {
    std::string link = platform::acceptedAddress(text, origin);
    if (link.empty())
        return;
    item.setAttribute("Href", std::move(link));
    fallbacks.hasLink = true;
}

// Item children are told apart by the first letters of their names, without
// regard to case: "title..." (any name that starts so), exactly "link",
// "pubDa...", "description...". Prefixed names ("dc:title") match nothing.
void addItemField(TreeItem& item, Fallbacks& fallbacks, const xml::Node& child,
                  platform::AddressOrigin origin) {
    if (!child.isElement())
        return;
    std::string name = child.nodeName();
    const char* n = name.c_str();
    if (strncasecmp(n, "title", 5) == 0) {
        item.setAttribute("Title", child.text());
    } else if (strncasecmp(n, "link", 5) == 0) {
        addLink(item, fallbacks, child.text(), origin);
    } else if (strncasecmp(n, "pubDate", 5) == 0) {
        item.setAttribute("Date", child.text());
        fallbacks.hasDate = true;
    } else if (strncasecmp(n, "description", 11) == 0) {
        item.descriptions.push_back(child.text());
        fallbacks.hasDescription = true;
    } else {
        fallbacks.consider(child);
    }
}

template <class Emit> void forEachItem(const xml::Document& source, Emit emit) {
    TreeItem item;
    Fallbacks fallbacks;
    platform::AddressOrigin origin = platform::originOf(source.url());
    for (const xml::Node& element : source.getElementsByTagName("item")) {
        item.clear();
        fallbacks.clear();
        for (xml::Node child = element.firstChild(); child; child = child.nextSibling())
            addItemField(item, fallbacks, child, origin);
        fallbacks.apply(item);
        giveTitle(item);
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
