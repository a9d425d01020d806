#include "feeds/FeedRepair.h"

#include "platform/HtmlEntities.h"
#include "platform/Text.h"
#include "platform/XmlChars.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string_view>
#include <utility>

#include <iconv.h>

namespace kelvor::feeds {
namespace {

// The whole text converted, or false when any byte is not valid in it.
bool decodeAll(const std::string& bytes, const std::string& encoding, std::string& out) {
    iconv_t cd = iconv_open("UTF-8", encoding.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.assign(bytes.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    size_t written = 0;
    bool ok = true;
    while (inLeft > 0) {
        char* to = &out[written];
        size_t outLeft = out.size() - written;
        size_t result = iconv(cd, &in, &inLeft, &to, &outLeft);
        written = out.size() - outLeft;
        if (result != static_cast<size_t>(-1))
            continue;
        if (errno != E2BIG) {
            ok = false;
            break;
        }
        out.resize(out.size() * 2);
    }
    iconv_close(cd);
    out.resize(written);
    return ok;
}

bool startsDeclaration(const std::string& text, size_t at) {
    if (text.compare(at, 2, "<?") != 0 || text.size() < at + 5)
        return false;
    for (size_t i = 0; i < 3; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[at + 2 + i])) != "xml"[i])
            return false;
    }
    return true;
}

// Just past the declaration (or another "<?xml..." instruction, which a feed
// reader has no use for either) at text[at], `at` when there is none. Broken
// servers leave it unclosed or close it with a bare ">"; it never holds
// markup, so it ends before the next "<" at the latest.
size_t declarationEnd(const std::string& text, size_t at = 0) {
    if (!startsDeclaration(text, at))
        return at;
    size_t next = std::min(text.find('<', at + 1), text.size());
    std::string_view declaration(text.data() + at, next - at);
    size_t close = declaration.find("?>");
    if (close != std::string_view::npos)
        return at + close + 2;
    size_t bracket = declaration.find('>');
    return bracket != std::string_view::npos ? at + bracket + 1 : next;
}

std::string declaredEncoding(const std::string& text) {
    return platform::encodingInDeclaration(std::string_view(text).substr(0, declarationEnd(text)));
}

size_t skipLeadingNoise(const std::string& bytes, size_t at = 0) {
    while (at < bytes.size()) {
        if (bytes.compare(at, 3, "\xEF\xBB\xBF") == 0)
            at += 3;
        else if (static_cast<unsigned char>(bytes[at]) <= 0x20) // space or a control
            ++at;
        else
            break;
    }
    return at;
}

std::string dropLeadingNoise(const std::string& bytes) {
    return bytes.substr(skipLeadingNoise(bytes));
}

std::string toUtf8(const std::string& bytes, const std::string& httpCharset) {
    std::string text = dropLeadingNoise(bytes);
    std::string named = declaredEncoding(text);
    if (named.empty())
        named = httpCharset;
    std::string decoded;
    for (std::string encoding :
         {named, std::string("UTF-8"), std::string("GB18030"), std::string("WINDOWS-1252")}) {
        if (encoding.empty())
            continue;
        if (encoding == "gb2312" || encoding == "GB2312" || encoding == "gbk" || encoding == "GBK")
            encoding = "GB18030";
        if (decodeAll(text, encoding, decoded) && xml::isXmlText(decoded))
            return dropLeadingNoise(decoded);
    }
    return dropLeadingNoise(xml::toXmlText(text));
}

std::string withoutDeclaration(const std::string& text) {
    size_t at = 0;
    for (size_t end; (end = declarationEnd(text, at)) != at;)
        at = skipLeadingNoise(text, end);
    return text.substr(at);
}

// Past its first error libxml2's lenient reading drops every entity
// reference, the predefined ones too ("AT&amp;T" would read "ATT"), but
// keeps character references: what the repair writes is written as those.
const std::pair<const char*, const char*> kPredefined[] = {{"&amp;", "&#38;"},
                                                           {"&lt;", "&#60;"},
                                                           {"&gt;", "&#62;"},
                                                           {"&quot;", "&#34;"},
                                                           {"&apos;", "&#39;"}};

size_t predefinedReference(const std::string& text, size_t at, std::string& out) {
    for (const auto& [name, number] : kPredefined) {
        size_t length = std::char_traits<char>::length(name);
        if (text.compare(at, length, name) == 0) {
            out += number;
            return length;
        }
    }
    return 0;
}

bool isCharacterReference(const std::string& text, size_t at) {
    if (text.compare(at, 2, "&#") != 0)
        return false;
    size_t i = at + 2;
    bool hex = i < text.size() && text[i] == 'x';
    size_t digits = hex ? ++i : i;
    while (i < text.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text[i]))
                                   : std::isdigit(static_cast<unsigned char>(text[i]))))
        ++i;
    return i > digits && i < text.size() && text[i] == ';';
}

// "&name=" is a query string's parameter in an address, whatever HTML would
// make of "&copy=" or "&notify=" in a page's text.
bool startsParameter(const std::string& text, size_t at) {
    size_t end = at + 1;
    while (end < text.size() && std::isalnum(static_cast<unsigned char>(text[end])))
        ++end;
    return end > at + 1 && end < text.size() && text[end] == '=';
}

void appendReference(const std::string& text, size_t& at, std::string& out) {
    if (size_t used = predefinedReference(text, at, out)) {
        at += used;
        return;
    }
    if (isCharacterReference(text, at)) {
        out += '&';
        ++at;
        return;
    }
    std::string character;
    size_t used =
        startsParameter(text, at)
            ? 0
            : platform::decodeHtmlReference(text, at, character, platform::ReferenceContext::Text);
    if (used == 0) {
        out += "&#38;";
        ++at;
        return;
    }
    for (char c : character) {
        if (c == '<')
            out += "&#60;";
        else if (c == '&')
            out += "&#38;";
        else
            out += c;
    }
    at += used;
}

// Markup whose content is not parsed: copied as it stands.
size_t skipVerbatim(const std::string& text, size_t at, std::string& out) {
    const char* close = text.compare(at, 9, "<![CDATA[") == 0 ? "]]>"
                        : text.compare(at, 4, "<!--") == 0    ? "-->"
                                                              : nullptr;
    if (!close)
        return at;
    size_t end = text.find(close, at);
    end = end == std::string::npos ? text.size() : end + 3;
    out.append(text, at, end - at);
    return end;
}

std::string fixReferences(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t at = 0; at < text.size();) {
        if (text[at] == '<') {
            size_t after = skipVerbatim(text, at, out);
            if (after != at) {
                at = after;
                continue;
            }
        }
        if (text[at] == '&')
            appendReference(text, at, out);
        else
            out += text[at++];
    }
    return out;
}

std::string cutAfterLastEntry(const std::string& text) {
    size_t item = text.rfind("</item>");
    size_t entry = text.rfind("</entry>");
    size_t end = std::string::npos;
    if (item != std::string::npos)
        end = item + 7;
    if (entry != std::string::npos && (end == std::string::npos || entry + 8 > end))
        end = entry + 8;
    return end == std::string::npos ? text : text.substr(0, end);
}

} // namespace

std::string repairFeedText(const std::string& bytes, const std::string& httpCharset) {
    return cutAfterLastEntry(fixReferences(withoutDeclaration(toUtf8(bytes, httpCharset))));
}

} // namespace kelvor::feeds
