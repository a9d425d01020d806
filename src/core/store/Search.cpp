#include "store/Search.h"

#include "store/CharacterPairs.h"

#include <algorithm>
#include <cctype>

namespace kelvor::store {
namespace {

size_t utf8Length(const std::string& text) {
    size_t count = 0;
    for (unsigned char c : text)
        count += (c & 0xC0) != 0x80;
    return count;
}

std::string quotedPhrase(const std::string& word) {
    std::string phrase = "\"";
    for (char c : word)
        phrase += c == '"' ? std::string("\"\"") : std::string(1, c);
    return phrase + "\"";
}

std::string likePattern(const std::string& word) {
    std::string pattern = "%";
    for (char c : word) {
        if (c == '%' || c == '_' || c == '\\')
            pattern += '\\';
        pattern += c;
    }
    return pattern + "%";
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

size_t utf8Start(const std::string& text, size_t at) {
    while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        --at;
    return at;
}

// About 40 characters before the first match and 80 after it.
std::string snippetOf(const std::string& body, const std::vector<std::string>& words) {
    std::string lower = lowerAscii(body);
    size_t match = std::string::npos;
    for (const auto& word : words)
        match = std::min(match, lower.find(lowerAscii(word)));
    if (match == std::string::npos)
        match = 0;
    size_t from = match > 120 ? utf8Start(body, match - 120) : 0;
    size_t to = utf8Start(body, std::min(body.size(), match + 240));
    if (to < body.size() && to <= from)
        to = body.size();
    std::string snippet = body.substr(from, to - from);
    return (from > 0 ? "…" : "") + snippet + (to < body.size() ? "…" : "");
}

const char* const kColumns =
    "items.title, items.link, items.date, items.body, items.place, items.file, items.position, "
    "items.channel, items.entry";

// The title's rank: 0 the query itself, 1 holding it as a phrase, 2 neither
// (?1 is the query, its words one space apart, in lower case; item_keys
// holds the titles in lower case).
const char* const kTitleClass =
    "CASE WHEN trim(keys.title) = ?1 THEN 0 WHEN instr(keys.title, ?1) > 0 THEN 1 ELSE 2 END";

// An entry of a channel (the channel and entry keys) counts once however
// many copies hold it; the first copy indexed stands for it.
const char* const kEntryKey =
    "CASE WHEN items.channel = '' THEN items.id ELSE items.channel || x'0a' || items.entry END";

// How the words of a query are found: words of three characters or more by
// trigrams, shorter ones in the pairs index, and those the pairs index can
// only narrow down (or not at all) on the text itself.
struct Lookup {
    std::vector<std::string> longWords;
    std::string pairs;                // the FTS5 expression over items_pairs; empty: none
    std::vector<std::string> scanned; // matched with LIKE
};

Lookup lookupOf(const std::vector<std::string>& words) {
    Lookup lookup;
    for (const auto& word : words) {
        if (utf8Length(word) >= 3) {
            lookup.longWords.push_back(word);
            continue;
        }
        PairsQuery query = pairsQuery(word);
        if (!query.match.empty())
            lookup.pairs += (lookup.pairs.empty() ? "(" : " AND (") + query.match + ")";
        if (!query.exact)
            lookup.scanned.push_back(word);
    }
    return lookup;
}

// Every match with what orders it, one row per entry. Matches are ranked
// inside SQLite on keys alone, read from item_keys: an item's row is
// read only for the page, or when the query or the copies need its text.
// The rank can be had only while the full-text query runs, so the matches are
// made first and, when some channel has two copies, counted over them.
std::string matchesOf(const Lookup& lookup, bool twoCopies) {
    std::string sql = std::string("WITH found AS MATERIALIZED (SELECT keys.id AS id, ") +
                      kTitleClass + " AS class, keys.seconds AS seconds, " +
                      (twoCopies ? kEntryKey : "0") + " AS entry, ";
    std::string keys = " JOIN item_keys AS keys ON keys.id = ";
    if (!lookup.longWords.empty()) {
        sql += "term_rank(items_text, 5.0, 1.0, 1.0) AS score FROM items_text" + keys +
               "items_text.rowid";
    } else if (!lookup.pairs.empty()) {
        sql += "0 AS score FROM items_pairs" + keys + "items_pairs.rowid";
    } else {
        sql += "0 AS score FROM item_keys AS keys";
    }
    if (twoCopies || !lookup.scanned.empty())
        sql += " JOIN items ON items.id = keys.id";
    if (!lookup.longWords.empty())
        sql += " WHERE items_text MATCH ?";
    else if (!lookup.pairs.empty())
        sql += " WHERE items_pairs MATCH ?";
    else
        sql += " WHERE 1";
    if (!lookup.longWords.empty() && !lookup.pairs.empty())
        sql += " AND keys.id IN (SELECT rowid FROM items_pairs WHERE items_pairs MATCH ?)";
    for (size_t i = 0; i < lookup.scanned.size(); ++i)
        sql += " AND (items.title LIKE ? ESCAPE '\\' OR items.body LIKE ? ESCAPE '\\'"
               " OR items.link LIKE ? ESCAPE '\\')";
    if (!twoCopies)
        return sql + "), matches AS (SELECT * FROM found) ";
    return sql + "), matches AS (SELECT * FROM (SELECT *, row_number() OVER (PARTITION BY entry "
                 "ORDER BY id) AS copy FROM found) WHERE copy = 1) ";
}

// Whether some channel has more than one copy indexed (one channel under
// two titles): only then must its entries be counted once. Sorting every
// match by its entry costs as much as ranking it.
bool someChannelHasTwoCopies(Store& store) {
    Statement twins(store.db(), "SELECT 1 FROM files WHERE channel <> '' "
                                "GROUP BY channel HAVING count(*) > 1 LIMIT 1");
    return twins.step();
}

// The total rides on each row of the page: the matches are found once.
std::string pageQuery(const std::string& matches) {
    return matches + "SELECT " + kColumns + ", (SELECT count(*) FROM matches)" +
           " FROM (SELECT * FROM matches ORDER BY class, score, seconds DESC, id LIMIT ? OFFSET ?)"
           " AS page JOIN items ON items.id = page.id"
           " ORDER BY page.class, page.score, page.seconds DESC, page.id";
}

// The values bound after ?1, in the order matchesOf asks for them.
std::vector<std::string> boundValues(const Lookup& lookup) {
    std::vector<std::string> values;
    if (!lookup.longWords.empty()) {
        std::string match;
        for (const auto& word : lookup.longWords)
            match += (match.empty() ? "" : " ") + quotedPhrase(word);
        values.push_back(match);
    }
    if (!lookup.pairs.empty())
        values.push_back(lookup.pairs);
    for (const auto& word : lookup.scanned)
        for (int column = 0; column < 3; ++column)
            values.push_back(likePattern(word));
    return values;
}

int bindAll(Statement& statement, const std::string& phrase,
            const std::vector<std::string>& values) {
    int index = 1;
    statement.bind(index++, phrase);
    for (const auto& value : values)
        statement.bind(index++, value);
    return index;
}

} // namespace

std::vector<std::string> queryWords(const std::string& query) {
    std::vector<std::string> words;
    std::string word;
    for (size_t i = 0; i <= query.size(); ++i) {
        bool ideographicSpace = query.compare(i, 3, "\xE3\x80\x80") == 0;
        bool end = i == query.size() || std::isspace(static_cast<unsigned char>(query[i])) ||
                   ideographicSpace;
        if (!end) {
            word += query[i];
            continue;
        }
        if (!word.empty())
            words.push_back(word);
        word.clear();
        if (ideographicSpace)
            i += 2;
    }
    return words;
}

SearchResult search(Store& store, const std::string& query, int64_t offset, int limit) {
    std::vector<std::string> words = queryWords(query);
    std::string phrase;
    for (const auto& word : words)
        phrase += (phrase.empty() ? "" : " ") + lowerAscii(word);
    SearchResult result;
    if (words.empty())
        return result;
    Lookup lookup = lookupOf(words);
    std::string matches = matchesOf(lookup, someChannelHasTwoCopies(store));
    std::vector<std::string> values = boundValues(lookup);
    if (limit > 0) {
        Statement select(store.db(), pageQuery(matches).c_str());
        int index = bindAll(select, phrase, values);
        select.bind(index, static_cast<int64_t>(limit))
            .bind(index + 1, std::max<int64_t>(offset, 0));
        while (select.step()) {
            result.hits.push_back({select.text(0), select.text(1), select.text(2),
                                   snippetOf(select.text(3), words), select.text(4), select.text(5),
                                   select.text(6), select.text(7), select.text(8)});
            result.total = select.integer(9);
        }
    }
    if (result.hits.empty()) { // a page past the end, or none asked for
        Statement count(store.db(), (matches + "SELECT count(*) FROM matches").c_str());
        bindAll(count, phrase, values);
        count.step();
        result.total = count.integer(0);
    }
    return result;
}

} // namespace kelvor::store
