// The time of an entry, for ordering hits newest first and for showing it:
// feeds write their dates as they came (RFC 822 from RSS, ISO 8601 from
// Atom and JSON Feed), and the cached copies keep that text.
#pragma once

#include <cstdint>
#include <string>

namespace kelvor::store {

// Seconds since 1970 (UTC) of a date such as "Mon, 02 Jun 2025 10:00:00
// +0800" or "2025-06-02T10:00:00+08:00"; 0 for a date it cannot read. A
// date without a time of day counts from its midnight UTC.
int64_t entrySeconds(const std::string& date);

// The date as every page and list shows it, in the machine's local time:
// "2024年3月5日 14:00". A date without a time of day shows as the day it
// names ("2024年3月5日"); a text that is no date is shown as it stands,
// trimmed.
std::string shownDate(const std::string& feedDate);

} // namespace kelvor::store
