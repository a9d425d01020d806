#include "platform/HtmlEntities.h"

#include <libxml/HTMLparser.h>

#include <cctype>

namespace kelvor::platform {
namespace {

constexpr size_t kLongestName = 8; // "thetasym"

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

const htmlEntityDesc* lookup(const std::string& name) {
    return htmlEntityLookup(reinterpret_cast<const xmlChar*>(name.c_str()));
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

size_t decodeHtmlReference(const std::string& text, size_t at, std::string& out) {
    if (at + 1 >= text.size() || text[at] != '&')
        return 0;
    if (text[at + 1] == '#')
        return decodeNumeric(text, at, out);
    size_t end = at + 1;
    while (end < text.size() && end - at - 1 < kLongestName &&
           std::isalnum(static_cast<unsigned char>(text[end])))
        ++end;
    // The longest name that is known wins, as in HTML ("&notin;" vs "&not").
    for (size_t length = end - at - 1; length > 0; --length) {
        const htmlEntityDesc* entity = lookup(text.substr(at + 1, length));
        if (!entity)
            continue;
        size_t after = at + 1 + length;
        bool closed = after < text.size() && text[after] == ';';
        // Without its ";" only an old Latin-1 name counts, and not where it
        // runs on into a word or an "=" (a query string's "&copy=2").
        if (!closed &&
            (entity->value > 0xFF ||
             (after < text.size() &&
              (std::isalnum(static_cast<unsigned char>(text[after])) || text[after] == '='))))
            continue;
        appendUtf8(out, entity->value);
        return after - at + (closed ? 1 : 0);
    }
    return 0;
}

} // namespace kelvor::platform
