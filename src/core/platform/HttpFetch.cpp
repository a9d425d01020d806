#include "platform/HttpFetch.h"

#include "kelvor/Version.h"
#include "platform/Log.h"
#include "platform/Text.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

namespace kelvor::net {
namespace {

const std::string kUserAgent = std::string("Kelvor/") + kVersion + " (feed reader)";

struct Transfer {
    std::string* body;
    size_t maxBytes;
    bool tooLarge = false;
    const std::atomic<bool>* cancel;
    FetchResult* result;
    bool callbackFailed = false; // a callback threw; the transfer was stopped
};

// libcurl is C: an exception must not unwind through it. A callback that
// throws is recorded and curl is told to stop with `abortValue`.
template <typename Result, typename Call>
Result guarded(void* user, const char* where, Result abortValue, Call call) {
    auto* transfer = static_cast<Transfer*>(user);
    try {
        return call(*transfer);
    } catch (...) {
        transfer->callbackFailed = true;
        platform::logCurrentFailure(where);
        return abortValue;
    }
}

long retryAfterOf(const std::string& value) {
    bool seconds = !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
                       return std::isdigit(static_cast<unsigned char>(c));
                   });
    if (seconds)
        return value.size() > 9 ? 999999999L : std::stol(value);
    time_t when = curl_getdate(value.c_str(), nullptr);
    if (when < 0)
        return -1;
    time_t now = std::time(nullptr);
    return when > now ? static_cast<long>(when - now) : 0;
}

// Each answer of a redirect chain sends its own headers; the last one's count.
size_t readHeader(Transfer& transfer, char* data, size_t bytes) {
    FetchResult* result = transfer.result;
    std::string line(data, bytes);
    if (line.compare(0, 5, "HTTP/") == 0) {
        result->etag.clear();
        result->lastModified.clear();
        result->retryAfterSeconds = -1;
        return bytes;
    }
    size_t colon = line.find(':');
    if (colon == std::string::npos)
        return bytes;
    std::string name = platform::lowerAscii(line.substr(0, colon));
    std::string value = platform::trimmed(line.substr(colon + 1));
    if (name == "etag")
        result->etag = value;
    else if (name == "last-modified")
        result->lastModified = value;
    else if (name == "retry-after")
        result->retryAfterSeconds = retryAfterOf(value);
    return bytes;
}

curl_slist* conditionalHeaders(const xml::LoadOptions& options) {
    curl_slist* headers = nullptr;
    if (!options.ifNoneMatch.empty())
        headers = curl_slist_append(headers, ("If-None-Match: " + options.ifNoneMatch).c_str());
    if (!options.ifModifiedSince.empty())
        headers =
            curl_slist_append(headers, ("If-Modified-Since: " + options.ifModifiedSince).c_str());
    return headers;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    // Any count other than the one given makes curl stop.
    return guarded(user, "HTTP header", size_t{0},
                   [&](Transfer& transfer) { return readHeader(transfer, data, size * count); });
}

size_t onData(char* data, size_t size, size_t count, void* user) {
    return guarded(user, "HTTP body", size_t{0}, [&](Transfer& transfer) -> size_t {
        size_t bytes = size * count;
        if (transfer.body->size() + bytes > transfer.maxBytes) {
            transfer.tooLarge = true;
            return 0; // makes curl stop with a write error
        }
        transfer.body->append(data, bytes);
        return bytes;
    });
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return guarded(user, "HTTP progress", 1, [](Transfer& transfer) {
        return transfer.cancel && transfer.cancel->load() ? 1 : 0;
    });
}

std::string charsetOf(const char* contentType) {
    if (!contentType)
        return {};
    std::string type = platform::lowerAscii(contentType);
    auto pos = type.find("charset=");
    if (pos == std::string::npos)
        return {};
    std::string value = std::string(contentType).substr(pos + 8);
    auto end = value.find_first_of("; \t");
    if (end != std::string::npos)
        value.resize(end);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return value;
}

std::string reasonFor(CURLcode code, const char* detail) {
    std::string text;
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        text = "连接或下载超时";
        break;
    case CURLE_COULDNT_CONNECT:
        text = "无法连接到服务器";
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
        text = "无法解析服务器地址";
        break;
    case CURLE_UNSUPPORTED_PROTOCOL:
        text = "不支持的地址类型";
        break;
    case CURLE_ABORTED_BY_CALLBACK:
        text = "下载已取消";
        break;
    default:
        text = "网络错误";
        break;
    }
    if (detail && *detail)
        text += std::string(" (") + detail + ")";
    return text;
}

// Every fetch of the process draws on one pool of open connections (and one
// DNS cache): download workers are threads of a moment, but the feeds of one
// site, refreshed one after another, then cost one connection, not one each.
// Never freed: a worker that outlives the program's end may still use it.
class SharedConnections {
  public:
    SharedConnections() : share_(curl_share_init()) {
        curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, lock);
        curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, unlock);
        curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
    CURLSH* share() const { return share_; }

  private:
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<SharedConnections*>(self)->mutexes_[data].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<SharedConnections*>(self)->mutexes_[data].unlock();
    }

    CURLSH* share_;
    std::mutex mutexes_[CURL_LOCK_DATA_LAST];
};

CURLSH* sharedConnections() {
    static auto* connections = new SharedConnections();
    return connections->share();
}

// Handles go back to a pool when a fetch is done, instead of being made and
// taken down for every feed: a handle keeps the machinery of its last
// transfer, which the next fetch then need not build again.
class HandlePool {
  public:
    CURL* take() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!free_.empty()) {
                CURL* curl = free_.back();
                free_.pop_back();
                curl_easy_reset(curl);
                return curl;
            }
        }
        return curl_easy_init();
    }
    void giveBack(CURL* curl) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (free_.size() < kKept)
            free_.push_back(curl);
        else
            curl_easy_cleanup(curl);
    }

  private:
    static constexpr size_t kKept = 8;
    std::mutex mutex_;
    std::vector<CURL*> free_;
};

HandlePool& handlePool() {
    static auto* pool = new HandlePool(); // never freed, like the connections
    return *pool;
}

} // namespace

bool isWebAddress(const std::string& address) {
    return address.compare(0, 7, "http://") == 0 || address.compare(0, 8, "https://") == 0;
}

void initialize() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

FetchResult fetch(const std::string& url, const xml::LoadOptions& options) {
    initialize();

    FetchResult result;
    CURL* curl = handlePool().take();
    if (!curl) {
        result.errorCode = xml::kErrOutOfMemory;
        result.reason = "无法创建网络连接";
        return result;
    }
    Transfer transfer{&result.body, options.maxBytes, false, options.cancel, &result};
    std::unique_ptr<curl_slist, void (*)(curl_slist*)> headers(conditionalHeaders(options),
                                                               curl_slist_free_all);
    char errorBuffer[CURL_ERROR_SIZE] = {0};
    curl_easy_setopt(curl, CURLOPT_SHARE, sharedConnections());
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, options.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    if (headers)
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    if (options.cancel) {
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }

    CURLcode code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    char* contentType = nullptr;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType);
    result.charset = charsetOf(contentType);
    char* effective = nullptr;
    curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective);
    result.effectiveUrl = effective ? effective : url;
    handlePool().giveBack(curl);

    if (transfer.callbackFailed) {
        result.errorCode = xml::kErrNetworkBase + CURLE_WRITE_ERROR;
        result.reason = "处理下载内容时出错";
        result.body.clear();
        return result;
    }
    if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result.errorCode = xml::kErrNetworkBase + CURLE_FILESIZE_EXCEEDED;
        result.reason = "下载内容超过大小上限 (" + std::to_string(options.maxBytes / (1024 * 1024)) + " MB)";
        result.body.clear();
        return result;
    }
    if (code != CURLE_OK) {
        result.errorCode = xml::kErrNetworkBase + static_cast<uint32_t>(code);
        result.reason = reasonFor(code, errorBuffer[0] ? errorBuffer : curl_easy_strerror(code));
        result.body.clear();
        return result;
    }
    if (result.httpStatus == 304) {
        result.notModified = true;
        result.body.clear();
    } else if (result.httpStatus >= 400) {
        result.errorCode = xml::kErrHttpBase + static_cast<uint32_t>(result.httpStatus);
        result.reason = "服务器返回 HTTP " + std::to_string(result.httpStatus);
        result.body.clear();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace kelvor::net
