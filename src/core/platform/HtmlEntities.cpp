#include "platform/HtmlEntities.h"

#include "platform/HtmlEntityTable.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kelvor::platform {
namespace {

bool isXmlChar(unsigned long c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

unsigned long digitValue(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<unsigned long>(c - '0');
    return static_cast<unsigned long>(std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
}

size_t decodeNumeric(const std::string& text, size_t at, std::string& out) {
    size_t i = at + 2;
    bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex)
        ++i;
    size_t digitsFrom = i;
    unsigned long value = 0;
    while (i < text.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text[i]))
                                   : std::isdigit(static_cast<unsigned char>(text[i])))) {
        if (value <= 0x10FFFF)
            value = value * (hex ? 16 : 10) + digitValue(text[i]);
        ++i;
    }
    if (i == digitsFrom)
        return 0;
    if (i < text.size() && text[i] == ';')
        ++i;
    appendUtf8(out, value);
    return i - at;
}

std::string_view nameOf(const entities::Entry& entry) {
    return {entities::kNames + entry.offset, entry.length};
}

const entities::Entry* findName(std::string_view name) {
    const entities::Entry* end = entities::kEntries + entities::kEntryCount;
    const entities::Entry* found = std::lower_bound(
        entities::kEntries, end, name, [](const entities::Entry& entry, std::string_view wanted) {
            return nameOf(entry) < wanted;
        });
    return found != end && nameOf(*found) == name ? found : nullptr;
}

bool isAlnum(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

size_t decodeNamed(const std::string& text, size_t at, std::string& out, ReferenceContext context) {
    size_t from = at + 1;
    size_t end = from;
    while (end < text.size() && end - from < entities::kLongestName && isAlnum(text[end]))
        ++end;
    const std::string_view run(text.data() + from, end - from);
    const entities::Entry* entry = nullptr;
    size_t used = 0;
    if (end < text.size() && text[end] == ';' && (entry = findName(run)))
        used = end + 1 - at;
    // Else the longest old name the run starts with, as HTML reads them.
    for (size_t length = run.size(); !entry && length > 0; --length) {
        const entities::Entry* old = findName(run.substr(0, length));
        if (!old || !old->legacy)
            continue;
        size_t after = from + length;
        if (context == ReferenceContext::Attribute && after < text.size() &&
            (isAlnum(text[after]) || text[after] == '='))
            return 0;
        entry = old;
        used = after - at;
    }
    if (!entry)
        return 0;
    appendUtf8(out, entry->first);
    if (entry->second)
        appendUtf8(out, entry->second);
    return used;
}

} // namespace

void appendUtf8(std::string& out, unsigned long c) {
    if (!isXmlChar(c))
        c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

size_t decodeHtmlReference(const std::string& text, size_t at, std::string& out,
                           ReferenceContext context) {
    if (at + 1 >= text.size() || text[at] != '&')
        return 0;
    if (text[at + 1] == '#')
        return decodeNumeric(text, at, out);
    return decodeNamed(text, at, out, context);
}

} // namespace kelvor::platform
