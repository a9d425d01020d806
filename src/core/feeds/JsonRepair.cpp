#include "feeds/JsonRepair.h"

#include "platform/XmlChars.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace kelvor::feeds {
namespace {

bool isHexQuad(const std::string& text, size_t at) {
    if (at + 4 > text.size())
        return false;
    for (size_t i = at; i < at + 4; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

unsigned hexQuad(const std::string& text, size_t at) {
    return static_cast<unsigned>(std::strtoul(text.substr(at, 4).c_str(), nullptr, 16));
}

bool isHighSurrogate(unsigned u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(unsigned u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// "\uXXXX" at text[at]; returns the bytes used.
size_t copyUnicodeEscape(const std::string& text, size_t at, std::string& out) {
    if (!isHexQuad(text, at + 2)) {
        out += "\\\\";
        return 1;
    }
    unsigned unit = hexQuad(text, at + 2);
    bool paired = isHighSurrogate(unit) && text.compare(at + 6, 2, "\\u") == 0 &&
                  isHexQuad(text, at + 8) && isLowSurrogate(hexQuad(text, at + 8));
    if (paired) {
        out.append(text, at, 12);
        return 12;
    }
    if (isHighSurrogate(unit) || isLowSurrogate(unit))
        out += "\\uFFFD";
    else
        out.append(text, at, 6);
    return 6;
}

size_t copyEscape(const std::string& text, size_t at, std::string& out) {
    char next = at + 1 < text.size() ? text[at + 1] : '\0';
    if (next == 'u')
        return copyUnicodeEscape(text, at, out);
    if (next != '\0' && std::strchr("\"\\/bfnrt", next)) {
        out.append(text, at, 2);
        return 2;
    }
    out += "\\\\";
    return 1;
}

// From the opening quote to just past the closing one (or to the end).
size_t copyString(const std::string& text, size_t at, std::string& out) {
    out += '"';
    for (size_t i = at + 1; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '"') {
            out += '"';
            return i + 1;
        }
        if (c == '\\') {
            i += copyEscape(text, i, out);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
            out += escaped;
            ++i;
        } else {
            out += text[i++];
        }
    }
    return text.size();
}

// Past the largest double (1e400), not merely too close to zero for one
// (1e-400, which reads as 0).
bool isBeyondDouble(std::string_view number) {
    double value = 0;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error != std::errc::result_out_of_range)
        return false;
    // Out of range either way: the side is the sign of the decimal order.
    size_t e = number.find_first_of("eE");
    long exponent = 0;
    if (e != std::string_view::npos)
        exponent = std::strtol(std::string(number.substr(e + 1)).c_str(), nullptr, 10);
    std::string_view mantissa = number.substr(0, e);
    size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return false;
    size_t point = std::min(mantissa.find('.'), mantissa.size());
    long order =
        first < point ? static_cast<long>(point - first) : -static_cast<long>(first - point - 1);
    return order + std::clamp(exponent, -100000L, 100000L) > 0;
}

size_t copyNumber(const std::string& text, size_t at, std::string& out) {
    size_t end = std::min(text.find_first_not_of("+-.0123456789eE", at), text.size());
    std::string_view number(text.data() + at, end - at);
    if (isBeyondDouble(number))
        out += "null";
    else
        out += number;
    return end;
}

bool commaIsSurplus(const std::string& text, size_t comma) {
    size_t next = text.find_first_not_of(" \t\r\n", comma + 1);
    return next != std::string::npos && std::strchr("]},", text[next]);
}

} // namespace

std::string repairJsonText(const std::string& raw) {
    std::string text = xml::toXmlText(raw);
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t at = 0; at < text.size();) {
        char c = text[at];
        if (c == '"')
            at = copyString(text, at, out);
        else if (c == '-' || std::isdigit(static_cast<unsigned char>(c)))
            at = copyNumber(text, at, out);
        else if (c == ',' && commaIsSurplus(text, at))
            ++at;
        else
            out += text[at++];
    }
    return out;
}

} // namespace kelvor::feeds
