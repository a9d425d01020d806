#include "store/Store.h"

#include "platform/AtomicFile.h"

#include <sqlite3.h>

#include <filesystem>

namespace kelvor::store {
namespace {

// Paths in the index are compared as text, so the home folder is spelt one way.
std::string normalHome(const std::string& home) {
    std::error_code ec;
    std::string path = std::filesystem::absolute(home, ec).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Checked by the mode bits too: root could write there, but the user said no.
bool mustNotWrite(const std::string& home) {
    std::error_code ec;
    std::string path = Store::pathFor(home);
    return platform::isReadOnlyFile(home) ||
           (std::filesystem::exists(path, ec) && platform::isReadOnlyFile(path));
}

} // namespace

Store::Store(const std::string& home) : home_(normalHome(home)) {
    inMemory_ = mustNotWrite(home_);
    take(inMemory_ ? openMemorySchema(pathFor(home_)) : openSchema(pathFor(home_)));
}

void Store::take(OpenedSchema opened) {
    db_ = std::move(opened.db);
    outcome_ = opened.outcome;
    file_ = opened.file;
    rankKeys_->forget();
}

void Store::recover() {
    if (inMemory_)
        throw StoreError(SQLITE_CORRUPT, "the index in memory is damaged");
    db_.reset();
    take(openSchema(pathFor(home_), &file_));
    outcome_ = OpenOutcome::Rebuilt;
}

bool Store::replaced() const {
    return !inMemory_ && identityOf(pathFor(home_)) != file_;
}

} // namespace kelvor::store
