#include "platform/XmlChars.h"

#include "platform/Text.h"

#include <cstdint>

namespace kelvor::xml {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD"; // U+FFFD

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
        size_t length = platform::utf8SequenceLength(text, i, &c);
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
        size_t length = platform::utf8SequenceLength(text, i, &c);
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
