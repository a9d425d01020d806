#include "platform/XmlDomEntities.h"

#include <libxml/entities.h>

#include <algorithm>

namespace kelvor::xml {
namespace {

constexpr size_t kFloor = 1024 * 1024;
constexpr size_t kCap = 64u * 1024 * 1024; // LoadOptions::maxBytes
// A copied node costs more than its text: an entity of many empty elements
// must use up the budget too.
constexpr size_t kNodeCost = 32;

struct Budget {
    size_t left;
    InlineResult result = InlineResult::Done;
    int failedLine = 0;
};

// One copy of a node list, without what the references in it stand for:
// those are charged when they are replaced in turn.
size_t copySize(xmlNodePtr node) {
    size_t size = 0;
    for (; node; node = node->next) {
        size += kNodeCost;
        if (node->type == XML_ENTITY_REF_NODE)
            continue;
        if (node->content)
            size += static_cast<size_t>(xmlStrlen(node->content));
        if (node->type != XML_ELEMENT_NODE)
            continue;
        for (xmlAttrPtr attr = node->properties; attr; attr = attr->next)
            size += kNodeCost + copySize(attr->children);
        size += copySize(node->children);
    }
    return size;
}

bool inlineChildren(xmlNodePtr parent, Budget& budget);

bool fail(Budget& budget, InlineResult result, xmlNodePtr at) {
    budget.result = result;
    budget.failedLine = static_cast<int>(std::max(0L, xmlGetLineNo(at)));
    return false;
}

// Copies fully expanded first, in a holder of their own, so that what moves
// into the document holds no reference left to visit.
bool replaceReference(xmlNodePtr ref, Budget& budget) {
    xmlEntityPtr entity = xmlGetDocEntity(ref->doc, ref->name);
    xmlNodePtr content = entity ? entity->children : nullptr;
    size_t cost = copySize(content);
    if (cost > budget.left)
        return fail(budget, InlineResult::OverBudget, ref);
    budget.left -= cost;
    if (content) {
        xmlNodePtr holder = xmlNewDocNode(ref->doc, nullptr, BAD_CAST "entity", nullptr);
        xmlNodePtr copy = holder ? xmlDocCopyNodeList(ref->doc, content) : nullptr;
        if (!copy) {
            xmlFreeNode(holder);
            return fail(budget, InlineResult::OutOfMemory, ref);
        }
        xmlAddChildList(holder, copy);
        bool expanded = inlineChildren(holder, budget);
        while (expanded && holder->children) {
            xmlNodePtr child = holder->children;
            xmlUnlinkNode(child);
            xmlAddPrevSibling(ref, child);
        }
        xmlFreeNode(holder);
        if (!expanded)
            return false;
    }
    xmlUnlinkNode(ref);
    xmlFreeNode(ref);
    return true;
}

// Readers take an element's text from one text node when there is one.
void mergeAdjacentText(xmlNodePtr parent) {
    for (xmlNodePtr node = parent->children; node && node->next;) {
        bool bothText = node->type == XML_TEXT_NODE && node->next->type == XML_TEXT_NODE;
        if (!bothText || !xmlTextMerge(node, node->next))
            node = node->next;
    }
}

bool inlineChildren(xmlNodePtr parent, Budget& budget) {
    bool replaced = false;
    for (xmlNodePtr child = parent->children; child;) {
        xmlNodePtr next = child->next;
        if (child->type == XML_ENTITY_REF_NODE) {
            if (!replaceReference(child, budget))
                return false;
            replaced = true;
        } else if (child->type == XML_ELEMENT_NODE) {
            for (xmlAttrPtr attr = child->properties; attr; attr = attr->next) {
                if (!inlineChildren(reinterpret_cast<xmlNodePtr>(attr), budget))
                    return false;
            }
            if (!inlineChildren(child, budget))
                return false;
        }
        child = next;
    }
    if (replaced)
        mergeAdjacentText(parent);
    return true;
}

void dropDocumentType(xmlDocPtr doc) {
    for (xmlDtdPtr dtd : {doc->intSubset, doc->extSubset}) {
        if (!dtd)
            continue;
        xmlUnlinkNode(reinterpret_cast<xmlNodePtr>(dtd));
        xmlFreeDtd(dtd);
    }
    doc->intSubset = nullptr;
    doc->extSubset = nullptr;
}

} // namespace

size_t entityExpansionBudget(size_t inputSize) {
    return std::min(kCap, std::max(kFloor, inputSize * 4));
}

InlineResult inlineEntities(xmlDocPtr doc, size_t budget, int& failedLine) {
    // Without a document type there is nothing a reference could name.
    if (!doc->intSubset && !doc->extSubset)
        return InlineResult::Done;
    Budget left{budget};
    if (!inlineChildren(reinterpret_cast<xmlNodePtr>(doc), left)) {
        failedLine = left.failedLine;
        return left.result;
    }
    dropDocumentType(doc);
    return InlineResult::Done;
}

} // namespace kelvor::xml
