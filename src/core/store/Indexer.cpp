#include "store/Indexer.h"

#include "store/TreeFileItems.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

namespace fs = std::filesystem;

namespace kelvor::store {
namespace {

struct Stamp {
    int64_t mtime = 0, size = 0;
    bool operator==(const Stamp& other) const { return mtime == other.mtime && size == other.size; }
};

struct KnownFile {
    Stamp stamp;
    std::vector<std::string> targets;
};

std::optional<Stamp> stampOf(const std::string& path) {
    std::error_code ec;
    auto status = fs::status(path, ec);
    if (ec || !fs::is_regular_file(status))
        return std::nullopt;
    auto time = fs::last_write_time(path, ec);
    auto size = fs::file_size(path, ec);
    if (ec)
        return std::nullopt;
    return Stamp{static_cast<int64_t>(time.time_since_epoch().count()), static_cast<int64_t>(size)};
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\n";
    return text;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::map<std::string, KnownFile> knownFiles(Database& db) {
    std::map<std::string, KnownFile> known;
    Statement select(db, "SELECT path, mtime, size, targets FROM files");
    while (select.step())
        known[select.text(0)] = {{select.integer(1), select.integer(2)},
                                 splitLines(select.text(3))};
    return known;
}

void forget(Database& db, const std::string& path) {
    Transaction transaction(db);
    Statement(db, "DELETE FROM items WHERE file = ?").bind(1, path).step();
    Statement(db, "DELETE FROM files WHERE path = ?").bind(1, path).step();
    transaction.commit();
}

void insertItems(Database& db, const std::string& path, const TreeFileContent& content) {
    Statement insert(db, "INSERT INTO items(file, position, title, link, date, body, place, "
                         "channel, entry) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const IndexedItem& item : content.items) {
        insert.bind(1, path).bind(2, item.position).bind(3, item.title).bind(4, item.link);
        insert.bind(5, item.date).bind(6, item.body).bind(7, item.place).bind(8, content.channel);
        insert.bind(9, item.entry);
        insert.step();
        insert.reset();
    }
}

// Reads the file and replaces what the index held of it; returns its targets.
std::vector<std::string> reindex(Store& store, const std::string& path, const Stamp& stamp) {
    TreeFileContent content;
    try {
        content = readTreeFileContent(path, store.home());
    } catch (const std::exception&) {
        // A file that cannot be read adds nothing until it changes again.
    }
    Database& db = store.db();
    Transaction transaction(db);
    Statement(db, "DELETE FROM items WHERE file = ?").bind(1, path).step();
    insertItems(db, path, content);
    Statement files(db, "INSERT OR REPLACE INTO files(path, mtime, size, channel, targets) "
                        "VALUES (?, ?, ?, ?, ?)");
    files.bind(1, path).bind(2, stamp.mtime).bind(3, stamp.size).bind(4, content.channel);
    files.bind(5, joinLines(content.targets)).step();
    transaction.commit();
    return content.targets;
}

void addXmlFiles(const std::string& folder, std::vector<std::string>& paths) {
    std::error_code ec;
    std::vector<std::string> found;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == ".xml" && it->is_regular_file(ec))
            found.push_back(it->path().string());
    }
    std::sort(found.begin(), found.end());
    paths.insert(paths.end(), found.begin(), found.end());
}

std::vector<std::string> startingFiles(const std::string& home) {
    std::vector<std::string> paths{home + "/index.xml"};
    for (const char* folder : {"/fav", "/rss", "/url"})
        addXmlFiles(home + folder, paths);
    return paths;
}

} // namespace

IndexReport updateIndex(Store& store) {
    IndexReport report;
    std::map<std::string, KnownFile> known = knownFiles(store.db());
    std::vector<std::string> start = startingFiles(store.home());
    std::deque<std::string> queue(start.begin(), start.end());
    std::set<std::string> seen(start.begin(), start.end());
    while (!queue.empty()) {
        std::string path = queue.front();
        queue.pop_front();
        std::optional<Stamp> stamp = stampOf(path);
        if (!stamp)
            continue;
        auto it = known.find(path);
        std::vector<std::string> targets;
        if (it != known.end() && it->second.stamp == *stamp) {
            ++report.unchanged;
            targets = it->second.targets;
        } else {
            ++report.indexed;
            targets = reindex(store, path, *stamp);
        }
        if (it != known.end())
            known.erase(it);
        for (const auto& target : targets)
            if (seen.insert(target).second)
                queue.push_back(target);
    }
    for (const auto& [path, file] : known) {
        forget(store.db(), path);
        ++report.removed;
    }
    return report;
}

bool indexFile(Store& store, const std::string& path) {
    std::optional<Stamp> stamp = stampOf(path);
    if (!stamp) {
        forget(store.db(), path);
        return false;
    }
    reindex(store, path, *stamp);
    return true;
}

} // namespace kelvor::store
