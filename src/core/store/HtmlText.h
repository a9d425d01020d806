// Descriptions are HTML fragments; the index wants the words a reader sees.
#pragma once

#include <string>

namespace kelvor::store {

// Tags dropped (script and style with their content), character references
// decoded, runs of white space made one space.
std::string htmlToText(const std::string& html);

} // namespace kelvor::store
