#include "platform/XmlChars.h"

#include <cstdint>

namespace kelvor::xml {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD"; // U+FFFD

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at text[i] (shortest form, no
// surrogates, at most U+10FFFF), or 0 when the bytes there are not one.
size_t sequenceLength(const std::string& text, size_t i, uint32_t& codePoint) {
    auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = at(i);
    size_t left = text.size() - i;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    size_t length;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < length || at(i + 1) < low || at(i + 1) > high)
        return 0;
    codePoint = lead & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
        if (!isContinuation(at(i + k)))
            return 0;
        codePoint = (codePoint << 6) | (at(i + k) & 0x3F);
    }
    return length;
}

bool isXmlChar(uint32_t c) {
    if (c < 0x20)
        return c == '\t' || c == '\n' || c == '\r';
    return c != 0xFFFE && c != 0xFFFF;
}

} // namespace

bool isBlankText(const unsigned char* text) {
    if (!text)
        return true;
    for (; *text; ++text) {
        if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n')
            return false;
    }
    return true;
}

bool isXmlText(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        uint32_t c = 0;
        size_t length = sequenceLength(text, i, c);
        if (length == 0 || !isXmlChar(c))
            return false;
        i += length;
    }
    return true;
}

std::string toXmlText(const std::string& text) {
    if (isXmlText(text))
        return text;
    std::string clean;
    clean.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        uint32_t c = 0;
        size_t length = sequenceLength(text, i, c);
        if (length == 0) {
            clean += kReplacement;
            ++i;
            continue;
        }
        if (isXmlChar(c))
            clean.append(text, i, length);
        i += length;
    }
    return clean;
}

} // namespace kelvor::xml
