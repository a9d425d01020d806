// OPML subscription lists: every "outline" element becomes a TreeNode, and
// outlines with a feed address become channels themselves.
#pragma once

#include "feeds/DownloadTask.h"
#include "platform/XmlDom.h"

namespace kelvor::feeds {

// A new tree document of type "Opml" when the source's root is exactly
// "opml"; otherwise a null document and the task unchanged. Escapes the
// task's texts like ConvertRssToTreeText. Throws xml::DomError when the result
// cannot be built.
xml::Document ConvertOpmlToTree(const xml::Document& source, DownloadTask& task);

} // namespace kelvor::feeds
