// Small feeds and aged cache files for the channel tests.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include <utime.h>

namespace kelvor::test {

// An RSS feed whose items have these titles, each linking to http://e/TITLE.
inline std::string rss(const std::vector<std::string>& titles) {
    std::string items;
    for (const auto& title : titles)
        items += "<item><title>" + title + "</title><link>http://e/" + title + "</link></item>";
    return "<rss><channel>" + items + "</channel></rss>";
}

// Makes a file look written `seconds` ago, as an old cache copy is.
inline void makeOlder(const std::string& path, long seconds) {
    std::time_t when = std::time(nullptr) - seconds;
    struct utimbuf times {
        when, when
    };
    ::utime(path.c_str(), &times);
}

} // namespace kelvor::test
