// Atom 1.0 and 0.3: the "entry" children of a "feed" root become the
// TreeNodes of the same channel document as RSS (Type "rss", rss.xsl).
#pragma once

#include "feeds/DownloadTask.h"
#include "feeds/TreeText.h"
#include "platform/XmlDom.h"

namespace kelvor::feeds {

// True when the document's root is an Atom feed (either version).
bool isAtomFeed(const xml::Document& source);

// Writes the channel document of an Atom feed to sink. False (and the task
// unchanged) when the source is not an Atom feed. The root's Href becomes
// the feed's own web page when it names one; title, href and feedUrl of the
// task are escaped in place as for RSS.
bool ConvertAtomToTreeText(const xml::Document& source, DownloadTask& task, const TextSink& sink);

} // namespace kelvor::feeds
