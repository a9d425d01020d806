#include "platform/HtmlWalk.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>

namespace kelvor::platform {
namespace {

constexpr int kOptions = HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                         HTML_PARSE_RECOVER | HTML_PARSE_NOIMPLIED;

std::string textOf(const xmlChar* text) {
    return text ? reinterpret_cast<const char*>(text) : "";
}

HtmlAttributes attributesOf(xmlNodePtr node) {
    HtmlAttributes attributes;
    for (xmlAttrPtr attribute = node->properties; attribute; attribute = attribute->next) {
        std::unique_ptr<xmlChar, void (*)(void*)> value(
            xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attribute)), xmlFree);
        attributes.emplace_back(textOf(attribute->name), textOf(value.get()));
    }
    return attributes;
}

// Without recursion: the parser caps the depth, but a walk should not
// depend on that for its stack.
void walk(xmlNodePtr node, HtmlVisitor& visitor) {
    xmlNodePtr top = node ? node->parent : nullptr;
    while (node) {
        if (node->type == XML_ELEMENT_NODE)
            visitor.enter(textOf(node->name), attributesOf(node));
        else if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE)
            visitor.text(textOf(node->content));
        if (node->type == XML_ELEMENT_NODE && node->children) {
            node = node->children;
            continue;
        }
        while (node && node != top) {
            if (node->type == XML_ELEMENT_NODE)
                visitor.leave(textOf(node->name));
            if (node->next) {
                node = node->next;
                break;
            }
            node = node->parent;
        }
        if (node == top)
            break;
    }
}

bool namesCharset(const std::string& bytes) {
    return bytes.find("charset=") != std::string::npos ||
           bytes.find("CHARSET=") != std::string::npos;
}

} // namespace

bool walkHtml(const std::string& bytes, HtmlVisitor& visitor) {
    if (bytes.size() > INT_MAX)
        return false;
    const char* encoding = namesCharset(bytes) ? nullptr : "UTF-8";
    htmlDocPtr doc =
        htmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, encoding, kOptions);
    if (!doc)
        return false;
    walk(doc->children, visitor);
    xmlFreeDoc(doc);
    return true;
}

std::string attributeOf(const HtmlAttributes& attributes, const char* name) {
    for (const auto& [key, value] : attributes)
        if (key == name)
            return value;
    return {};
}

} // namespace kelvor::platform
