// HTML read with libxml2's HTML parser, which copes with the unclosed tags
// real pages and browser exports are full of, and handed over as a walk.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kelvor::platform {

using HtmlAttributes = std::vector<std::pair<std::string, std::string>>;

class HtmlVisitor {
  public:
    virtual ~HtmlVisitor() = default;
    // Element names and attribute names in lower case.
    virtual void enter(const std::string& name, const HtmlAttributes& attributes) = 0;
    virtual void leave(const std::string& name) = 0;
    virtual void text(const std::string& text) = 0;
};

// Parses the bytes (UTF-8 unless a meta element names another charset;
// never anything from the network) and hands over what it reads in document
// order, however deep the elements nest. False when the bytes hold no element
// and no text. What a visitor throws comes out of here.
bool walkHtml(const std::string& bytes, HtmlVisitor& visitor);

// The value of the attribute (lower-case name), "" when absent.
std::string attributeOf(const HtmlAttributes& attributes, const char* name);

} // namespace kelvor::platform
