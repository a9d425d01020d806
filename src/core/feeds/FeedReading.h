// From the bytes of a channel's feed to its tree file: JSON Feed, OPML,
// Atom or RSS, whichever the bytes are.
#pragma once

#include "feeds/DownloadTask.h"
#include "feeds/TreeText.h"
#include "platform/SourceBytes.h"

namespace kelvor::feeds {

struct FeedReport {
    // The feed did not parse as it came and was read leniently.
    bool recovered = false;
};

// Writes the converted tree file to sink. False, with the load error in
// task.errorText, when nothing readable came out of the bytes or memory ran
// out on the way (the sink may then have had some pieces: the caller
// discards them). Throws xml::DomError when the result cannot be built.
bool convertFeedSource(const platform::SourceBytes& source, DownloadTask& task,
                       const TextSink& sink, FeedReport* report = nullptr);

} // namespace kelvor::feeds
