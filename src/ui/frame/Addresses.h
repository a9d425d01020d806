// The program's fixed web addresses, kept in one place.
#pragma once

namespace kelvor::addr {

// Home when index.xml names no Home; also the address the history list
// always offers from the second run on.
constexpr const char* kDefaultHomePage = "https://www.debian.org/";
// Search (View > 搜索 and the toolbar's magnifier).
constexpr const char* kSearchPage = "https://duckduckgo.com/";
// Help > 软件主页: where the program is published.
constexpr const char* kSoftwareHomePage = "https://salsa.debian.org/";
// The "万象汇览" link at the top of every description page.
constexpr const char* kDescriptionLink = kSoftwareHomePage;

} // namespace kelvor::addr
