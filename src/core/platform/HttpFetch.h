// Web fetches for the DOM service's load(): libcurl with redirects, gzip,
// timeouts, a size cap and only http/https, also after a redirect.
#pragma once

#include "platform/XmlDom.h"

#include <string>

namespace kelvor::net {

struct FetchResult {
    bool ok = false;
    long httpStatus = 0;
    std::string body;
    std::string charset;   // from the Content-Type header, may be empty
    std::string effectiveUrl;
    uint32_t errorCode = 0; // kErrHttpBase + status, or kErrNetworkBase + curl code
    std::string reason;     // readable, for the parse error fields
    // "304 Not Modified" to a conditional request: ok, with no body.
    bool notModified = false;
    std::string etag;         // the final answer's ETag, as sent
    std::string lastModified; // and its Last-Modified
    long retryAfterSeconds = -1; // from Retry-After (seconds or a date), -1 when none
};

bool isWebAddress(const std::string& address);

// Sets libcurl (and the TLS library under it) up once. Best called on the
// main thread before any worker starts: the TLS library keeps per-thread
// state for the thread that set it up, which should be one that lives as
// long as the program.
void initialize();

FetchResult fetch(const std::string& url, const xml::LoadOptions& options);

} // namespace kelvor::net
