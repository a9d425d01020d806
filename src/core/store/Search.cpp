#include "store/Search.h"

#include "platform/Text.h"

#include "store/CharacterPairs.h"
#include "store/PackedText.h"
#include "store/RankKeys.h"
#include "store/SearchTerms.h"
#include "store/Snippet.h"
#include "store/TermRank.h"
#include "store/Vocabulary.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <unordered_map>

namespace kelvor::store {
namespace {

std::string likePattern(const std::string& word) {
    std::string pattern = "%";
    for (char c : word) {
        if (c == '%' || c == '_' || c == '\\')
            pattern += '\\';
        pattern += c;
    }
    return pattern + "%";
}

using platform::lowerAscii; // not the locale's tolower: it showed in the profile of a search

// What a hit shows, of an item or of an entry of the history (which has no
// place in a file's tree).
const char* const kItemColumns =
    "title, coalesce(link, entry), date, body, place, files.path, position, files.channel, entry "
    "FROM items JOIN files ON files.id = items.file WHERE items.id = ?";
const char* const kHistoryColumns =
    "title, link, date, body, place, file, '', channel, entry FROM history WHERE id = ?";

// The title's rank: 0 the query itself, 1 holding it as a phrase, 2 neither
// (?1 is the query, its words one space apart, in lower case; item_keys
// holds the titles in lower case). Most titles hold no phrase: instr rules
// them out before trim copies anything.
const char* const kTitleClass = "CASE WHEN instr(keys.title, ?1) = 0 THEN 2 "
                                "WHEN trim(keys.title) = ?1 THEN 0 ELSE 1 END";

// A title the full-text table does not find every word of (its long words,
// or short ones that are wherever the text holds them) cannot hold the
// query; reading and comparing it is left to the few that can.
std::string guardedTitleClass(const std::string& table) {
    return "CASE WHEN in_title(" + table + ") THEN " + kTitleClass + " ELSE 2 END";
}

// An entry of a channel (the channel and entry keys) counts once however
// many copies hold it; the first copy indexed stands for it.
const char* const kEntryKey =
    "CASE WHEN files.channel = '' THEN item.id ELSE files.channel || x'0a' || item.entry END";

// How the words of a query are found (see SearchTerms.h): what the
// full-text index can tell, and the words only the text can.
struct Lookup {
    std::string match;                // the FTS5 expression; empty: the index narrows nothing
    bool everywhere = true;           // each word's terms are wherever the text holds it
    std::vector<std::string> scanned; // matched with LIKE
    std::vector<int> titleParts;      // see WordTerms::titleParts
};

Lookup lookupOf(Store& store, const std::vector<std::string>& words) {
    Lookup lookup;
    auto holding = [&](const std::string& part) {
        return wordsContaining(store.db(), part, kMostWordsHolding);
    };
    for (const auto& word : words) {
        WordTerms terms = termsOf(word, holding);
        if (!terms.match.empty())
            lookup.match += (lookup.match.empty() ? "" : " AND ") + terms.match;
        lookup.everywhere = lookup.everywhere && terms.everywhere;
        lookup.titleParts.insert(lookup.titleParts.end(), terms.titleParts.begin(),
                                 terms.titleParts.end());
        if (!terms.exact)
            lookup.scanned.push_back(word);
    }
    return lookup;
}

// The mean length of the items and the history in trigrams, as their keys
// count them: both are ranked against the same.
const char* const kAverageTokens =
    "(SELECT CAST(i.tokens + h.tokens AS REAL) / max(i.items + h.items, 1) "
    "FROM item_totals AS i, history_totals AS h)";

// How much a column holding a word weighs: the title five times the text
// and the link.
constexpr double kColumnWeights[MatchCollector::kColumns] = {5.0, 1.0, 1.0};

// The rank of a match of the full-text table `terms` of `tokens` length
// (see TermRank.h).
std::string rankOf(const std::string& terms, const std::string& tokens) {
    std::string sql = "term_rank(" + terms + ", " + tokens + ", " + kAverageTokens;
    for (double weight : kColumnWeights)
        sql += ", " + std::to_string(weight);
    return sql + ")";
}

double averageTokens(Store& store) {
    Statement average(store.db(), (std::string("SELECT ") + kAverageTokens).c_str());
    return average.step() ? average.real(0) : 1.0;
}

// The keys of the full-text table's matches, joined by id.
std::string joinedKeys(const std::string& terms, const FullTextTables& tables) {
    return terms + " JOIN " + tables.keys + " AS keys ON keys.id = " + terms + ".rowid";
}

struct Match {
    int64_t id = 0;
    int64_t titleClass = 0;
    int64_t seconds = 0;
    double score = 0;
    bool history = false; // id is one of the history's
    bool operator<(const Match& other) const {
        if (titleClass != other.titleClass)
            return titleClass < other.titleClass;
        if (score != other.score)
            return score < other.score;
        if (seconds != other.seconds)
            return seconds > other.seconds;
        if (history != other.history)
            return !history;
        return id < other.id;
    }
};

// Every match with what orders it, in one pass read from the keys: a row
// is read only for the page, or when the query or the copies need its text.
// The rank can be had only while the full-text query runs. The items and
// the history are asked alike, each through its own tables.
std::string matchesOf(const Lookup& lookup, bool twoCopies, const FullTextTables& tables) {
    std::string terms = tables.terms;
    bool ofItems = std::string(tables.rows) == kItemTables.rows;
    bool indexed = !lookup.match.empty();
    std::string titleClass =
        indexed && lookup.everywhere ? guardedTitleClass(terms) : std::string(kTitleClass);
    std::string sql = "SELECT keys.id, " + titleClass + ", keys.seconds, " +
                      (twoCopies ? kEntryKey : "''") + ", ";
    if (indexed)
        sql += rankOf(terms, "keys.tokens") + " FROM " + joinedKeys(terms, tables);
    else
        sql += std::string("0 FROM ") + tables.keys + " AS keys";
    if (twoCopies || !lookup.scanned.empty())
        sql += std::string(" JOIN ") + tables.rows + " AS item ON item.id = keys.id";
    if (twoCopies)
        sql += " JOIN files ON files.id = item.file";
    sql += indexed ? " WHERE " + terms + " MATCH ?" : std::string(" WHERE 1");
    // An item's link equal to its entry key is kept as the key (see Schema.cpp).
    std::string link = ofItems ? "coalesce(item.link, item.entry)" : "item.link";
    std::string scanned = " AND (item.title LIKE ? ESCAPE '\\' OR unpack_text(item.body) LIKE ? "
                          "ESCAPE '\\' OR ";
    scanned += link + " LIKE ? ESCAPE '\\')";
    for (size_t i = 0; i < lookup.scanned.size(); ++i)
        sql += scanned;
    return sql;
}

// Whether the matches can be ranked without reading their rows: the index
// finds every word, nothing is left to scan and no entry has two copies to
// count once.
bool rankedFromKeys(const Lookup& lookup, bool twoCopies) {
    return !lookup.match.empty() && lookup.scanned.empty() && !twoCopies;
}

// Whether the index finding the query in a title says that the title holds
// it: the query is one word of ASCII letters and digits, which no token
// that holds it can have come from anything else (see RankKeys::Key), or
// two characters that are paired (see CharacterPairs.h), which make one
// token only where they stand together.
bool titleHoldsWhatIndexSees(const std::string& phrase) {
    if (phrase.empty())
        return false;
    bool alphanumeric = std::all_of(phrase.begin(), phrase.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 0x80;
    });
    if (alphanumeric)
        return true;
    Character first = decode(phrase, 0);
    if (first.size >= phrase.size() || !pairedScript(first.code))
        return false;
    Character second = decode(phrase, first.size);
    return first.size + second.size == phrase.size() && pairedScript(second.code);
}

// The title's class of a collected match (see kTitleClass), the title read
// only when the index and the title's length cannot tell it.
class TitleClasses {
  public:
    TitleClasses(Store& store, const FullTextTables& tables, const std::string& phrase)
        : phrase_(phrase), oneWord_(titleHoldsWhatIndexSees(phrase)),
          read_(store.db(), (std::string("SELECT ") + kTitleClass + " FROM " + tables.keys +
                             " AS keys WHERE keys.id = ?2")
                                .c_str()) {}

    int64_t of(const CollectedMatch& match) {
        if (match.title == TitleHolds::kNo)
            return 2;
        const RankKeys::Key* key = match.key;
        bool told = oneWord_ && match.title == TitleHolds::kEveryPart && key && key->foldsAsKept &&
                    key->titleLength != phrase_.size() && key->titleLength != RankKeys::kLongTitle;
        if (told)
            return 1;
        read_.bind(1, phrase_).bind(2, match.id);
        int64_t titleClass = read_.step() ? read_.integer(0) : 2;
        read_.reset();
        return titleClass;
    }

  private:
    const std::string& phrase_;
    bool oneWord_;
    Statement read_;
};

// matchesOf's matches, ranked and collected in one call a row (see
// TermRank.h). The items' dates and lengths come from memory once a search
// has come again (see RankKeys.h); the history's, which may grow to many
// times as many rows, are read with each match.
void addRankedMatches(Store& store, const FullTextTables& tables, const std::string& phrase,
                      const Lookup& lookup, double average, std::vector<Match>& matches) {
    bool history = std::string(tables.rows) != kItemTables.rows;
    RankKeys* keys = history || !store.rankKeys().ready(store.db()) ? nullptr : &store.rankKeys();
    MatchCollector collector;
    collector.titleParts = lookup.titleParts;
    collector.average = average;
    std::copy(std::begin(kColumnWeights), std::end(kColumnWeights), collector.weights);
    collector.keys = keys;
    std::string terms = tables.terms;
    std::string collect = "collect_match(" + terms + ", ?2";
    // collect_match gives null: no row comes back.
    std::string sql = "SELECT 1 FROM ";
    if (keys)
        sql += terms;
    else
        sql += joinedKeys(terms, tables), collect += ", keys.tokens, keys.seconds";
    sql += " WHERE " + terms + " MATCH ?1 AND " + collect + ") IS NOT NULL";
    Statement select(store.db(), sql.c_str());
    select.bind(1, lookup.match).bindPointer(2, &collector, kCollectorType);
    select.step();
    TitleClasses titles(store, tables, phrase);
    matches.reserve(matches.size() + collector.matches.size());
    for (const CollectedMatch& found : collector.matches)
        matches.push_back({found.id, titles.of(found), found.seconds, found.score, history});
}

// One match per entry: the copy indexed first (the lowest id) stands for it.
void keepFirstCopies(std::vector<Match>& matches, const std::vector<std::string>& entries) {
    std::unordered_map<std::string, size_t> first;
    std::vector<Match> kept;
    for (size_t i = 0; i < matches.size(); ++i) {
        auto [at, added] = first.emplace(entries[i], kept.size());
        if (added)
            kept.push_back(matches[i]);
        else if (matches[i].id < kept[at->second].id)
            kept[at->second] = matches[i];
    }
    matches.swap(kept);
}

// Whether some channel has more than one copy indexed (one channel under
// two titles): only then must its entries be counted once.
bool someChannelHasTwoCopies(Store& store) {
    Statement twins(store.db(), "SELECT 1 FROM files WHERE channel <> '' "
                                "GROUP BY channel HAVING count(*) > 1 LIMIT 1");
    return twins.step();
}

// The values bound after ?1, in the order matchesOf asks for them.
std::vector<std::string> boundValues(const Lookup& lookup) {
    std::vector<std::string> values;
    if (!lookup.match.empty())
        values.push_back(lookup.match);
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

// The matches as matchesOf finds them, of the items and then the history.
void addMatches(Store& store, const Lookup& lookup, const std::string& phrase,
                const std::vector<std::string>& values, bool twoCopies,
                std::vector<Match>& matches) {
    Statement select(store.db(), matchesOf(lookup, twoCopies, kItemTables).c_str());
    bindAll(select, phrase, values);
    std::vector<std::string> entries;
    while (select.step()) {
        matches.push_back(
            {select.integer(0), select.integer(1), select.integer(2), select.real(4)});
        if (twoCopies)
            entries.push_back(select.text(3));
    }
    if (twoCopies)
        keepFirstCopies(matches, entries);
    // The history holds an entry once, and none a copy holds.
    Statement fromHistory(store.db(), matchesOf(lookup, false, kHistoryTables).c_str());
    bindAll(fromHistory, phrase, values);
    while (fromHistory.step())
        matches.push_back({fromHistory.integer(0), fromHistory.integer(1), fromHistory.integer(2),
                           fromHistory.real(4), true});
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
    ReadTransaction snapshot(store.db());
    Lookup lookup = lookupOf(store, words);
    std::vector<std::string> values = boundValues(lookup);
    bool twoCopies = someChannelHasTwoCopies(store);
    std::vector<Match> matches;
    if (rankedFromKeys(lookup, twoCopies)) {
        double average = averageTokens(store);
        addRankedMatches(store, kItemTables, phrase, lookup, average, matches);
        // The history holds an entry once, and none a copy holds.
        addRankedMatches(store, kHistoryTables, phrase, lookup, average, matches);
    } else {
        addMatches(store, lookup, phrase, values, twoCopies, matches);
    }
    result.total = static_cast<int64_t>(matches.size());
    // Only the page and what comes before it are put in order.
    size_t from = static_cast<size_t>(std::clamp<int64_t>(offset, 0, result.total));
    size_t to = std::min(matches.size(), from + static_cast<size_t>(std::max(limit, 0)));
    std::partial_sort(matches.begin(), matches.begin() + static_cast<std::ptrdiff_t>(to),
                      matches.end());
    Statement item(store.db(), (std::string("SELECT ") + kItemColumns).c_str());
    Statement left(store.db(), (std::string("SELECT ") + kHistoryColumns).c_str());
    for (size_t i = from; i < to; ++i) {
        Statement& row = matches[i].history ? left : item;
        row.bind(1, matches[i].id);
        if (row.step())
            result.hits.push_back({row.text(0), row.text(1), row.text(2),
                                   snippetOf(unpackText(row.text(3)), words), row.text(4),
                                   row.text(5), row.text(6), row.text(7), row.text(8),
                                   matches[i].history});
        row.reset();
    }
    return result;
}

} // namespace kelvor::store
