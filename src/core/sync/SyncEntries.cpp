#include "sync/SyncEntries.h"

#include "feeds/CacheFile.h"
#include "feeds/EscapeXmlText.h"
#include "feeds/TreeRoot.h"
#include "feeds/TreeText.h"
#include "platform/AtomicFile.h"
#include "platform/XmlDom.h"
#include "store/EntryDate.h"
#include "store/TreeFileItems.h"
#include "tree/ChannelSource.h"
#include "tree/TreeFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace kelvor::sync {
namespace {

// A synced copy is renewed by the sync, never downloaded from the feed's
// own site: its lifetime (seconds) keeps the tree from judging it expired.
constexpr const char* kCopyLifetime = "31536000";

struct CopyEntry {
    int64_t id = 0;
    int64_t seconds = 0;
    std::string title, href, date, description;
};

CopyEntry entryOf(const Headline& headline) {
    return {headline.id, headline.updated, headline.title, headline.link,
            rfc822Date(static_cast<std::time_t>(headline.updated)), headline.content};
}

// The entries of an old copy that came from the server (they carry its
// article id); anything else in it came from the feed's site and goes.
std::vector<CopyEntry> entriesOfCopy(const std::string& text) {
    std::vector<CopyEntry> entries;
    xml::Document doc = xml::Document::create();
    if (text.empty() || !doc.loadXML(text) || !doc.documentElement())
        return entries;
    for (xml::Node node = doc.documentElement().firstChild(); node; node = node.nextSibling()) {
        if (!node.nameIs("TreeNode") || !node.hasAttribute("SyncId"))
            continue;
        CopyEntry entry;
        entry.id = std::atoll(node.attributeOr("SyncId").c_str());
        entry.title = node.attributeOr("Title");
        entry.href = node.attributeOr("Href");
        entry.date = node.attributeOr("Date");
        entry.seconds = store::entrySeconds(entry.date);
        for (xml::Node child = node.firstChild(); child; child = child.nextSibling())
            if (child.nameIs("Desc")) {
                entry.description = child.text();
                break;
            }
        entries.push_back(std::move(entry));
    }
    return entries;
}

feeds::TreeItem itemOf(const CopyEntry& entry, bool starred) {
    feeds::TreeItem item;
    item.setAttribute("Title", entry.title);
    if (!entry.href.empty())
        item.setAttribute("Href", entry.href);
    item.setAttribute("Date", entry.date);
    item.setAttribute("SyncId", std::to_string(entry.id));
    if (starred)
        item.setAttribute("Starred", "1");
    if (!entry.description.empty())
        item.descriptions.push_back(entry.description);
    return item;
}

std::string rootText(const CopyUpdate& update) {
    std::string title = update.title, feed = update.feed;
    feeds::EscapeXmlText(title);
    feeds::EscapeXmlText(feed);
    return feeds::treeRootText({"rss.xsl", "rss", title, &feed, feed});
}

} // namespace

// Spelt out rather than through strftime: the window's locale would turn
// the names into Chinese, which no feed date reader takes.
std::string rfc822Date(std::time_t seconds) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", days[utc.tm_wday],
                  utc.tm_mday, months[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                  utc.tm_sec);
    return text;
}

std::string channelCopyPath(const std::string& home, const std::string& title,
                            const std::string& feed) {
    std::string first = home + "/rss/" + tree::cacheFileTitle(title) + ".xml";
    return tree::locateChannelCopy(first, feed).path;
}

std::string entryKeyOfHeadline(const Headline& headline) {
    return store::entryKeyOf(headline.title, headline.link,
                             rfc822Date(static_cast<std::time_t>(headline.updated)));
}

std::string mergedCopyText(const std::string& oldText, const CopyUpdate& update) {
    std::map<int64_t, CopyEntry> byId;
    for (CopyEntry& entry : entriesOfCopy(oldText))
        if (update.present.count(entry.id))
            byId[entry.id] = std::move(entry);
    for (const Headline& headline : update.added)
        byId[headline.id] = entryOf(headline);
    std::vector<const CopyEntry*> order;
    for (const auto& [id, entry] : byId)
        order.push_back(&entry);
    std::stable_sort(order.begin(), order.end(), [](const CopyEntry* a, const CopyEntry* b) {
        return a->seconds != b->seconds ? a->seconds > b->seconds : a->id > b->id;
    });

    xml::Document root = xml::Document::create();
    root.loadXML(rootText(update));
    root.documentElement().setAttribute("Expires", kCopyLifetime);
    std::string text;
    feeds::TreeTextWriter writer(root, [&text](const std::string& piece) { text += piece; });
    for (const CopyEntry* entry : order)
        writer.addItem(itemOf(*entry, update.starred.count(entry->id) > 0));
    writer.finish();
    return text;
}

bool updateChannelCopy(const std::string& home, const CopyUpdate& update) {
    std::string old;
    platform::readWholeFile(update.path, old);
    std::string text = mergedCopyText(old, update);
    if (text == old)
        return false;
    try {
        feeds::prepareCacheFolder(update.path, home);
        feeds::saveCacheText(text, update.path);
    } catch (const xml::DomError& error) {
        throw SyncError("无法保存频道副本 " + update.path + "：" + error.what());
    }
    return true;
}

} // namespace kelvor::sync
