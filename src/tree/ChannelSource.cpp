#include "tree/ChannelSource.h"

// Placeholder until channel resolution lands.
namespace kelvor::tree {

int ResolveChannelSource(const xml::Node& node, std::string& source, std::string& cacheFile, std::string& feed,
                         std::time_t) {
    source.clear();
    cacheFile.clear();
    feed = node.attributeOr("Rss");
    return node.attributeOr("NodeSrc").empty() && feed.empty() ? kNotChannel : kMustDownload;
}

std::string ReadCacheHeader(const std::string&, int& expires) {
    expires = -1;
    return {};
}

} // namespace kelvor::tree
