#include "store/Search.h"

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

std::string buildQuery(const std::vector<std::string>& longWords, size_t shortWords) {
    std::string sql = std::string("SELECT ") + kColumns;
    if (!longWords.empty())
        sql +=
            " FROM items_text JOIN items ON items.id = items_text.rowid WHERE items_text MATCH ?";
    else
        sql += " FROM items WHERE 1";
    for (size_t i = 0; i < shortWords; ++i)
        sql += " AND (items.title LIKE ? ESCAPE '\\' OR items.body LIKE ? ESCAPE '\\'"
               " OR items.link LIKE ? ESCAPE '\\')";
    sql += longWords.empty() ? " ORDER BY items.id" : " ORDER BY items_text.rowid";
    return sql + " LIMIT ?";
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

std::vector<Hit> search(Store& store, const std::string& query, int limit) {
    std::vector<std::string> words = queryWords(query);
    std::vector<std::string> longWords, shortWords;
    for (const auto& word : words)
        (utf8Length(word) >= 3 ? longWords : shortWords).push_back(word);
    std::vector<Hit> hits;
    if (words.empty() || limit <= 0)
        return hits;
    Statement select(store.db(), buildQuery(longWords, shortWords.size()).c_str());
    int index = 1;
    if (!longWords.empty()) {
        std::string match;
        for (const auto& word : longWords)
            match += (match.empty() ? "" : " ") + quotedPhrase(word);
        select.bind(index++, match);
    }
    for (const auto& word : shortWords)
        for (int column = 0; column < 3; ++column)
            select.bind(index++, likePattern(word));
    select.bind(index, static_cast<int64_t>(limit));
    while (select.step()) {
        hits.push_back({select.text(0), select.text(1), select.text(2),
                        snippetOf(select.text(3), words), select.text(4), select.text(5),
                        select.text(6), select.text(7), select.text(8)});
    }
    return hits;
}

} // namespace kelvor::store
