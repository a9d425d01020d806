// Writing the cache files under rss/ and url/ (and a feed converted into a
// channel's own NodeSrc file). Every write goes to a temporary file in the
// same folder and is renamed over the target, so two downloads of the same
// channel, or a crash mid-write, never leave a half-written file.
#pragma once

#include "feeds/DownloadTask.h"
#include "platform/AtomicFile.h"
#include "platform/XmlDom.h"

#include <string>

namespace kelvor::feeds {

// Saves the document to path atomically. Throws xml::DomError when the file
// cannot be written; the old file is then left as it was.
void saveCacheFile(const xml::Document& doc, const std::string& path);

// Saves text that is already a whole tree file, the same way.
void saveCacheText(const std::string& text, const std::string& path);

// Creates the folder of a cache file inside the home folder's rss/ or url/
// when missing, and copies the style sheets the cache files name (rss.xsl,
// fav.xsl, hot.xsl) from the home folder beside them, so an opened copy is
// always readable. Other folders are left alone.
void prepareCacheFolder(const std::string& cacheFile, const std::string& home);
// The same for a task's copy, in the home folder the task was given.
void prepareCacheFolder(const DownloadTask& task);

// A cache file written in pieces: a temporary file beside the target,
// renamed over it by commit(). Destroyed without a commit, it leaves the
// old file as it was. Throws xml::DomError when a step fails.
class CacheFileWriter {
  public:
    // A cache copy can be downloaded again, so by default it is not flushed
    // to the disk before the rename (the rename alone keeps it whole).
    explicit CacheFileWriter(const std::string& path);
    CacheFileWriter(const std::string& path, bool sync);

    void write(const std::string& piece);
    void commit();

  private:
    platform::AtomicFileWriter file_;
};

} // namespace kelvor::feeds
