// The address opening an item leads to. A bookmarklet runs in the page on
// screen, with that site's cookies and forms: only the user's own files may
// hold one that runs.
#pragma once

#include "platform/XmlDom.h"

#include <string>

namespace kelvor::tree {

// The node's Href; "" when there is none, or when it is a script address
// (javascript:, vbscript:, data:) in a file that is not the user's own
// (isOwnTreeFile), however old or hand-made that file is.
std::string openableHref(const xml::Node& node);

} // namespace kelvor::tree
