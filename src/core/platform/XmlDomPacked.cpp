#include "platform/XmlDomPacked.h"

#include "platform/XmlDom.h"

#include <cstring>

namespace kelvor::xml {
namespace {

// Pre-order over top and everything below it, without recursion: deep
// documents must not exhaust the stack. Attributes and what entity
// references point to are not visited.
template <typename Visit> void forEachElement(xmlNodePtr top, Visit visit) {
    auto descends = [](xmlNodePtr node) {
        return (node->type == XML_ELEMENT_NODE || node->type == XML_DOCUMENT_NODE) &&
               node->children;
    };
    for (xmlNodePtr node = top; node;) {
        if (node->type == XML_ELEMENT_NODE)
            visit(node);
        if (descends(node)) {
            node = node->children;
            continue;
        }
        while (node != top && !node->next)
            node = node->parent;
        if (node == top)
            break;
        node = node->next;
    }
}

const char* valueOf(const xmlAttr* attr) {
    const xmlNode* text = attr->children;
    return text && text->content ? reinterpret_cast<const char*>(text->content) : "";
}

bool isPlain(const xmlAttr* attr) {
    const xmlNode* text = attr->children;
    return !attr->ns && attr->atype != XML_ATTRIBUTE_ID &&
           (!text || (!text->next && text->type == XML_TEXT_NODE));
}

// The record's size, 0 when the element keeps its xmlAttrs.
size_t recordSize(const xmlNode* element) {
    if (!element->properties || element->_private)
        return 0;
    size_t size = 1;
    for (const xmlAttr* attr = element->properties; attr; attr = attr->next) {
        if (!isPlain(attr))
            return 0;
        size += std::strlen(reinterpret_cast<const char*>(attr->name)) + 1;
        size += std::strlen(valueOf(attr)) + 1;
    }
    return size;
}

char* appendText(char* to, const char* text) {
    size_t length = std::strlen(text) + 1;
    std::memcpy(to, text, length);
    return to + length;
}

// Writes the record at `to` and returns the end of it.
char* packInto(xmlNodePtr element, char* to) {
    element->_private = to;
    for (const xmlAttr* attr = element->properties; attr; attr = attr->next) {
        to = appendText(to, reinterpret_cast<const char*>(attr->name));
        to = appendText(to, valueOf(attr));
    }
    *to++ = '\0';
    xmlFreePropList(element->properties);
    element->properties = nullptr;
    return to;
}

const char* nextText(const char* text) {
    return text + std::strlen(text) + 1;
}

} // namespace

void PackedAttributes::pack(xmlNodePtr top) {
    size_t total = 0;
    forEachElement(top, [&total](xmlNodePtr element) { total += recordSize(element); });
    if (total == 0)
        return;
    blocks_.push_back(std::make_unique<char[]>(total));
    char* to = blocks_.back().get();
    forEachElement(top, [&to](xmlNodePtr element) {
        if (recordSize(element))
            to = packInto(element, to);
    });
}

const char* packedValue(const xmlNode* element, const char* name) {
    for (auto text = static_cast<const char*>(element->_private); *text;) {
        const char* value = nextText(text);
        if (std::strcmp(text, name) == 0)
            return value;
        text = nextText(value);
    }
    return nullptr;
}

void unpackElement(xmlNodePtr element) {
    if (!isPacked(element))
        return;
    for (auto text = static_cast<const char*>(element->_private); *text;) {
        const char* value = nextText(text);
        // xmlNewNsProp keeps the value as text, as the parser left it.
        if (!xmlNewNsProp(element, nullptr, reinterpret_cast<const xmlChar*>(text),
                          reinterpret_cast<const xmlChar*>(value))) {
            xmlFreePropList(element->properties);
            element->properties = nullptr;
            throw DomError(kErrOutOfMemory, "out of memory");
        }
        text = nextText(value);
    }
    element->_private = nullptr;
}

void unpackTree(xmlNodePtr top) {
    forEachElement(top, unpackElement);
}

} // namespace kelvor::xml
