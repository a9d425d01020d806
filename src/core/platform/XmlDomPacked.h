// Attributes kept packed, inside the DOM service only. An element of a
// document that is from now on only read can hold its attributes as one
// record, "name\0value\0name\0value\0\0", in a block its document owns,
// pointed to by the element's _private (which nothing else uses): a plain
// libxml2 attribute costs an xmlAttr, a text node and a string, some 240
// bytes before its value, and a channel copy has two on each of its entries.
//
// A packed element has no xmlAttr list (properties is null). Whatever hands
// libxml2 the element, or writes its attributes, unpacks it first.
#pragma once

#include <libxml/tree.h>

#include <memory>
#include <vector>

namespace kelvor::xml {

class PackedAttributes {
  public:
    // Packs every element from top down whose attributes are all plain (no
    // namespace, not an ID, a value of at most one text node); the others
    // keep their xmlAttrs. The records of one call share one block.
    void pack(xmlNodePtr top);
    bool empty() const { return blocks_.empty(); }
    // Only once no element points into the blocks any more.
    void clear() { blocks_.clear(); }

  private:
    std::vector<std::unique_ptr<char[]>> blocks_;
};

inline bool isPacked(const xmlNode* node) {
    return node->type == XML_ELEMENT_NODE && node->_private != nullptr;
}

// The value of the packed attribute of that name, null when absent.
const char* packedValue(const xmlNode* element, const char* name);

// Gives the element its xmlAttrs back, in their order. Throws DomError
// (out of memory) and leaves the element packed when one cannot be made.
void unpackElement(xmlNodePtr element);
// The same for every element from top down.
void unpackTree(xmlNodePtr top);

} // namespace kelvor::xml
