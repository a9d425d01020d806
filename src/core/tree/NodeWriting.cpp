#include "tree/NodeWriting.h"
#include "tree/DescriptionsOnDisk.h"

#include "platform/HttpFetch.h"
#include "tree/TreeFormat.h"

namespace kelvor::tree {
namespace {

void setIfNotEmpty(const xml::Node& node, const char* name, const std::string& value) {
    if (!value.empty())
        node.setAttribute(name, value);
}

void applyOrRemove(const xml::Node& node, const char* name, const std::string& value) {
    if (value == "*")
        node.removeAttribute(name);
    else if (!value.empty())
        node.setAttribute(name, value);
}

xml::Node newDesc(xml::Document& doc, const std::string& text) {
    xml::Node desc = doc.createElement("Desc");
    desc.setText(text);
    return desc;
}

} // namespace

xml::Node createItemNode(const xml::Node& reference, const ItemFields& fields, bool asChild) {
    xml::Document doc = reference.ownerDocument();
    xml::Node node = doc.createElement("TreeNode");
    setIfNotEmpty(node, "Title", fields.title);
    setIfNotEmpty(node, "Href", fields.href);
    setIfNotEmpty(node, "NodeSrc", fields.nodeSrc);
    setIfNotEmpty(node, "Rss", fields.rss);
    if (!fields.desc.empty())
        node.appendChild(newDesc(doc, fields.desc));
    if (asChild)
        reference.appendChild(node);
    else
        reference.parentNode().insertBefore(node, reference);
    return node;
}

void applyItemFields(const xml::Node& node, const ItemFields& fields) {
    if (!fields.title.empty())
        node.setAttribute("Title", fields.title);
    applyOrRemove(node, "Href", fields.href);
    applyOrRemove(node, "NodeSrc", fields.nodeSrc);
    applyOrRemove(node, "Rss", fields.rss);
    if (fields.desc.empty())
        return;
    if (!node.hasChildNodes()) {
        xml::Document doc = node.ownerDocument();
        node.appendChild(newDesc(doc, fields.desc));
    } else if (node.firstChild().nameIs("Desc")) {
        node.firstChild().setText(fields.desc);
    }
}

void storeHeadline(const xml::Node& node, const std::string& title, const std::string& href,
                   const std::string& nodeSrc, const std::string& descText, const std::string& date) {
    xml::Node desc;
    if (node.hasChildNodes() && node.firstChild().nameIs("Desc")) {
        desc = node.firstChild();
    } else {
        xml::Document doc = node.ownerDocument();
        desc = node.appendChild(newDesc(doc, descText));
    }
    setIfNotEmpty(desc, "Title", title);
    setIfNotEmpty(desc, "Href", href);
    setIfNotEmpty(desc, "NodeSrc", nodeSrc);
    setIfNotEmpty(desc, "Date", date);
}

OwnerTreeInfo ownerTreeInfo(const xml::Node& node) {
    OwnerTreeInfo info;
    xml::Document doc = node.ownerDocument();
    xml::Node root = doc.documentElement();
    if (root) {
        info.baseUrl = GetNodeAttribute(root, "BaseURL");
        info.type = GetNodeAttribute(root, "Type");
    }
    if (info.baseUrl.empty())
        info.baseUrl = doc.url();
    info.editable = isCategoryType(info.type);
    return info;
}

bool isEditableNode(const xml::Node& node) {
    xml::Node root = node.ownerDocument().documentElement();
    return root && isCategoryType(GetNodeAttribute(root, "Type"));
}

bool saveOwnerDocument(const xml::Node& node, std::string* url) {
    xml::Document doc = node.ownerDocument();
    std::string location = doc.url();
    if (url)
        *url = location;
    if (location.empty())
        return true;
    // Written now, it would lose every description the tree left on disk.
    if (descriptionsOnDisk(doc))
        return false;
    // A document read from the web has no local file to write back to; a
    // save to its address would create a stray local path instead.
    if (net::isWebAddress(location))
        return false;
    try {
        doc.save(location);
        return true;
    } catch (const xml::DomError&) {
        return false;
    }
}

} // namespace kelvor::tree
