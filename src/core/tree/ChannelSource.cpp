// Channel source resolution. Stored values may come from files written with
// backslash separators; local results always use "/". A cache file's root
// BaseURL, not its name, ties it to its channel, so channels that share a
// title get numbered names side by side.
#include "tree/ChannelSource.h"

#include "platform/AddressPolicy.h"
#include "platform/HomeFolder.h"
#include "tree/NodeSrcForm.h"
#include "tree/TreeFormat.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace kelvor::tree {

bool isCachePath(const std::string& path, const std::string& home) {
    return path.rfind(home + "/rss/", 0) == 0 || path.rfind(home + "/url/", 0) == 0;
}
namespace {

constexpr size_t kMaxTitleBytes = 200; // leaves room for "[n].xml" within 255

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool isWebBase(const std::string& value) {
    return platform::hasScheme(value) && !startsWith(value, "file:");
}

std::string localPathOf(const std::string& value) {
    return platform::pathOfFileAddress(forwardSlashes(value));
}

// The folder of the owning file: "/a/b" for "file:///a/b/c.xml". The
// document's own address is a real path: a backslash in it is part of a
// name, not a separator.
std::string documentFolder(const std::string& url) {
    if (isWebBase(url))
        return platform::folderOf(url);
    return platform::folderOf(platform::pathOfFileAddress(url));
}

// "http://host:port" of a web address (the whole value when it has no path).
std::string schemeAndHost(const std::string& url) {
    size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t slash = url.find('/', start);
    return slash == std::string::npos ? url : url.substr(0, slash);
}

struct Resolved {
    std::string source;
    ChannelResult result = kLocalFile;
};

Resolved resolveNodeSrc(const std::string& nodeSrc, const std::string& baseUrl,
                        const std::string& docFolder) {
    if (nodeSrc.empty())
        return {};
    if (nodeSrc[0] == '/' || nodeSrc[0] == '\\') {
        if (isWebBase(baseUrl))
            return {schemeAndHost(baseUrl) + forwardSlashes(nodeSrc), kMustDownload};
        return {localPathOfNodeSrc(nodeSrc, "", platform::programFolder()), kLocalFile};
    }
    if (platform::hasScheme(nodeSrc)) {
        bool web =
            platform::schemeOf(nodeSrc) != "file" && nodeSrc.find('/', 1) != std::string::npos;
        return {web ? nodeSrc : forwardSlashes(nodeSrc), web ? kMustDownload : kLocalFile};
    }
    if (isWebBase(baseUrl))
        return {platform::folderOf(baseUrl) + "/" + nodeSrc, kMustDownload};
    if (!baseUrl.empty())
        return {localPathOfNodeSrc(nodeSrc, platform::folderOf(localPathOf(baseUrl)),
                                   platform::programFolder()),
                kLocalFile};
    // A file that was itself loaded from the web has a web folder.
    if (isWebBase(docFolder))
        return {docFolder + "/" + nodeSrc, kMustDownload};
    return {localPathOfNodeSrc(nodeSrc, docFolder, platform::programFolder()), kLocalFile};
}

bool fileExists(const std::string& path, std::time_t* modified) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *modified = st.st_mtime;
    return true;
}

int defaultLimitHours(const std::string& type) {
    if (type == "hot")
        return 3;
    if (type == "url")
        return 168;
    return 6;
}

ChannelResult freshness(std::time_t age, int cacheExpires, const std::string& nodeExpires,
                        const std::string& type) {
    bool hasLifetime = cacheExpires != -1 || !nodeExpires.empty();
    long long lifetime = cacheExpires != -1 ? cacheExpires : std::atoi(nodeExpires.c_str());
    if (hasLifetime && lifetime == 0)
        return kMustDownload;
    if (age < 0)
        return kCacheFresh; // dated in the future: a clock change, not an old copy
    if (hasLifetime)
        return age > lifetime ? kCacheExpired : kCacheFresh;
    return age / 3600 > defaultLimitHours(type) ? kCacheExpired : kCacheFresh;
}

// Judged as a browser reads the address: anything but a local file came
// from elsewhere (a one-letter scheme is an old file's drive).
bool isFromElsewhere(const std::string& address) {
    std::string scheme = platform::schemeOf(address);
    return scheme.size() > 1 && scheme != "file";
}

std::string numberedName(const std::string& base, int n) {
    return base + "[" + std::to_string(n) + "].xml";
}

// What planChannel asks of a channel's document, the same for each of its
// channels: a category of a thousand channels asked it a thousand times as
// it opened, and again as the index looked for their copies.
struct DocumentFacts {
    std::string url, baseUrl;
    std::string folder;   // documentFolder of the url
    bool fromWeb = false; // the file came from the web (by its BaseURL, else its url)
};

const DocumentFacts& factsOf(const xml::Document& doc, const std::string& baseUrl) {
    thread_local DocumentFacts last;
    thread_local bool known = false;
    std::string url = doc.url();
    if (!known || url != last.url || baseUrl != last.baseUrl) {
        last.url = std::move(url);
        last.baseUrl = baseUrl;
        last.folder = documentFolder(last.url);
        const std::string& from = baseUrl.empty() ? last.url : baseUrl;
        last.fromWeb = platform::originOf(from) == platform::AddressOrigin::Web;
        known = true;
    }
    return last;
}

// A tree file that came from the web names web channels only: neither a
// local file to read as a category or feed, nor a script as its feed.
bool namesWhatItMayNot(bool fromWeb, const std::string& feed, const Resolved& resolved) {
    if (!fromWeb)
        return false;
    if (!feed.empty())
        return platform::acceptedAddress(feed, platform::AddressOrigin::Web).empty();
    return !resolved.source.empty() &&
           (resolved.result == kLocalFile || !platform::isWebAddress(resolved.source));
}

} // namespace

bool isOwnTreeFile(const xml::Document& doc) {
    xml::Node root = doc.documentElement();
    std::string rootType = root ? GetNodeAttribute(root, "Type") : std::string();
    if (rootType == "url" || rootType == "rss" || rootType == "Opml" || rootType == "$FAVORITES")
        return false;
    std::string baseUrl = root ? GetNodeAttribute(root, "BaseURL") : std::string();
    if (isFromElsewhere(baseUrl) || isFromElsewhere(doc.url()))
        return false;
    std::string docFolder = documentFolder(doc.url());
    const std::string& home = platform::programFolder();
    return !platform::isInsideFolder(docFolder, home + "/rss") &&
           !platform::isInsideFolder(docFolder, home + "/url");
}

std::string cacheFileTitle(const std::string& title) {
    std::string safe;
    safe.reserve(title.size());
    for (unsigned char c : title)
        safe += (c == '/' || c == '\\' || c < 0x20 || c == 0x7F) ? '_' : static_cast<char>(c);
    if (safe.size() > kMaxTitleBytes) {
        size_t cut = kMaxTitleBytes;
        while (cut > 0 && (static_cast<unsigned char>(safe[cut]) & 0xC0) == 0x80)
            --cut; // never split a UTF-8 sequence
        safe.resize(cut);
    }
    if (safe == "." || safe == "..")
        safe = "_";
    return safe;
}

namespace {

// What the node alone says of its channel, before any file is looked at.
// With kMustDownload, the copy is looked for from cacheFile on, by address.
struct Plan {
    ChannelResult result = kNotChannel;
    std::string cacheFile, address, type;
};

Plan planChannel(const xml::Node& node, std::string& source, std::string& feed) {
    xml::Document doc = node.ownerDocument();
    xml::Node root = doc.documentElement();
    std::string baseUrl = root ? GetNodeAttribute(root, "BaseURL") : std::string();
    const DocumentFacts& facts = factsOf(doc, baseUrl);
    std::string docFolder = facts.folder;
    bool fromWeb = facts.fromWeb;

    std::string nodeSrc = GetNodeAttribute(node, "NodeSrc");
    feed = GetNodeAttribute(node, "Rss");
    source.clear();
    Plan plan;
    if (nodeSrc.empty() && feed.empty())
        return plan;

    Resolved resolved = resolveNodeSrc(nodeSrc, baseUrl, docFolder);
    if (namesWhatItMayNot(fromWeb, feed, resolved)) {
        feed.clear();
        return plan;
    }
    source = resolved.source;
    plan.result = resolved.result;

    std::string title = cacheFileTitle(GetNodeAttribute(node, "Title"));
    std::string rootType = root ? GetNodeAttribute(root, "Type") : std::string();
    const std::string& home = platform::programFolder();
    plan.cacheFile = docFolder + "/" + title + ".xml";
    if (!feed.empty()) {
        // A feed with a local NodeSrc is converted into that file.
        // Files that came from elsewhere must not choose where the program
        // writes.
        bool ownTarget = !source.empty() && plan.result != kMustDownload && isOwnTreeFile(doc);
        plan.cacheFile = ownTarget ? localPathOf(source) : home + "/rss/" + title + ".xml";
        plan.result = kMustDownload;
        plan.type = rootType == "hot" ? "hot" : "rss";
        plan.address = feed;
    } else {
        if (plan.result == kMustDownload && rootType != "url")
            plan.cacheFile = home + "/url/" + title + ".xml";
        plan.type = "url";
        plan.address = source;
    }
    return plan;
}

ChannelResult judgeCopy(const xml::Node& node, const Plan& plan, const ChannelCopy& copy,
                        std::string& cacheFile, std::time_t now) {
    cacheFile = copy.path;
    if (copy.found)
        return freshness(now - copy.modified, copy.expires, GetNodeAttribute(node, "Expires"),
                         plan.type);
    return kMustDownload;
}

} // namespace

ChannelResult ResolveChannelSource(const xml::Node& node, std::string& source,
                                   std::string& cacheFile, std::string& feed, std::time_t now) {
    Plan plan = planChannel(node, source, feed);
    cacheFile = plan.cacheFile;
    if (plan.result != kMustDownload)
        return plan.result;
    return judgeCopy(node, plan, locateChannelCopy(plan.cacheFile, plan.address), cacheFile, now);
}

ChannelResult resolveWithCopy(const xml::Node& node, const ChannelCopyQuestion& asked,
                              const ChannelCopy& copy, std::string& source, std::string& cacheFile,
                              std::string& feed, std::time_t now) {
    Plan plan = planChannel(node, source, feed);
    cacheFile = plan.cacheFile;
    if (plan.result != kMustDownload)
        return plan.result;
    // The node changed since it was asked for (renamed, its feed edited):
    // the answer is of another file.
    if (plan.cacheFile != asked.first || plan.address != asked.address)
        return judgeCopy(node, plan, locateChannelCopy(plan.cacheFile, plan.address), cacheFile,
                         now);
    return judgeCopy(node, plan, copy, cacheFile, now);
}

ChannelCopyQuestion channelCopyQuestion(const xml::Node& node) {
    std::string source, feed;
    Plan plan = planChannel(node, source, feed);
    if (plan.result != kMustDownload)
        return {};
    return {plan.cacheFile, plan.address};
}

ChannelCopy locateChannelCopy(const std::string& first, const std::string& address) {
    ChannelCopy copy;
    copy.path = first;
    std::string base = first.size() >= 4 ? first.substr(0, first.size() - 4) : first;
    for (int n = 1; fileExists(copy.path, &copy.modified); ++n) {
        copy.expires = -1;
        if (ReadCacheHeader(copy.path, copy.expires) == address) {
            copy.found = true;
            return copy;
        }
        copy.path = numberedName(base, n);
    }
    copy.expires = -1;
    copy.modified = 0;
    return copy;
}

} // namespace kelvor::tree
