// Time values and calendar dates in the system's forms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

// The system's date stamp in local time: days since 1 January 1978, minutes since midnight, ticks (1/50 s).
constexpr int kTicksPerSecond = 50;
struct DateStamp {
    int32_t days = 0;
    int32_t minutes = 0;
    int32_t ticks = 0;
};

// A calendar date: month 0-11, day 1-31, the full year.
struct DateFields {
    int seconds = 0;
    int minutes = 0;
    int hours = 0;
    int day = 1;
    int month = 0;
    int year = 1978;
};

// Splits a stamp into fields; returns 1 (0 for minutes or ticks out of range). Negative days are dates before
// 1978, as host files can have.
int DateStampToFields(const DateStamp *stamp, DateFields *out, int unused = 0);
// Builds a stamp; returns 0 (stamp untouched) for an impossible date: 31 February, 24:00, a month of 12, a year
// before 1970 (the host's file times start there).
int FieldsToDateStamp(const DateFields *fields, DateStamp *out, int unused = 0);

// Conversions with host file times (local time, as the stamps are).
DateStamp UnixTimeToDateStamp(time_t t);
time_t DateStampToUnixTime(const DateStamp *stamp);
// Now, through the clock interface.
DateStamp CurrentDateStamp();

// kind 0: the date as "dd-Mmm-yy" (the system's default form, e.g. "07-Dec-26");
// kind 1: the date "mm-dd-yy" into buffer and the time "hh:mm:ss" into second;
// kind 2: the time "hh:mm:ss"; kind 3: the weekday name ("Monday").
// Both buffers hold at least 32 bytes; returns 0, or -1 for an unknown kind.
int FormatCurrentDate(int kind, char *buffer, char *second);
// The same for a given stamp (tests, file dates).
int FormatDateStamp(const DateStamp *stamp, int kind, char *buffer, char *second);

// File dates as text: "dd-Mon-yyyy hh:mm:ss" ("09-Mar-2007 14:03:05"). FormatDateText writes "" and returns 0 for
// a stamp it cannot split; 32 bytes are enough.
int FormatDateText(const DateStamp *stamp, char *buffer, size_t size);
// 1 and the fields for exactly that form (month name in any case, a day the month has), else 0.
int ParseDateText(const char *text, DateFields *out);
