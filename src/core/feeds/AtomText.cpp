#include "feeds/AtomText.h"

#include "feeds/EscapeXmlText.h"
#include "platform/HtmlText.h"

namespace kelvor::feeds {
namespace {

enum class Kind { Text, Html, Xhtml, Media };

Kind kindOf(const xml::Node& construct) {
    std::string type = construct.attributeOr("type");
    Kind kind;
    if (type.empty() || type == "text" || type == "text/plain")
        kind = Kind::Text;
    else if (type == "html" || type == "text/html")
        kind = Kind::Html;
    else if (type == "xhtml" || type == "application/xhtml+xml")
        kind = Kind::Xhtml;
    else if (type.compare(0, 5, "text/") == 0)
        kind = Kind::Text;
    else
        kind = Kind::Media;
    // Atom 0.3 says how the markup is carried: escaped, it is text of HTML.
    std::string mode = construct.attributeOr("mode");
    if (mode == "escaped" && kind == Kind::Xhtml)
        kind = Kind::Html;
    else if (mode == "base64")
        kind = Kind::Media;
    return kind;
}

// The div that wraps XHTML content (Atom 1.0); 0.3 may put the markup
// directly inside.
xml::Node xhtmlContainer(const xml::Node& construct) {
    xml::Node only;
    for (xml::Node child = construct.firstChild(); child; child = child.nextSibling()) {
        if (child.isElement()) {
            if (only)
                return construct;
            only = child;
        }
    }
    return only && only.localName() == "div" ? only : construct;
}

} // namespace

std::string atomTitleText(const xml::Node& construct) {
    switch (kindOf(construct)) {
    case Kind::Html:
        return platform::htmlToText(construct.text(), platform::HtmlTextFor::Title);
    case Kind::Xhtml:
        return platform::collapseWhiteSpace(construct.text());
    default:
        return construct.text();
    }
}

std::optional<std::string> atomDescription(const xml::Node& construct) {
    if (construct.hasAttribute("src"))
        return std::nullopt;
    switch (kindOf(construct)) {
    case Kind::Media:
        return std::nullopt;
    case Kind::Xhtml:
        return xhtmlContainer(construct).innerXml();
    case Kind::Html:
        return construct.text();
    default:
        return plainTextAsHtml(construct.text());
    }
}

} // namespace kelvor::feeds
