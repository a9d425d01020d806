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

namespace {

bool isAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Only where HTML would read markup: "<" before a tag name, "/", "!" or "?",
// and "&" before what could be a character reference. A lone "<" or "&" is
// text to an HTML parser already, and left alone it keeps a feed of such
// characters from growing many times over on its way into the tree file.
bool startsMarkup(const std::string& text, size_t at) {
    char next = at + 1 < text.size() ? text[at + 1] : ' ';
    if (text[at] == '&')
        return isAsciiAlnum(next) || next == '#';
    if (text[at] == '<')
        return isAsciiAlnum(next) || next == '/' || next == '!' || next == '?';
    return false;
}

} // namespace

std::string plainTextAsHtml(const std::string& text) {
    std::string html;
    html.reserve(text.size());
    for (size_t at = 0; at < text.size(); ++at) {
        if (!startsMarkup(text, at))
            html += text[at];
        else
            html += text[at] == '&' ? "&amp;" : "&lt;";
    }
    return html;
}

} // namespace kelvor::feeds
