#include "tree/NodeSrcForm.h"

#include "platform/AddressPolicy.h"
#include "platform/HomeFolder.h"

#include <algorithm>

namespace kelvor::tree {

std::string storedNodeSrc(const std::string& resolved, const std::string& programFolder) {
    std::string path = resolved;
    std::replace(path.begin(), path.end(), '\\', '/');
    path = platform::pathOfFileAddress(path);
    if (path.empty() || path[0] != '/')
        return resolved;
    // A whole folder name must match: "/home/k2/x.xml" is not inside "/home/k".
    if (!programFolder.empty() && path.size() > programFolder.size() &&
        path.compare(0, programFolder.size(), programFolder) == 0 && path[programFolder.size()] == '/')
        return path.substr(programFolder.size());
    return "file://" + path;
}

std::string forwardSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string localPathOfNodeSrc(const std::string& nodeSrc, const std::string& folder,
                               const std::string& home) {
    std::string value = forwardSlashes(nodeSrc);
    if (value.empty())
        return {};
    if (value[0] == '/')
        return home + value;
    if (platform::hasScheme(value))
        return value.compare(0, 8, "file:///") == 0 ? platform::pathOfFileAddress(value)
                                                    : std::string();
    return folder + "/" + value;
}

} // namespace kelvor::tree
