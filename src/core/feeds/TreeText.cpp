#include "feeds/TreeText.h"

#include <algorithm>
#include <cstring>

namespace kelvor::feeds {
namespace {

// Which bytes each kind of value must escape, looked up per byte.
struct EscapeTable {
    bool escape[256] = {};
    EscapeTable(const char* characters) {
        for (const char* c = characters; *c; ++c)
            escape[static_cast<unsigned char>(*c)] = true;
    }
};
const EscapeTable attributeEscapes("<>&\"\n\r\t");
const EscapeTable textEscapes("<>&\r");

const char* escapeOf(char c) {
    switch (c) {
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '&':
        return "&amp;";
    case '"':
        return "&quot;";
    case '\n':
        return "&#10;";
    case '\r':
        return "&#13;";
    case '\t':
        return "&#9;";
    default:
        return "";
    }
}

void appendEscaped(std::string& out, const std::string& value, const EscapeTable& table) {
    const char* data = value.data();
    size_t plainFrom = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        if (!table.escape[static_cast<unsigned char>(data[i])])
            continue;
        out.append(data + plainFrom, i - plainFrom);
        out += escapeOf(data[i]);
        plainFrom = i + 1;
    }
    out.append(data + plainFrom, value.size() - plainFrom);
}

} // namespace

void appendEscapedAttribute(std::string& out, const std::string& value) {
    appendEscaped(out, value, attributeEscapes);
}

void appendEscapedText(std::string& out, const std::string& value) {
    appendEscaped(out, value, textEscapes);
}

namespace {

// Const or not, as the attributes are.
template <class Attributes> auto findAttribute(Attributes& attributes, const char* name) {
    return std::find_if(attributes.begin(), attributes.end(), [name](const auto& attribute) {
        return std::strcmp(attribute.first, name) == 0;
    });
}

} // namespace

void TreeItem::setAttribute(const char* name, std::string value) {
    auto found = findAttribute(attributes, name);
    if (found != attributes.end())
        found->second = std::move(value);
    else
        attributes.emplace_back(name, std::move(value));
}

const std::string* TreeItem::attribute(const char* name) const {
    auto found = findAttribute(attributes, name);
    return found != attributes.end() ? &found->second : nullptr;
}

void TreeItem::clear() {
    attributes.clear();
    descriptions.clear();
}

namespace {
// Pieces of about this size keep the buffer in cache and the memory flat,
// however long the feed.
constexpr size_t kPieceBytes = 1 << 20;
} // namespace

TreeTextWriter::TreeTextWriter(const xml::Document& rootDocument, TextSink sink)
    : sink_(std::move(sink)) {
    if (rootDocument.isNull() || rootDocument.documentElement().isNull())
        throw xml::DomError(xml::kErrPointer, "the converted document has no root");
    // The DOM writes the prologue and the empty root ("<Tree .../>\n"); the
    // items go where its "/>" is.
    text_ = rootDocument.xml();
    size_t close = text_.rfind("/>");
    if (close == std::string::npos)
        throw xml::DomError(xml::kErrFail, "unexpected root element");
    rootClose_ = text_.substr(close);
    text_.resize(close);
    text_.reserve(kPieceBytes + 64 * 1024);
}

void TreeTextWriter::addItem(const TreeItem& item) {
    if (empty_) {
        text_ += ">\n";
        rootClose_ = "</Tree>\n";
        empty_ = false;
    }
    text_ += "  <TreeNode";
    for (const auto& [name, value] : item.attributes) {
        text_ += ' ';
        text_ += name;
        text_ += "=\"";
        appendEscapedAttribute(text_, value);
        text_ += '"';
    }
    if (item.descriptions.empty()) {
        text_ += "/>\n";
        flushIfFull();
        return;
    }
    text_ += ">\n";
    for (const std::string& description : item.descriptions) {
        text_ += "    <Desc>";
        appendEscapedText(text_, description);
        text_ += "</Desc>\n";
    }
    text_ += "  </TreeNode>\n";
    flushIfFull();
}

void TreeTextWriter::flushIfFull() {
    if (text_.size() < kPieceBytes)
        return;
    sink_(text_);
    text_.clear();
}

void TreeTextWriter::finish() {
    text_ += rootClose_;
    sink_(text_);
    text_.clear();
}

} // namespace kelvor::feeds
