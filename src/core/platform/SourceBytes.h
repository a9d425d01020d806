// The bytes behind an address, before any parsing: a feed may turn out to be
// XML, JSON, or XML that needs a second, lenient reading, and each of those
// starts from the same bytes.
#pragma once

#include "platform/XmlDom.h"

#include <string>

namespace kelvor::platform {

struct SourceBytes {
    std::string bytes;
    std::string url;     // the address loaded, made absolute for a local file
    std::string charset; // from the server's Content-Type, may be empty
    xml::ParseError error;
    // The copy at hand is still current (a 304 answer); no bytes.
    bool notModified = false;
    std::string etag;
    std::string lastModified;
    long httpStatus = 0;
    long retryAfterSeconds = -1;
};

// Reads a local path, a "file://" address or an "http(s)://" address, as
// Document::load does. False with error set when nothing could be read.
bool readSource(const std::string& address, const xml::LoadOptions& options, SourceBytes& source);

} // namespace kelvor::platform
