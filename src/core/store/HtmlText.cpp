#include "store/HtmlText.h"

#include "platform/HtmlEntities.h"

#include <cstring>
#include <strings.h>

namespace kelvor::store {
namespace {

// One character reference at html[i] ('&'), decoded as everywhere else in
// the program; a no-break space is a plain space to the index, so that words
// either side of it stay apart. Returns the characters used, 0 when no
// reference starts there (the '&' then stays as written).
size_t decodeEntity(const std::string& html, size_t i, std::string& out) {
    size_t before = out.size();
    size_t used = platform::decodeHtmlReference(html, i, out);
    if (used && out.compare(before, std::string::npos, "\u00a0") == 0)
        out.replace(before, std::string::npos, " ");
    return used;
}

bool startsTagNamed(const std::string& html, size_t i, const char* name) {
    size_t n = std::strlen(name);
    return html.size() > i + n && strncasecmp(html.c_str() + i + 1, name, n) == 0;
}

size_t findNoCase(const std::string& html, const std::string& needle, size_t from) {
    for (size_t at = from; at + needle.size() <= html.size(); ++at)
        if (strncasecmp(html.c_str() + at, needle.c_str(), needle.size()) == 0)
            return at;
    return std::string::npos;
}

// Index after the tag that starts at i; skips the content of script and style.
size_t skipTag(const std::string& html, size_t i) {
    size_t close = html.find('>', i);
    if (close == std::string::npos)
        return html.size();
    for (const char* hidden : {"script", "style"}) {
        if (startsTagNamed(html, i, hidden)) {
            size_t end = findNoCase(html, std::string("</") + hidden, close);
            if (end == std::string::npos)
                return html.size();
            close = html.find('>', end);
            return close == std::string::npos ? html.size() : close + 1;
        }
    }
    return close + 1;
}

} // namespace

std::string htmlToText(const std::string& html) {
    std::string decoded;
    decoded.reserve(html.size());
    for (size_t i = 0; i < html.size();) {
        char c = html[i];
        if (c == '<') {
            i = skipTag(html, i);
            decoded += ' ';
        } else if (c == '&') {
            size_t used = decodeEntity(html, i, decoded);
            if (used == 0)
                decoded += c;
            i += used ? used : 1;
        } else {
            decoded += c;
            ++i;
        }
    }
    std::string text;
    text.reserve(decoded.size());
    for (char c : decoded) {
        bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
        if (!space)
            text += c;
        else if (!text.empty() && text.back() != ' ')
            text += ' ';
    }
    if (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

} // namespace kelvor::store
