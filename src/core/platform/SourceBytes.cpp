#include "platform/SourceBytes.h"

#include "platform/AtomicFile.h"
#include "platform/HomeFolder.h"
#include "platform/HttpFetch.h"

#include <unistd.h>

namespace kelvor::platform {
namespace {

std::string absoluteFileUrl(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return "file://" + path;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd))
        return "file:///" + path;
    std::string base = cwd;
    std::string rel = path;
    while (rel.compare(0, 2, "./") == 0)
        rel = rel.substr(2);
    return "file://" + base + (base == "/" ? "" : "/") + rel;
}

void fail(SourceBytes& source, uint32_t code, const std::string& reason) {
    source.error.errorCode = code;
    source.error.reason = reason;
}

} // namespace

bool readSource(const std::string& address, const xml::LoadOptions& options, SourceBytes& source) {
    source = {};
    if (net::isWebAddress(address)) {
        net::FetchResult fetched = net::fetch(address, options);
        source.httpStatus = fetched.httpStatus;
        source.retryAfterSeconds = fetched.retryAfterSeconds;
        if (!fetched.ok) {
            fail(source, fetched.errorCode, fetched.reason);
            return false;
        }
        source.bytes = std::move(fetched.body);
        source.url = address;
        source.charset = std::move(fetched.charset);
        source.notModified = fetched.notModified;
        source.etag = std::move(fetched.etag);
        source.lastModified = std::move(fetched.lastModified);
        return true;
    }
    std::string path = pathOfFileAddress(address);
    if (path.compare(0, 7, "file://") == 0)
        path = path.substr(7);
    if (!readWholeFile(path, source.bytes)) {
        fail(source, xml::kErrFileNotFound, "系统找不到指定的文件: " + path);
        return false;
    }
    source.url = absoluteFileUrl(path);
    return true;
}

} // namespace kelvor::platform
