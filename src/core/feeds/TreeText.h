// Writing a converted tree file straight to text, byte for byte what the
// DOM's save would write for the same document, without building the
// document first. A feed of tens of thousands of items is converted and
// saved on a worker in one pass this way; the DOM path stays the reference
// (tests compare the two).
#pragma once

#include "platform/XmlDom.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kelvor::feeds {

// One TreeNode with attributes (in order, a repeated name replaces its
// value in place, as the DOM does) and Desc children.
struct TreeItem {
    std::vector<std::pair<const char*, std::string>> attributes;
    std::vector<std::string> descriptions;

    void setAttribute(const char* name, std::string value);
    // The value set under name; nullptr when there is none.
    const std::string* attribute(const char* name) const;
    void clear();
};

// Receives the file in pieces, in order.
using TextSink = std::function<void(const std::string& piece)>;

class TreeTextWriter {
  public:
    // rootDocument holds the prologue and the Tree root, without children
    // (as parsed from the literal root text). Throws xml::DomError when it
    // has no root, as appending to the DOM would.
    TreeTextWriter(const xml::Document& rootDocument, TextSink sink);

    void addItem(const TreeItem& item);
    // Ends the root and hands over the rest.
    void finish();

  private:
    void flushIfFull();

    TextSink sink_;
    std::string text_;
    std::string rootClose_; // "/>\n" until the first item, then "</Tree>\n"
    bool empty_ = true;
};

// libxml2's escaping of attribute values and of text content.
void appendEscapedAttribute(std::string& out, const std::string& value);
void appendEscapedText(std::string& out, const std::string& value);

} // namespace kelvor::feeds
