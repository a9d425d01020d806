// Relative addresses in feeds (entry links, xml:base) made absolute.
#pragma once

#include <string>

namespace kelvor::platform {

// The reference resolved against base as a browser would; the reference
// unchanged when either is unusable.
std::string resolveUrl(const std::string& base, const std::string& reference);

} // namespace kelvor::platform
