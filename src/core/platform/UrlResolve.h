// Relative addresses in feeds (entry links, xml:base) made absolute.
#pragma once

#include <string>

namespace kelvor::platform {

// The reference resolved against base as a browser would, bytes beyond ASCII
// percent-encoded (UTF-8, as a browser sends them); an empty reference gives
// the base. The reference unchanged when either is unusable.
std::string resolveUrl(const std::string& base, const std::string& reference);

} // namespace kelvor::platform
