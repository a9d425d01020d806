// Whole-file writes that never leave a half-written file behind, and whole-
// file reads.
#pragma once

#include <string>

namespace kelvor::platform {

// A file written in pieces into a temporary file beside the target and
// renamed over it by commit(). Destroyed without a commit (or after a failed
// step) it removes the temporary file and leaves the old file as it was.
// A new file gets the mode a newly created file would get; a replaced file
// keeps its mode. A path that is a link writes the file the link names (all
// links followed) and the link stays. A file or folder without any write bit
// is read-only, also for root: the writer fails at once and nothing changes.
// Its first write into a folder removes the temporary files that writes
// killed before this process started left there.
class AtomicFileWriter {
  public:
    // sync: flush the data to the disk before the rename, so that even a
    // power cut leaves the old or the new content.
    AtomicFileWriter(const std::string& path, bool sync);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool write(const char* data, size_t size);
    bool write(const std::string& piece) { return write(piece.data(), piece.size()); }
    bool commit();

    bool ok() const { return fd_ >= 0; }
    // Why the last step failed.
    const std::string& error() const { return error_; }

  private:
    bool fail(const std::string& what);

    std::string path_;
    std::string temporary_;
    std::string error_;
    int fd_ = -1;
    bool sync_;
};

// Writes bytes through an AtomicFileWriter. On failure the old file is
// untouched and *error (when given) says why.
bool writeFileAtomically(const std::string& path, const std::string& bytes,
                         std::string* error = nullptr, bool sync = true);

// Whether the file or folder at path must not be written: it has no write
// bit for anyone (which holds for root too), or this account may not write
// it, or it lies on a read-only mount. False when it does not exist.
bool isReadOnlyFile(const std::string& path);

// Reads a whole file into bytes (one allocation for a regular file).
bool readWholeFile(const std::string& path, std::string& bytes);

} // namespace kelvor::platform
