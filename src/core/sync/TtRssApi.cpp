#include "sync/TtRssApi.h"

#include "kelvor/Version.h"

#include <curl/curl.h>

#include <iterator>

namespace kelvor::sync {
namespace {

const char* const kStopped = "同步已停止：程序正在退出";

// Answers larger than this are no headline page a server would send.
constexpr size_t kMaxAnswerBytes = 64u << 20;

size_t onData(char* data, size_t size, size_t count, void* target) {
    auto* body = static_cast<std::string*>(target);
    size_t bytes = size * count;
    if (body->size() + bytes > kMaxAnswerBytes)
        return 0;
    body->append(data, bytes);
    return bytes;
}

int onProgress(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return stop && static_cast<const std::atomic<bool>*>(stop)->load() ? 1 : 0;
}

std::string endpointOf(std::string server) {
    while (!server.empty() && server.back() == '/')
        server.pop_back();
    return server + "/api/";
}

// What a server error code means to the user.
std::string reasonOf(const std::string& op, const std::string& error) {
    if (error == "LOGIN_ERROR")
        return "同步服务器拒绝登录：用户名或密码错误";
    if (error == "API_DISABLED")
        return "同步服务器未开放 API：请在服务器的偏好设置中启用 API 访问";
    if (error == "NOT_LOGGED_IN")
        return "同步服务器不接受登录会话";
    return "同步服务器拒绝了请求 " + op + "：" + error;
}

// subscribeToFeed's status codes past "added" (1).
std::string subscribeReason(int code) {
    switch (code) {
    case 2:
        return "地址无效";
    case 3:
    case 4:
        return "该网页中找不到唯一的频道";
    case 5:
        return "服务器无法下载该地址";
    case 6:
        return "内容不是可读的频道";
    default:
        return "服务器出错（代码 " + std::to_string(code) + "）";
    }
}

} // namespace

struct TtRssApi::Curl {
    CURL* handle = curl_easy_init();
    ~Curl() { curl_easy_cleanup(handle); }
};

TtRssApi::TtRssApi(Account account, long connectTimeoutMs, long totalTimeoutMs)
    : account_(std::move(account)), endpoint_(endpointOf(account_.server)),
      connectTimeoutMs_(connectTimeoutMs), totalTimeoutMs_(totalTimeoutMs),
      curl_(std::make_unique<Curl>()) {
    if (!curl_->handle)
        throw SyncError("无法初始化网络连接");
}

TtRssApi::~TtRssApi() = default;

nlohmann::json TtRssApi::post(const nlohmann::json& body) {
    if (account_.stop && account_.stop->load())
        throw SyncError(kStopped);
    CURL* curl = curl_->handle;
    std::string request = body.dump();
    std::string answer;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    static const std::string agent = std::string("Kelvor/") + kVersion;
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, endpoint_.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs_);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, totalTimeoutMs_);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(account_.stop));
    ++calls_;
    CURLcode code = curl_easy_perform(curl);
    if (code == CURLE_ABORTED_BY_CALLBACK)
        throw SyncError(kStopped);
    if (code != CURLE_OK)
        throw SyncError("无法连接同步服务器 " + account_.server + "：" +
                        (errorBuffer[0] ? errorBuffer : curl_easy_strerror(code)));
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200)
        throw SyncError("同步服务器出错（HTTP " + std::to_string(status) + "）：" + account_.server);
    nlohmann::json parsed = nlohmann::json::parse(answer, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object() || !parsed.contains("status"))
        throw SyncError("同步服务器的回答无法读取：" + endpoint_ + " 不像 Tiny Tiny RSS 的 API");
    return parsed;
}

void TtRssApi::login() {
    nlohmann::json answer = post(
        {{"op", "login"}, {"user", account_.user}, {"password", account_.password}});
    const nlohmann::json& content = answer.value("content", nlohmann::json::object());
    if (answer.value("status", 1) != 0 || !content.contains("session_id"))
        throw SyncError(reasonOf("login", content.value("error", std::string("LOGIN_ERROR"))));
    session_ = content["session_id"].get<std::string>();
}

nlohmann::json TtRssApi::send(const std::string& op, nlohmann::json body) {
    body["op"] = op;
    body["sid"] = session_;
    return post(body);
}

nlohmann::json TtRssApi::call(const std::string& op, nlohmann::json fields) {
    if (session_.empty())
        login();
    nlohmann::json answer = send(op, fields);
    auto errorOf = [](const nlohmann::json& a) {
        const auto& content = a.value("content", nlohmann::json::object());
        return content.is_object() ? content.value("error", std::string()) : std::string();
    };
    if (answer.value("status", 1) != 0 && errorOf(answer) == "NOT_LOGGED_IN") {
        login();
        answer = send(op, fields);
    }
    if (answer.value("status", 1) != 0)
        throw SyncError(reasonOf(op, errorOf(answer)));
    return answer.value("content", nlohmann::json());
}

std::vector<ServerCategory> TtRssApi::categories() {
    std::vector<ServerCategory> list;
    for (const auto& c : call("getCategories", {{"include_empty", true}})) {
        int64_t id = c.value("id", nlohmann::json(0)).is_string()
                         ? std::stoll(c["id"].get<std::string>())
                         : c.value("id", int64_t(0));
        if (id >= 0) // below 0: the server's own views (starred, labels)
            list.push_back({id, c.value("title", std::string())});
    }
    return list;
}

std::vector<ServerFeed> TtRssApi::feeds() {
    std::vector<ServerFeed> list;
    for (const auto& f : call("getFeeds", {{"cat_id", -3}}))
        list.push_back({f.value("id", int64_t(0)), f.value("title", std::string()),
                        f.value("feed_url", std::string()), f.value("cat_id", int64_t(0)),
                        f.value("unread", int64_t(0))});
    return list;
}

std::vector<Headline> TtRssApi::headlines(int64_t feed, int64_t sinceId, int skip,
                                          bool withContent, const std::string& viewMode) {
    nlohmann::json fields = {{"feed_id", feed},         {"limit", kHeadlinePage},
                             {"skip", skip},            {"show_content", withContent},
                             {"view_mode", viewMode},   {"since_id", sinceId},
                             {"sanitize", true},        {"include_attachments", false}};
    std::vector<Headline> list;
    for (const auto& h : call("getHeadlines", fields)) {
        Headline line;
        line.id = h.value("id", int64_t(0));
        const auto& feedId = h.value("feed_id", nlohmann::json(0));
        line.feed = feedId.is_string() ? std::atoll(feedId.get<std::string>().c_str())
                                       : feedId.get<int64_t>();
        line.updated = h.value("updated", int64_t(0));
        line.title = h.value("title", std::string());
        line.link = h.value("link", std::string());
        if (h.contains("content") && h["content"].is_string())
            line.content = h["content"].get<std::string>();
        if (h.contains("author") && h["author"].is_string())
            line.author = h["author"].get<std::string>();
        line.unread = h.value("unread", true);
        line.starred = h.value("marked", false);
        list.push_back(std::move(line));
    }
    return list;
}

// Pages by skip: an article arriving meanwhile pushes the rest down, so a
// page may repeat one but none is passed over.
std::vector<Headline> TtRssApi::allHeadlines(int64_t feed, int64_t sinceId, bool withContent,
                                             const std::string& viewMode) {
    std::vector<Headline> all;
    for (int skip = 0;; skip += kHeadlinePage) {
        std::vector<Headline> page = headlines(feed, sinceId, skip, withContent, viewMode);
        size_t count = page.size();
        std::move(page.begin(), page.end(), std::back_inserter(all));
        if (count < static_cast<size_t>(kHeadlinePage))
            return all;
    }
}

void TtRssApi::updateArticles(const std::vector<int64_t>& ids, ArticleField field, bool value) {
    std::string joined;
    for (int64_t id : ids)
        joined += (joined.empty() ? "" : ",") + std::to_string(id);
    call("updateArticle", {{"article_ids", joined},
                           {"mode", value ? 1 : 0},
                           {"field", static_cast<int>(field)}});
}

void TtRssApi::catchupFeed(int64_t feed) {
    call("catchupFeed", {{"feed_id", feed}, {"is_cat", false}});
}

std::string TtRssApi::subscribe(const std::string& url, int64_t category) {
    nlohmann::json content = call("subscribeToFeed", {{"feed_url", url}, {"category_id", category}});
    int code = content.value("status", nlohmann::json::object()).value("code", -1);
    return code == 0 || code == 1 ? std::string() : subscribeReason(code);
}

void TtRssApi::unsubscribe(int64_t feed) {
    call("unsubscribeFeed", {{"feed_id", feed}});
}

} // namespace kelvor::sync
