#include "tree/TitleCut.h"

namespace kelvor::tree {
namespace {

// Length of the UTF-8 sequence that starts with this byte; a stray byte
// counts as one character of its own so that broken text still ends.
size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}

} // namespace

int codePageWidth(char32_t codePoint) { return codePoint < 0x80 ? 1 : 2; }

std::string cutToCodePageBytes(const std::string& utf8, size_t maxBytes) {
    size_t used = 0;
    size_t pos = 0;
    while (pos < utf8.size()) {
        auto lead = static_cast<unsigned char>(utf8[pos]);
        size_t width = static_cast<size_t>(codePageWidth(lead < 0x80 ? lead : 0x80));
        if (used + width > maxBytes)
            break;
        used += width;
        pos += sequenceLength(lead);
    }
    return utf8.substr(0, pos);
}

} // namespace kelvor::tree
