#include "feeds/ChannelProbe.h"

#include "feeds/AtomConversion.h"
#include "feeds/AtomText.h"
#include "feeds/DownloadWorker.h"
#include "feeds/FeedDiscovery.h"
#include "feeds/FeedReading.h"
#include "feeds/JsonFeedConversion.h"
#include "platform/AddressPolicy.h"
#include "platform/HomeFolder.h"
#include "platform/HtmlText.h"
#include "platform/SourceBytes.h"

#include <filesystem>
#include <new>
#include <optional>
#include <strings.h>

namespace fs = std::filesystem;

namespace kelvor::feeds {
namespace {

xml::ParseError errorOf(uint32_t code, const std::string& reason) {
    xml::ParseError error;
    error.errorCode = code;
    error.reason = reason;
    return error;
}

// A feed found but not read keeps its address: the dialog may still offer it.
ChannelProbe failedProbe(const xml::ParseError& error, const std::string& address, bool reached,
                         const std::string& feedUrl = {}) {
    ChannelProbe probe;
    probe.reached = reached;
    probe.errorText = loadErrorText(error, address);
    probe.feedUrl = feedUrl;
    return probe;
}

// The user may type the path of a pipe or a device: reading it would wait
// for ever or without end, and a regular file is bounded as a download is.
std::string localFileProblem(const std::string& address, size_t maxBytes) {
    std::string path = platform::pathOfFileAddress(address);
    if (path.compare(0, 7, "file://") == 0)
        path = path.substr(7);
    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status))
        return {}; // the load says it is missing
    if (!fs::is_regular_file(status))
        return "不是普通文件: ";
    if (fs::file_size(path, ec) > maxBytes)
        return "文件超过大小上限 (" + std::to_string(maxBytes / (1024 * 1024)) + " MB): ";
    return {};
}

xml::Node childNamed(const xml::Node& parent, const char* localName) {
    for (xml::Node child = parent ? parent.firstChild() : xml::Node(); child;
         child = child.nextSibling())
        if (child.isElement() && child.localName() == localName)
            return child;
    return {};
}

std::string textOf(const xml::Node& node) {
    return node ? node.text() : std::string();
}

// The title of the channel the document is; none when it is no feed the
// download would read.
std::optional<std::string> channelTitleOf(const xml::Document& doc) {
    xml::Node root = doc.documentElement();
    if (!root)
        return std::nullopt;
    if (isAtomFeed(doc)) {
        xml::Node title = childNamed(root, "title");
        return title ? atomTitleText(title) : std::string();
    }
    if (root.nameIs("opml"))
        return textOf(childNamed(childNamed(root, "head"), "title"));
    std::string name = root.localName();
    if (strcasecmp(name.c_str(), "rss") == 0 || name == "RDF")
        return textOf(childNamed(childNamed(root, "channel"), "title"));
    return std::nullopt;
}

// The title from the feed's bytes, or the reason there is none.
std::optional<std::string> feedTitle(const platform::SourceBytes& source, xml::ParseError& error) {
    if (mayBeJson(source.bytes)) {
        std::string title;
        if (!readJsonFeedTitle(source.bytes, title, &error))
            return std::nullopt;
        return title;
    }
    xml::Document doc = loadFeedDocument(source, error);
    if (doc.isNull())
        return std::nullopt;
    std::optional<std::string> title = channelTitleOf(doc);
    if (!title)
        error = errorOf(kErrNotAFeed, "不是 RSS、Atom、JSON Feed 或 OPML 频道");
    return title;
}

ChannelProbe readFeed(const platform::SourceBytes& source, const std::string& feedUrl) {
    xml::ParseError error;
    std::optional<std::string> title;
    try {
        title = feedTitle(source, error);
    } catch (const std::bad_alloc&) {
        error = errorOf(xml::kErrOutOfMemory, "内存不足");
    }
    if (!title)
        return failedProbe(error, feedUrl, true, feedUrl);
    ChannelProbe probe;
    probe.reached = true;
    probe.title = platform::collapseWhiteSpace(*title);
    probe.feedUrl = feedUrl;
    return probe;
}

} // namespace

ChannelProbe probeChannel(const std::string& address, const xml::LoadOptions& options) {
    // Typed by the user, so a local file may be named; ftp and mailto pass
    // the policy but are nothing this reader downloads.
    std::string accepted = platform::acceptedAddress(address, platform::AddressOrigin::LocalFile);
    std::string scheme = platform::schemeOf(accepted);
    if (accepted.empty() ||
        !(scheme.empty() || scheme == "file" || platform::isWebAddress(accepted)))
        return failedProbe(
            errorOf(xml::kErrInvalidArg, "频道地址只能是 http、https 地址或本地文件: "), address,
            false);
    if (!platform::isWebAddress(accepted)) {
        std::string problem = localFileProblem(accepted, options.maxBytes);
        if (!problem.empty())
            return failedProbe(errorOf(xml::kErrFileNotFound, problem), accepted, false);
    }
    platform::SourceBytes source;
    if (!platform::readSource(accepted, options, source))
        return failedProbe(source.error, accepted, false);
    if (!looksLikeHtml(source.bytes))
        return readFeed(source, accepted);
    // One hop, as a download takes it, and only to the web.
    std::string feed = findFeedLink(source.bytes, source.url);
    if (feed.empty())
        return failedProbe(
            errorOf(kErrNoFeedLink, "这个网页没有指明频道 (RSS、Atom 或 JSON Feed) 的地址: "),
            accepted, true);
    platform::SourceBytes found;
    if (!platform::readSource(feed, options, found))
        return failedProbe(found.error, feed, false, feed);
    return readFeed(found, feed);
}

} // namespace kelvor::feeds
