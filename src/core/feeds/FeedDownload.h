// A channel's feed downloaded into its cache file: conditional on the copy
// at hand, patient with a server that asks to wait, and lenient with a feed
// that does not parse.
#pragma once

#include "feeds/DownloadTask.h"
#include "platform/XmlDom.h"

namespace kelvor::feeds {

// Longest wait a Retry-After answer gets before the one retry; a server
// asking for more gets its error reported instead.
constexpr long kMaxRetryAfterSeconds = 120;

// The worker's download of a task with a feed address. Returns 1 when it
// went through (written, or kept on "304 Not Modified"), 0 when nothing
// readable came; errorText says why.
int DownloadFeed(DownloadTask& task, const xml::LoadOptions& options);

} // namespace kelvor::feeds
