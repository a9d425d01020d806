#include "store/EntryDate.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <strings.h>

namespace kelvor::store {
namespace {

// What a date says: the moment, and whether it named a time of day at all
// (a bare day is shown as that day, in no time zone).
struct ReadDate {
    bool valid = false;
    bool hasTime = false;
    int64_t seconds = 0;
};

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool isAlpha(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Days from 1970-01-01 to the date, proleptic Gregorian.
int64_t daysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int daysInMonth(int64_t year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

int monthOf(const char* name) {
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    for (int i = 0; i < 12; ++i)
        if (strncasecmp(name, months[i], 3) == 0)
            return i + 1;
    return 0;
}

// The zones RFC 822 names; any other name counts as UTC, as RFC 2822 says
// of the military letters.
int64_t namedZoneSeconds(const char* zone) {
    static const struct {
        const char* name;
        int hours;
    } zones[] = {{"EST", -5}, {"EDT", -4}, {"CST", -6}, {"CDT", -5},
                 {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
    size_t length = 0;
    while (isAlpha(zone[length]))
        ++length;
    for (const auto& named : zones)
        if (length == 3 && strncasecmp(zone, named.name, 3) == 0)
            return named.hours * 3600;
    return 0;
}

// "+0800", "+08:00", "+08", "+8", "-0530"; a name ("GMT", "Z", "EST") else.
int64_t zoneSeconds(const char* zone) {
    while (*zone == ' ')
        ++zone;
    if (*zone != '+' && *zone != '-')
        return namedZoneSeconds(zone);
    int sign = *zone == '-' ? -1 : 1;
    int digits[4] = {0, 0, 0, 0};
    int count = 0;
    for (const char* at = zone + 1; *at && count < 4; ++at)
        if (isDigit(*at))
            digits[count++] = *at - '0';
        else if (*at != ':')
            break;
    // One or two digits are hours; three or four end in two of minutes.
    int hourDigits = count == 1 || count == 3 ? 1 : 2;
    int hours = hourDigits == 1 ? digits[0] : digits[0] * 10 + digits[1];
    int minutes = count > 2 ? digits[hourDigits] * 10 + digits[hourDigits + 1] : 0;
    if (hours > 14 || minutes > 59)
        return 0;
    return sign * (hours * 3600 + minutes * 60);
}

struct Fields {
    int64_t year = 0;
    int month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool hasTime = false;
};

ReadDate dated(const Fields& at, const char* zone) {
    if (at.year < 1900 || at.month < 1 || at.month > 12 || at.day < 1 ||
        at.day > daysInMonth(at.year, at.month) || at.hour > 23 || at.minute > 59 || at.second > 60)
        return {};
    int64_t seconds = daysFromCivil(at.year, at.month, at.day) * 86400 + at.hour * 3600 +
                      at.minute * 60 + at.second;
    return {true, at.hasTime, at.hasTime ? seconds - zoneSeconds(zone) : seconds};
}

// ":05" after hours and minutes, when there.
const char* readSeconds(const char* rest, Fields& at) {
    int used = 0;
    if (*rest == ':' && std::sscanf(rest, ":%2d%n", &at.second, &used) == 1)
        return rest + used;
    return rest;
}

ReadDate iso8601(const char* text) {
    Fields at;
    int year = 0, used = 0;
    if (std::sscanf(text, "%4d-%2d-%2d%n", &year, &at.month, &at.day, &used) != 3)
        return {};
    at.year = year;
    const char* rest = text + used;
    if (*rest == 'T' || *rest == 't' || *rest == ' ') {
        if (std::sscanf(rest + 1, "%2d:%2d%n", &at.hour, &at.minute, &used) == 2) {
            at.hasTime = true;
            rest = readSeconds(rest + 1 + used, at);
        }
        while (*rest == '.' || *rest == ',' || isDigit(*rest))
            ++rest; // fractions of a second
    }
    return dated(at, rest);
}

// "Tue, 05 Mar 2024 14:00:00 +0800", with or without the weekday (and its
// comma), the seconds, the time; months in full or short.
ReadDate rfc822(const char* text) {
    const char* from = text;
    if (const char* comma = std::strchr(text, ','))
        from = comma + 1;
    else if (isAlpha(*from))
        while (isAlpha(*from) || *from == '.')
            ++from;
    Fields at;
    int year = 0, used = 0;
    char month[16] = {};
    if (std::sscanf(from, " %2d %15[A-Za-z.] %4d%n", &at.day, month, &year, &used) != 3)
        return {};
    at.month = monthOf(month);
    at.year = year < 100 ? year + (year < 50 ? 2000 : 1900) : year;
    const char* rest = from + used;
    if (std::sscanf(rest, " %2d:%2d%n", &at.hour, &at.minute, &used) == 2) {
        at.hasTime = true;
        rest = readSeconds(rest + used, at);
    }
    return dated(at, rest);
}

ReadDate readDate(const std::string& date) {
    const char* text = date.c_str();
    while (isSpace(*text))
        ++text;
    if (isDigit(text[0]) && std::strlen(text) >= 10 && text[4] == '-')
        return iso8601(text);
    return rfc822(text);
}

std::string trimmed(const std::string& text) {
    size_t first = 0, end = text.size();
    while (first < end && isSpace(text[first]))
        ++first;
    while (end > first && isSpace(text[end - 1]))
        --end;
    return text.substr(first, end - first);
}

} // namespace

int64_t entrySeconds(const std::string& date) {
    return readDate(date).seconds;
}

std::string shownDate(const std::string& feedDate) {
    ReadDate read = readDate(feedDate);
    if (!read.valid)
        return trimmed(feedDate);
    std::time_t time = static_cast<std::time_t>(read.seconds);
    std::tm parts{};
    if (read.hasTime)
        localtime_r(&time, &parts);
    else
        gmtime_r(&time, &parts);
    char text[64];
    int length = std::snprintf(text, sizeof text, "%d年%d月%d日", parts.tm_year + 1900,
                               parts.tm_mon + 1, parts.tm_mday);
    if (read.hasTime)
        std::snprintf(text + length, sizeof text - length, " %02d:%02d", parts.tm_hour,
                      parts.tm_min);
    return text;
}

} // namespace kelvor::store
