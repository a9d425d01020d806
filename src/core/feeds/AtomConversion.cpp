#include "feeds/AtomConversion.h"

#include "feeds/AtomText.h"
#include "feeds/EntryTitle.h"
#include "feeds/TreeRoot.h"
#include "platform/AddressPolicy.h"
#include "platform/UrlResolve.h"

#include <optional>

namespace kelvor::feeds {
namespace {

constexpr const char* kAtom10 = "http://www.w3.org/2005/Atom";
constexpr const char* kAtom03 = "http://purl.org/atom/ns#";

// The href of the first link whose rel is absent or "alternate"; an empty
// href is there all the same and names the base.
std::optional<std::string> alternateLink(const xml::Node& parent, const char* ns) {
    for (xml::Node child = parent.firstChild(); child; child = child.nextSibling()) {
        if (!child.isElementNs("link", ns))
            continue;
        std::string rel = child.attributeOr("rel");
        if ((rel.empty() || rel == "alternate") && child.hasAttribute("href"))
            return child.attributeOr("href");
    }
    return std::nullopt;
}

xml::Node firstChildNs(const xml::Node& parent, const char* name, const char* ns) {
    for (xml::Node child = parent.firstChild(); child; child = child.nextSibling()) {
        if (child.isElementNs(name, ns))
            return child;
    }
    return {};
}

std::string withBase(const std::string& base, const xml::Node& node) {
    std::string own = node.xmlBase();
    return own.empty() ? base : platform::resolveUrl(base, own);
}

struct EntryReader {
    const char* ns;
    std::string feedBase; // the feed's xml:base resolved against its address
    platform::AddressOrigin origin;

    // The link resolved against the bases around it, as the policy allows
    // it: an xml:base may make "x" into "javascript:x" or "file:///etc/x".
    std::string address(const std::string& base, const std::string& href) const {
        return platform::acceptedAddress(platform::resolveUrl(base, href), origin);
    }

    void read(const xml::Node& entry, TreeItem& item) const {
        if (xml::Node title = firstChildNs(entry, "title", ns))
            item.setAttribute("Title", atomTitleText(title));
        if (auto href = alternateLink(entry, ns)) {
            std::string link = address(withBase(feedBase, entry), *href);
            if (!link.empty())
                item.setAttribute("Href", std::move(link));
        }
        for (const char* name : {"updated", "published", "modified", "issued", "created"}) {
            if (xml::Node date = firstChildNs(entry, name, ns)) {
                item.setAttribute("Date", date.text());
                break;
            }
        }
        if (auto desc = description(entry))
            item.descriptions.push_back(std::move(*desc));
    }

    // The whole article rather than its teaser; content kept elsewhere (src)
    // or not readable as text leaves the summary.
    std::optional<std::string> description(const xml::Node& entry) const {
        for (const char* name : {"content", "summary"}) {
            xml::Node body = firstChildNs(entry, name, ns);
            if (auto desc = body ? atomDescription(body) : std::nullopt)
                return desc;
        }
        return std::nullopt;
    }
};

const char* atomNamespaceOf(const xml::Node& root) {
    if (!root)
        return nullptr;
    if (root.isElementNs("feed", kAtom10))
        return kAtom10;
    if (root.isElementNs("feed", kAtom03))
        return kAtom03;
    return nullptr;
}

} // namespace

bool isAtomFeed(const xml::Document& source) {
    return !source.isNull() && atomNamespaceOf(source.documentElement()) != nullptr;
}

bool ConvertAtomToTreeText(const xml::Document& source, DownloadTask& task, const TextSink& sink) {
    if (!isAtomFeed(source))
        return false;
    xml::Node feed = source.documentElement();
    EntryReader reader{atomNamespaceOf(feed), withBase(task.feedUrl, feed),
                       platform::originOf(source.url())};
    auto page = alternateLink(feed, reader.ns);
    task.href = page ? reader.address(reader.feedBase, *page) : std::string();

    TreeTextWriter writer(newChannelDocument(task, "rss"), sink);
    TreeItem item;
    for (xml::Node entry = feed.firstChild(); entry; entry = entry.nextSibling()) {
        if (!entry.isElementNs("entry", reader.ns))
            continue;
        item.clear();
        reader.read(entry, item);
        giveTitle(item);
        writer.addItem(item);
    }
    writer.finish();
    return true;
}

} // namespace kelvor::feeds
