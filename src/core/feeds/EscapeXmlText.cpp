#include "feeds/EscapeXmlText.h"

namespace kelvor::feeds {

void EscapeXmlText(std::string& text) {
    if (text.find_first_of("&<>\"'") == std::string::npos)
        return;
    // One pass gives the same result as the five whole-string replacements,
    // since no replacement introduces a character a later one would touch
    // except "&", which goes first.
    std::string escaped;
    escaped.reserve(text.size() + 16);
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&apos;";
            break;
        default:
            escaped += c;
            break;
        }
    }
    text.swap(escaped);
}

std::string plainTextAsHtml(std::string text) {
    EscapeXmlText(text);
    return text;
}

} // namespace kelvor::feeds
