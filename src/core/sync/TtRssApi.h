// The JSON API of a Tiny Tiny RSS server: one POST to <server>/api/ per
// call, over one libcurl handle so the calls of a sync share a connection.
// A session that the server has forgotten is logged in again once and the
// call repeated. Every failure throws SyncError with a Chinese reason.
#pragma once

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvor::sync {

class SyncError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Account {
    std::string server; // "https://host/tt-rss/" (the api/ folder is added)
    std::string user, password;
    // When it turns true, the call under way ends and the sync with it (the
    // window closing): it leaves everything as a server that went away does.
    const std::atomic<bool>* stop = nullptr;
};

struct ServerCategory {
    int64_t id = 0;
    std::string title;
};

struct ServerFeed {
    int64_t id = 0;
    std::string title, url;
    int64_t category = 0;
    int64_t unread = 0; // the server's count of its unread articles now
};

struct Headline {
    int64_t id = 0, feed = 0;
    int64_t updated = 0; // seconds since 1970
    std::string title, link, content, author;
    bool unread = true, starred = false;
};

// updateArticle's field numbers.
enum class ArticleField { Starred = 0, Unread = 2 };

class TtRssApi {
  public:
    explicit TtRssApi(Account account, long connectTimeoutMs = 10000, long totalTimeoutMs = 60000);
    ~TtRssApi();
    TtRssApi(const TtRssApi&) = delete;
    TtRssApi& operator=(const TtRssApi&) = delete;

    void login();
    // The content of a successful answer to `op` with the given fields.
    nlohmann::json call(const std::string& op, nlohmann::json fields = nlohmann::json::object());

    std::vector<ServerCategory> categories();
    std::vector<ServerFeed> feeds();
    // One page (at most 200) of a feed's headlines, newest first. feed -4 is
    // every article; viewMode "all_articles", "unread" or "marked".
    std::vector<Headline> headlines(int64_t feed, int64_t sinceId, int skip, bool withContent,
                                    const std::string& viewMode = "all_articles");
    // Every page of those headlines, from since_id on.
    std::vector<Headline> allHeadlines(int64_t feed, int64_t sinceId, bool withContent,
                                       const std::string& viewMode = "all_articles");
    void updateArticles(const std::vector<int64_t>& ids, ArticleField field, bool value);
    void catchupFeed(int64_t feed);
    // "" when subscribed (or subscribed already), else why the server could
    // not; a failure to reach it throws as any call.
    std::string subscribe(const std::string& url, int64_t category);
    void unsubscribe(int64_t feed);

    const std::string& server() const { return account_.server; }
    int calls() const { return calls_; }

  private:
    nlohmann::json post(const nlohmann::json& body);
    nlohmann::json send(const std::string& op, nlohmann::json body);

    Account account_;
    std::string endpoint_;
    std::string session_;
    long connectTimeoutMs_, totalTimeoutMs_;
    int calls_ = 0;
    struct Curl;
    std::unique_ptr<Curl> curl_;
};

// The most headlines getHeadlines returns at once.
constexpr int kHeadlinePage = 200;

} // namespace kelvor::sync
