#include "tree/ItemLink.h"

#include "platform/AddressPolicy.h"
#include "tree/ChannelSource.h"
#include "tree/TreeFormat.h"

namespace kelvor::tree {

std::string openableHref(const xml::Node& node) {
    std::string href = GetNodeAttribute(node, "Href");
    if (platform::isScriptAddress(href) && !isOwnTreeFile(node.ownerDocument()))
        return {};
    return href;
}

} // namespace kelvor::tree
