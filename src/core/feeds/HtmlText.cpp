#include "feeds/HtmlText.h"

#include "platform/HtmlEntities.h"

#include <cctype>
#include <cstring>

namespace kelvor::feeds {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Where the markup that starts at text[at] ('<') ends; a '<' that starts no
// tag ("a < b") is text.
size_t endOfMarkup(const std::string& text, size_t at) {
    if (text.compare(at, 4, "<!--") == 0) {
        size_t close = text.find("-->", at + 4);
        return close == std::string::npos ? text.size() : close + 3;
    }
    char next = at + 1 < text.size() ? text[at + 1] : ' ';
    if (!std::isalpha(static_cast<unsigned char>(next)) && next != '/' && next != '!' &&
        next != '?')
        return at;
    size_t close = text.find('>', at);
    return close == std::string::npos ? text.size() : close + 1;
}

// Tags that break a line separate words; inline ones ("a<b>b</b>") do not.
bool breaksWords(const std::string& text, size_t at) {
    size_t from = at + 1 + (at + 1 < text.size() && text[at + 1] == '/' ? 1 : 0);
    size_t to = from;
    while (to < text.size() && std::isalnum(static_cast<unsigned char>(text[to])))
        ++to;
    std::string name = text.substr(from, to - from);
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const char* const kBreaking[] = {"br", "p",  "div", "li", "tr",        "td",
                                            "th", "h1", "h2",  "h3", "h4",        "h5",
                                            "h6", "hr", "ul",  "ol", "blockquote"};
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

std::string htmlToText(const std::string& html) {
    std::string text;
    text.reserve(html.size());
    for (size_t i = 0; i < html.size();) {
        if (html[i] == '<') {
            size_t end = endOfMarkup(html, i);
            if (end > i) {
                if (breaksWords(html, i))
                    text += ' ';
                i = end;
                continue;
            }
        } else if (html[i] == '&') {
            if (size_t used = platform::decodeHtmlReference(html, i, text)) {
                i += used;
                continue;
            }
        }
        text += html[i++];
    }
    return collapseWhiteSpace(text);
}

} // namespace kelvor::feeds
