// The user's channels as an OPML 2.0 subscription list, the format every
// other feed reader imports.
#pragma once

#include "platform/XmlDom.h"

#include <string>

namespace kelvor::feeds {

// Every channel reachable from treeFile through the user's own tree files
// (local files in the home folder, not the downloaded copies in rss/ and
// url/), with folders and sub-trees as nested outlines that hold at least
// one channel. Each feed address is listed once, where it first appears. A
// channel whose feed is a local file is left out, since the list is for
// another machine; localFeedsLeftOut, when given, receives how many. A
// channel whose downloaded copy is a converted OPML list is an OPML include.
// Throws xml::DomError when treeFile does not load.
xml::Document exportOpml(const std::string& treeFile, const std::string& home,
                         int* localFeedsLeftOut = nullptr);

} // namespace kelvor::feeds
