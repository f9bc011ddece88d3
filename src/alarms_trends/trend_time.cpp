// Trend times: formatting and reading the date and time texts.
#include "alarms_trends/trend_time.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "alarms_trends/trend_store.h"
#include "runtime/settings.h"
#include "runtime/str_util.h"

namespace {

constexpr int64_t kLatest = 0x7FFFFFFF;

void split(uint32_t time, struct tm *out)
{
    time_t t = static_cast<time_t>(time & EM_TIME_MASK);
    if (pterm.tmz_en) localtime_r(&t, out);
    else gmtime_r(&t, out);
}

// The timestamp of broken-down time; false outside 1970 .. 2038.
bool join(struct tm *tm, uint32_t *time)
{
    tm->tm_isdst = -1;
    time_t t = pterm.tmz_en ? mktime(tm) : timegm(tm);
    if (t < 0 || static_cast<int64_t>(t) > kLatest) return false;
    *time = static_cast<uint32_t>(t);
    return true;
}

bool readThree(const char *text, int *a, int *b, int *c)
{
    char s1, s2;
    return text && std::sscanf(text, "%d%c%d%c%d", a, &s1, b, &s2, c) == 5;
}

} // namespace

void EM_dateText(uint32_t time, char *out)
{
    struct tm tm;
    split(time, &tm);
    char text[48];
    if (pterm.pm_tm) std::snprintf(text, sizeof text, "%d.%.2d.%.2d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    else std::snprintf(text, sizeof text, "%.2d.%.2d.%d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
    safe_strncpy(out, text, EM_DATE_SIZE);
}

void EM_timeText(uint32_t time, char *out)
{
    struct tm tm;
    split(time, &tm);
    char text[48];
    int hour = tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12;
    if (pterm.pm_tm)
        std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d %s", hour, tm.tm_min, tm.tm_sec,
                      tm.tm_hour < 12 ? "AM" : "PM");
    else std::snprintf(text, sizeof text, "%2.2d:%2.2d:%2.2d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    safe_strncpy(out, text, EM_DATE_SIZE);
}

void EM_dateTimeText(uint32_t time, char *out)
{
    char date[EM_DATE_SIZE], clock[EM_DATE_SIZE];
    EM_dateText(time, date);
    EM_timeText(time, clock);
    std::snprintf(out, size_t{2} * EM_DATE_SIZE, "%s %s", date, clock);
}

int EM_applyDate(const char *text, uint32_t *time)
{
    int a, b, c;
    if (!readThree(text, &a, &b, &c)) return 0;
    int year = a >= 1901 ? a : c, day = a >= 1901 ? c : a;
    if (b < 1 || b > 12 || day < 1 || day > 31 || year < 1970 || year > 2038) return 0;
    struct tm tm;
    split(*time, &tm);
    tm.tm_year = year - 1900, tm.tm_mon = b - 1, tm.tm_mday = day;
    return join(&tm, time);
}

int EM_applyTime(const char *text, uint32_t *time)
{
    int hour, minute, second;
    if (!readThree(text, &hour, &minute, &second)) return 0;
    bool am = std::strstr(text, "AM") != nullptr, pm = std::strstr(text, "PM") != nullptr;
    if ((am || pm) && hour > 12) hour %= 12;
    if (am && hour == 12) hour = 0;
    if (pm && hour >= 1 && hour <= 11) hour += 12;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return 0;
    struct tm tm;
    split(*time, &tm);
    tm.tm_hour = hour, tm.tm_min = minute, tm.tm_sec = second;
    return join(&tm, time);
}

int EM_readDateTime(const char *date, const char *time, uint32_t *out)
{
    uint32_t t = 0;
    if (!EM_applyDate(date, &t) || !EM_applyTime(time, &t)) return 0;
    *out = t;
    return 1;
}
