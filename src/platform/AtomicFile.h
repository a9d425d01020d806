// Whole-file writes that never leave a half-written file behind.
#pragma once

#include <string>

namespace kelvor::platform {

// Writes bytes to a temporary file in the target's folder, flushes it to disk
// and renames it over the target. On failure the old file is untouched, the
// temporary file is removed and *error (when given) says why.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string* error = nullptr);

} // namespace kelvor::platform
