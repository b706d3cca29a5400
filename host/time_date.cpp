#include "host/time_date.h"

#include "host/clock.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

constexpr int kEpochYear = 1978;
// Host files can be older than the system's epoch: stamps count negative days back to 1970.
constexpr int kFirstYear = 1970;
constexpr int64_t kMaxStampDays = 2000000; // beyond year 7000: refused rather than overflowed

// Days since 1970-01-01 of a proleptic Gregorian date (month 1-12).
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yearOfEra = year - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int64_t *year, int *month, int *day) {
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t mp = (5 * dayOfYear + 2) / 153;
    *day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *year = yearOfEra + era * 400 + (*month <= 2);
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month0) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month0 == 1 && IsLeap(year) ? 29 : days[month0];
}

const int64_t kEpochOffsetDays = DaysFromCivil(kEpochYear, 1, 1);

const char *const kWeekdays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char *const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

int DateStampToFields(const DateStamp *stamp, DateFields *out, int) {
    if (!stamp || !out) return 0;
    if (stamp->days < -kMaxStampDays || stamp->days > kMaxStampDays || stamp->minutes < 0 || stamp->minutes >= 24 * 60 ||
        stamp->ticks < 0 || stamp->ticks >= 60 * kTicksPerSecond)
        return 0;
    int64_t year;
    int month, day;
    CivilFromDays(stamp->days + kEpochOffsetDays, &year, &month, &day);
    out->year = static_cast<int>(year);
    out->month = month - 1;
    out->day = day;
    out->hours = stamp->minutes / 60;
    out->minutes = stamp->minutes % 60;
    out->seconds = stamp->ticks / kTicksPerSecond;
    return 1;
}

int FieldsToDateStamp(const DateFields *fields, DateStamp *out, int) {
    if (!fields || !out) return 0;
    const DateFields &f = *fields;
    if (f.year < kFirstYear || f.year > 7000 || f.month < 0 || f.month > 11 || f.day < 1 ||
        f.day > DaysInMonth(f.year, f.month) || f.hours < 0 || f.hours > 23 || f.minutes < 0 || f.minutes > 59 ||
        f.seconds < 0 || f.seconds > 59)
        return 0;
    out->days = static_cast<int32_t>(DaysFromCivil(f.year, f.month + 1, f.day) - kEpochOffsetDays);
    out->minutes = f.hours * 60 + f.minutes;
    out->ticks = f.seconds * kTicksPerSecond;
    return 1;
}

DateStamp UnixTimeToDateStamp(time_t t) {
    struct tm local;
    DateStamp stamp;
    if (!localtime_r(&t, &local)) return stamp;
    DateFields fields;
    fields.year = local.tm_year + 1900;
    fields.month = local.tm_mon;
    fields.day = local.tm_mday;
    fields.hours = local.tm_hour;
    fields.minutes = local.tm_min;
    fields.seconds = local.tm_sec > 59 ? 59 : local.tm_sec; // a leap second
    if (!FieldsToDateStamp(&fields, &stamp)) return DateStamp{}; // before 1970: the epoch
    return stamp;
}

time_t DateStampToUnixTime(const DateStamp *stamp) {
    DateFields fields;
    if (!DateStampToFields(stamp, &fields)) return static_cast<time_t>(-1);
    struct tm local = {};
    local.tm_year = fields.year - 1900;
    local.tm_mon = fields.month;
    local.tm_mday = fields.day;
    local.tm_hour = fields.hours;
    local.tm_min = fields.minutes;
    local.tm_sec = fields.seconds;
    local.tm_isdst = -1;
    return mktime(&local);
}

DateStamp CurrentDateStamp() {
    int64_t now = RealtimeMicroseconds();
    DateStamp stamp = UnixTimeToDateStamp(static_cast<time_t>(now / 1000000));
    stamp.ticks += static_cast<int32_t>((now % 1000000) / (1000000 / kTicksPerSecond));
    return stamp;
}

int FormatDateStamp(const DateStamp *stamp, int kind, char *buffer, char *second) {
    DateFields f;
    if (!buffer || !DateStampToFields(stamp, &f)) return -1;
    switch (kind) {
    case 0:
        snprintf(buffer, 32, "%02d-%s-%02d", f.day, kMonths[f.month], f.year % 100);
        return 0;
    case 1:
        snprintf(buffer, 32, "%02d-%02d-%02d", f.month + 1, f.day, f.year % 100);
        if (second) snprintf(second, 32, "%02d:%02d:%02d", f.hours, f.minutes, f.seconds);
        return 0;
    case 2:
        snprintf(buffer, 32, "%02d:%02d:%02d", f.hours, f.minutes, f.seconds);
        return 0;
    case 3: {
        // 1 January 1978 was a Sunday.
        snprintf(buffer, 32, "%s", kWeekdays[((stamp->days % 7) + 7) % 7]);
        return 0;
    }
    default:
        return -1;
    }
}

int FormatCurrentDate(int kind, char *buffer, char *second) {
    DateStamp now = CurrentDateStamp();
    return FormatDateStamp(&now, kind, buffer, second);
}

int FormatDateText(const DateStamp *stamp, char *buffer, size_t size) {
    DateFields f;
    if (!buffer || size == 0) return 0;
    buffer[0] = 0;
    if (!DateStampToFields(stamp, &f)) return 0;
    snprintf(buffer, size, "%.2d-%s-%d %.2d:%.2d:%.2d", f.day, kMonths[f.month], f.year, f.hours, f.minutes,
             f.seconds);
    return 1;
}

namespace {

// The decimal number of exactly `count` digits at text; -1 when one of them is not a digit.
int DigitsAt(const char *text, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

int ParseDateText(const char *text, DateFields *out) {
    // "dd-Mon-yyyy hh:mm:ss": exactly 20 characters, so nothing is read past the end of a short text.
    if (!text || !out || strlen(text) != 20) return 0;
    if (text[2] != '-' || text[6] != '-' || text[11] != ' ' || text[14] != ':' || text[17] != ':') return 0;
    int month = -1;
    for (int i = 0; i < 12 && month < 0; ++i)
        if (strncasecmp(text + 3, kMonths[i], 3) == 0) month = i;
    DateFields f;
    f.day = DigitsAt(text, 2);
    f.month = month;
    f.year = DigitsAt(text + 7, 4);
    f.hours = DigitsAt(text + 12, 2);
    f.minutes = DigitsAt(text + 15, 2);
    f.seconds = DigitsAt(text + 18, 2);
    if (month < 0 || f.day < 1 || f.year < 0 || f.hours < 0 || f.hours > 23 || f.minutes < 0 || f.minutes > 59 ||
        f.seconds < 0 || f.seconds > 59)
        return 0;
    // A day the month does not have would be carried into the next month by the conversion.
    if (f.day > DaysInMonth(f.year, f.month)) return 0;
    *out = f;
    return 1;
}
