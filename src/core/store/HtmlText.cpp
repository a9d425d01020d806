#include "store/HtmlText.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace kelvor::store {
namespace {

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes the entity starting at html[i] ('&'); returns the characters used,
// 0 when it is no entity (the '&' then stays as written).
size_t decodeEntity(const std::string& html, size_t i, std::string& out) {
    size_t end = html.find(';', i);
    if (end == std::string::npos || end - i > 10)
        return 0;
    std::string name = html.substr(i + 1, end - i - 1);
    static const struct {
        const char* name;
        const char* text;
    } named[] = {{"amp", "&"},   {"lt", "<"},    {"gt", ">"},     {"quot", "\""},
                 {"apos", "'"},  {"nbsp", " "},  {"hellip", "…"}, {"mdash", "—"},
                 {"ndash", "–"}, {"ldquo", "“"}, {"rdquo", "”"}};
    for (const auto& entity : named) {
        if (name == entity.name) {
            out += entity.text;
            return end - i + 1;
        }
    }
    if (name.size() > 1 && name[0] == '#') {
        bool hex = name[1] == 'x' || name[1] == 'X';
        char* stop = nullptr;
        const char* digits = name.c_str() + (hex ? 2 : 1);
        unsigned long cp = std::strtoul(digits, &stop, hex ? 16 : 10);
        if (stop != digits && *stop == '\0') {
            appendUtf8(out, static_cast<uint32_t>(cp));
            return end - i + 1;
        }
    }
    return 0;
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
