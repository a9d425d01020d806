#include "platform/HtmlText.h"

#include "platform/HtmlEntities.h"
#include "platform/Text.h"

#include <cctype>
#include <strings.h>

namespace kelvor::platform {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isAlnum(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

// The lower-case name of the tag at html[at] ('<'), "" for no name.
std::string tagName(const std::string& html, size_t at) {
    size_t from = at + 1 + (at + 1 < html.size() && html[at + 1] == '/' ? 1 : 0);
    size_t to = from;
    while (to < html.size() && isAlnum(html[to]))
        ++to;
    return lowerAscii(html.substr(from, to - from));
}

size_t findNoCase(const std::string& html, const char* needle, size_t from) {
    size_t length = std::char_traits<char>::length(needle);
    for (size_t at = from; at + length <= html.size(); ++at)
        if (strncasecmp(html.c_str() + at, needle, length) == 0)
            return at;
    return std::string::npos;
}

bool hidesContent(const std::string& html, size_t at) {
    if (at + 1 < html.size() && html[at + 1] == '/')
        return false;
    std::string name = tagName(html, at);
    return name == "script" || name == "style";
}

// Where the markup that starts at html[at] ('<') ends, a script or style
// with its content; at itself when a title's '<' starts no tag.
size_t endOfMarkup(const std::string& html, size_t at, HtmlTextFor use) {
    if (html.compare(at, 4, "<!--") == 0) {
        size_t close = html.find("-->", at + 4);
        return close == std::string::npos ? html.size() : close + 3;
    }
    char next = at + 1 < html.size() ? html[at + 1] : ' ';
    if (use == HtmlTextFor::Title && !std::isalpha(static_cast<unsigned char>(next)) &&
        next != '/' && next != '!' && next != '?')
        return at;
    size_t close = html.find('>', at);
    if (close == std::string::npos)
        return html.size();
    if (hidesContent(html, at)) {
        size_t end =
            findNoCase(html, tagName(html, at) == "script" ? "</script" : "</style", close);
        close = end == std::string::npos ? end : html.find('>', end);
        if (close == std::string::npos)
            return html.size();
    }
    return close + 1;
}

// Tags that break a line separate words; inline ones ("a<b>b</b>") do not.
bool partsWords(const std::string& html, size_t at, HtmlTextFor use) {
    if (use == HtmlTextFor::Index)
        return true;
    static const char* const kBreaking[] = {"br", "p",  "div",        "li",     "tr",   "td", "th",
                                            "h1", "h2", "h3",         "h4",     "h5",   "h6", "hr",
                                            "ul", "ol", "blockquote", "script", "style"};
    std::string name = tagName(html, at);
    for (const char* breaking : kBreaking) {
        if (name == breaking)
            return true;
    }
    return false;
}

} // namespace

std::string collapseWhiteSpace(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    bool pendingSpace = false;
    for (char c : text) {
        if (isSpace(c)) {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace)
            out += ' ';
        pendingSpace = false;
        out += c;
    }
    return out;
}

std::string htmlToText(const std::string& html, HtmlTextFor use) {
    std::string text;
    text.reserve(html.size());
    for (size_t i = 0; i < html.size();) {
        if (html[i] == '<') {
            size_t end = endOfMarkup(html, i, use);
            if (end > i) {
                if (partsWords(html, i, use))
                    text += ' ';
                i = end;
                continue;
            }
        } else if (html[i] == '&') {
            size_t before = text.size();
            if (size_t used = decodeHtmlReference(html, i, text, ReferenceContext::Attribute)) {
                if (use == HtmlTextFor::Index &&
                    text.compare(before, std::string::npos, "\u00a0") == 0)
                    text.replace(before, std::string::npos, " ");
                i += used;
                continue;
            }
        }
        text += html[i++];
    }
    return collapseWhiteSpace(text);
}

} // namespace kelvor::platform
