#include "platform/UrlResolve.h"

#include <libxml/uri.h>

namespace kelvor::platform {

std::string resolveUrl(const std::string& base, const std::string& reference) {
    if (base.empty())
        return reference;
    xmlChar* built = xmlBuildURI(reinterpret_cast<const xmlChar*>(reference.c_str()),
                                 reinterpret_cast<const xmlChar*>(base.c_str()));
    if (!built)
        return reference;
    std::string result(reinterpret_cast<const char*>(built));
    xmlFree(built);
    return result;
}

} // namespace kelvor::platform
