#include "feeds/FeedDiscovery.h"

#include "platform/AddressPolicy.h"
#include "platform/HtmlText.h"
#include "platform/SourceBytes.h"
#include "platform/Text.h"
#include "platform/UrlResolve.h"

#include <algorithm>
#include <cctype>

namespace kelvor::feeds {
namespace {

// Pages may be large; their head is near the start.
constexpr size_t kHeadBytes = 512 * 1024;

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':';
}

// The value of an attribute inside one tag's text ("<link a=b c='d'>"),
// quoted or not, HTML references decoded.
std::string attributeOf(const std::string& tag, const std::string& lowerTag,
                        const std::string& name) {
    for (size_t at = lowerTag.find(name); at != std::string::npos;
         at = lowerTag.find(name, at + 1)) {
        if (at == 0 || isNameChar(lowerTag[at - 1]))
            continue;
        size_t eq = lowerTag.find_first_not_of(" \t\r\n", at + name.size());
        if (eq == std::string::npos || lowerTag[eq] != '=')
            continue;
        size_t from = lowerTag.find_first_not_of(" \t\r\n", eq + 1);
        if (from == std::string::npos)
            return {};
        size_t to;
        char quote = tag[from];
        if (quote == '"' || quote == '\'')
            to = tag.find(quote, ++from);
        else
            to = tag.find_first_of(" \t\r\n>", from);
        if (to == std::string::npos)
            to = tag.size();
        return platform::htmlToText(tag.substr(from, to - from), platform::HtmlTextFor::Title);
    }
    return {};
}

bool isFeedType(const std::string& type) {
    std::string t = platform::lowerAscii(type);
    return t == "application/rss+xml" || t == "application/atom+xml" ||
           t == "application/feed+json";
}

bool hasToken(const std::string& list, const std::string& token) {
    std::string words = " " + platform::lowerAscii(list) + " ";
    for (char& c : words)
        c = std::isspace(static_cast<unsigned char>(c)) ? ' ' : c;
    return words.find(" " + token + " ") != std::string::npos;
}

} // namespace

bool looksLikeHtml(const std::string& bytes) {
    size_t first = bytes.find('<');
    if (first == std::string::npos)
        return false;
    std::string start = platform::lowerAscii(bytes.substr(first, 64));
    return start.compare(0, 14, "<!doctype html") == 0 || start.compare(0, 5, "<html") == 0;
}

std::string findFeedLink(const std::string& html, const std::string& pageUrl) {
    std::string head = html.substr(0, kHeadBytes);
    std::string lowerHead = platform::lowerAscii(head);
    size_t end = std::min(lowerHead.find("</head"), lowerHead.find("<body"));
    for (size_t at = lowerHead.find("<link"); at < end; at = lowerHead.find("<link", at + 5)) {
        size_t close = lowerHead.find('>', at);
        if (close == std::string::npos)
            break;
        std::string tag = head.substr(at, close - at);
        std::string lowerTag = lowerHead.substr(at, close - at);
        std::string href = attributeOf(tag, lowerTag, "href");
        if (href.empty() || !hasToken(attributeOf(tag, lowerTag, "rel"), "alternate") ||
            !isFeedType(attributeOf(tag, lowerTag, "type")))
            continue;
        // A page may only lead to the web: "file:///dev/zero" would be read
        // into the cache, and a local page's relative link is no feed of it.
        std::string feed = platform::resolveUrl(pageUrl, platform::browserForm(href));
        if (platform::isWebAddress(feed))
            return platform::browserForm(feed);
    }
    return {};
}

std::string discoverFeed(const std::string& address, const xml::LoadOptions& options) {
    platform::SourceBytes page;
    if (!platform::readSource(address, options, page) || !looksLikeHtml(page.bytes))
        return {};
    return findFeedLink(page.bytes, page.url);
}

} // namespace kelvor::feeds
