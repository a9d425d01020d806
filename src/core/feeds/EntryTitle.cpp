#include "feeds/EntryTitle.h"

#include "platform/HtmlText.h"
#include "platform/XmlChars.h"

namespace kelvor::feeds {
namespace {

bool startsCharacter(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

// Where the text is cut to keep at most kDerivedTitleCharacters characters,
// npos when it is short enough. A space in the second half is preferred, so
// a word is not split; text without spaces (Chinese) is cut between
// characters, never inside one.
size_t cutPosition(const std::string& text) {
    size_t characters = 0;
    size_t lastSpace = std::string::npos;
    for (size_t at = 0; at < text.size(); ++at) {
        if (!startsCharacter(text[at]))
            continue;
        if (characters == kDerivedTitleCharacters)
            return lastSpace != std::string::npos ? lastSpace : at;
        if (text[at] == ' ' && characters >= kDerivedTitleCharacters / 2)
            lastSpace = at;
        ++characters;
    }
    return std::string::npos;
}

std::string firstWords(const std::string& html) {
    std::string text = platform::htmlToText(html, platform::HtmlTextFor::Title);
    size_t cut = cutPosition(text);
    if (cut == std::string::npos)
        return text;
    text.resize(cut);
    return text + "…";
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// "%E4%B9%9D.html" as "九.html", when the bytes make text.
std::string decodedSegment(const std::string& segment) {
    std::string decoded;
    for (size_t at = 0; at < segment.size(); ++at) {
        int high = at + 2 < segment.size() ? hexValue(segment[at + 1]) : -1;
        int low = high < 0 ? -1 : hexValue(segment[at + 2]);
        if (segment[at] == '%' && low >= 0) {
            decoded += static_cast<char>(high * 16 + low);
            at += 2;
        } else {
            decoded += segment[at];
        }
    }
    return xml::isXmlText(decoded) ? decoded : segment;
}

std::string lastPathSegment(const std::string& link) {
    std::string path = link.substr(0, link.find_first_of("?#"));
    size_t authority = path.find("://");
    size_t pathStart = path.find('/', authority == std::string::npos ? 0 : authority + 3);
    if (authority != std::string::npos && pathStart == std::string::npos)
        return {};
    path.erase(0, pathStart == std::string::npos ? 0 : pathStart);
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    return decodedSegment(path.substr(path.rfind('/') + 1));
}

} // namespace

std::string derivedTitle(const std::string& html, const std::string& link) {
    std::string title = firstWords(html);
    if (title.empty())
        title = platform::collapseWhiteSpace(lastPathSegment(link));
    return title.empty() ? "(无标题)" : title;
}

void giveTitle(TreeItem& item) {
    const std::string* title = item.attribute("Title");
    if (title && !platform::collapseWhiteSpace(*title).empty())
        return;
    const std::string* link = item.attribute("Href");
    std::string derived =
        derivedTitle(item.descriptions.empty() ? std::string() : item.descriptions.front(),
                     link ? *link : std::string());
    if (title) {
        item.setAttribute("Title", std::move(derived));
        return;
    }
    item.attributes.emplace(item.attributes.begin(), "Title", std::move(derived));
}

} // namespace kelvor::feeds
