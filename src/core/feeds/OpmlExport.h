// The user's channels as an OPML 2.0 subscription list, the format every
// other feed reader imports.
#pragma once

#include "platform/XmlDom.h"

#include <string>

namespace kelvor::feeds {

// Every channel reachable from treeFile through the user's own tree files
// (local files in the home folder, not the downloaded copies in rss/ and
// url/), with folders and sub-trees as nested outlines that hold at least
// one channel. A relative feed address is made a file:// address against
// home, since other programs would not know where it points. Throws
// xml::DomError when treeFile does not load.
xml::Document exportOpml(const std::string& treeFile, const std::string& home);

} // namespace kelvor::feeds
