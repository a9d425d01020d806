#include "store/EntryDate.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include <strings.h>

namespace kelvor::store {
namespace {

// Days from 1970-01-01 to the date, proleptic Gregorian.
int64_t daysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int monthOf(const char* name) {
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    for (int i = 0; i < 12; ++i)
        if (strncasecmp(name, months[i], 3) == 0)
            return i + 1;
    return 0;
}

// "+0800", "+08:00", "-05", "Z", "GMT"; named zones other than UT/GMT count as UTC.
int64_t zoneSeconds(const char* zone) {
    while (*zone == ' ')
        ++zone;
    if (*zone != '+' && *zone != '-')
        return 0;
    int sign = *zone == '-' ? -1 : 1;
    int digits[4] = {0, 0, 0, 0};
    int count = 0;
    for (const char* at = zone + 1; *at && count < 4; ++at)
        if (std::isdigit(static_cast<unsigned char>(*at)))
            digits[count++] = *at - '0';
        else if (*at != ':')
            break;
    int64_t hours = digits[0] * 10 + digits[1],
            minutes = count == 4 ? digits[2] * 10 + digits[3] : 0;
    return sign * (hours * 3600 + minutes * 60);
}

int64_t secondsOf(int64_t year, int month, int day, int hour, int minute, int second) {
    if (month < 1 || month > 12 || day < 1 || day > 31 || year < 1900)
        return 0;
    return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

int64_t iso8601(const char* text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
    if (std::sscanf(text, "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3)
        return 0;
    const char* rest = text + used;
    if (*rest == 'T' || *rest == ' ') {
        int more = 0;
        if (std::sscanf(rest + 1, "%2d:%2d%n:%2d%n", &hour, &minute, &more, &second, &more) >= 2)
            rest += 1 + more;
        while (*rest == '.' || std::isdigit(static_cast<unsigned char>(*rest)))
            ++rest; // fractions of a second
    }
    int64_t at = secondsOf(year, month, day, hour, minute, second);
    return at == 0 ? 0 : at - zoneSeconds(rest);
}

int64_t rfc822(const char* text) {
    const char* comma = std::strchr(text, ',');
    const char* from = comma ? comma + 1 : text;
    int day = 0, year = 0, hour = 0, minute = 0, second = 0, used = 0;
    char month[4] = {};
    if (std::sscanf(from, " %2d %3s %4d %2d:%2d%n", &day, month, &year, &hour, &minute, &used) != 5)
        return 0;
    const char* rest = from + used;
    if (*rest == ':')
        rest += std::sscanf(rest, ":%2d%n", &second, &used) == 1 ? used : 1;
    if (year < 100)
        year += year < 50 ? 2000 : 1900;
    int64_t at = secondsOf(year, monthOf(month), day, hour, minute, second);
    return at == 0 ? 0 : at - zoneSeconds(rest);
}

} // namespace

int64_t entrySeconds(const std::string& date) {
    const char* text = date.c_str();
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    if (std::isdigit(static_cast<unsigned char>(text[0])) && std::strlen(text) >= 10 &&
        text[4] == '-')
        return iso8601(text);
    return rfc822(text);
}

} // namespace kelvor::store
