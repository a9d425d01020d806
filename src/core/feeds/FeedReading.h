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

// The bytes of an XML feed (RSS, Atom, OPML) as a document, read as a
// download reads them: as they came, else leniently when that still gives
// entries (report->recovered then). Null, with the reason in error, when
// neither reading gives one.
xml::Document loadFeedDocument(const platform::SourceBytes& source, xml::ParseError& error,
                               FeedReport* report = nullptr);

// Writes the converted tree file to sink. False, with the load error in
// task.errorText, when nothing readable came out of the bytes or memory ran
// out on the way (the sink may then have had some pieces: the caller
// discards them). Throws xml::DomError when the result cannot be built.
bool convertFeedSource(const platform::SourceBytes& source, DownloadTask& task,
                       const TextSink& sink, FeedReport* report = nullptr);

} // namespace kelvor::feeds
