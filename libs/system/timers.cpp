// Timers, dates and waiting of the system library. Timers run on the monotonic clock in signed 64-bit
// microseconds, so a change of the wall clock or a run of many weeks leaves them intact; dates come from the wall
// clock in local time.
#include "libs/system/system_commands.h"

#include "host/clock.h"
#include "host/tasks.h"
#include "host/time_date.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_list.h"

#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// English whatever the locale: scripts compare and parse these texts.
const char *const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct TimerRecord {
    ObjectId id{};
    int64_t start = 0;  // monotonic microseconds when the current running stretch began
    int64_t banked = 0; // microseconds of earlier stretches (or the value ResetTimer set)
    bool paused = false;
};

constexpr ObjectRules<TimerRecord> kTimerRules{.notFoundError = kErrTimerNotFound};
// Creation order; a record's address is its automatic handle.
ObjectList<TimerRecord> TimerList{&kTimerRules};

void Restart(TimerRecord *timer, int64_t banked) {
    timer->start = MonotonicMicroseconds();
    timer->banked = banked;
    timer->paused = false;
}

int64_t ElapsedMicroseconds(const TimerRecord *timer) {
    if (timer->paused) return timer->banked;
    return timer->banked + MonotonicMicroseconds() - timer->start;
}

// The timer named by argument n; raises kErrTimerNotFound (number) or kErrObjectNotFound (handle) when there is none.
TimerRecord *CheckTimerArg(VMState *vm, int n) {
    ObjectId id;
    ReadObjectId(&id, vm, n);
    TimerRecord *timer = nullptr;
    if (int error = TimerList.Find(id, &timer, 0)) RaiseError(vm, error);
    return timer;
}

// Script numbers as whole milliseconds, bounded so that microseconds stay far inside 64 bits.
int64_t Milliseconds(double value) {
    constexpr double kLimit = 1e15; // over 30000 years
    if (!(value > -kLimit)) return value != value ? 0 : int64_t(-kLimit);
    return value < kLimit ? int64_t(value) : int64_t(kLimit);
}

void PushText(VMState *vm, const std::string &text) { PushStringLen(vm, text.data(), text.size()); }

DateFields Now() {
    DateStamp stamp = CurrentDateStamp();
    DateFields fields;
    DateStampToFields(&stamp, &fields);
    return fields;
}

// Reads "dd-Mon-yyyy[ hh:mm:ss]" into day, month, year, hours, minutes, seconds; false when the form is wrong.
bool ParseDate(const char *text, size_t length, bool dateOnly, int fields[6]) {
    if (length != (dateOnly ? 11u : 20u)) return false;
    int month = -1;
    for (int m = 0; m < 12; m++) {
        const char *name = kMonthNames[m];
        bool same = true;
        for (int i = 0; i < 3; i++)
            if (std::tolower(static_cast<unsigned char>(text[3 + i])) != std::tolower(name[i])) same = false;
        if (same) month = m + 1;
    }
    if (month < 0) return false;
    // Digits must stand at every number position: a number read over a letter would compare garbage.
    static const struct { int pos, len; } kNumbers[] = {{0, 2}, {7, 4}, {12, 2}, {15, 2}, {18, 2}};
    int values[5] = {};
    for (int i = 0; i < (dateOnly ? 2 : 5); i++) {
        for (int k = 0; k < kNumbers[i].len; k++) {
            char c = text[kNumbers[i].pos + k];
            if (c < '0' || c > '9') return false;
            values[i] = values[i] * 10 + (c - '0');
        }
    }
    fields[0] = values[1], fields[1] = month, fields[2] = values[0];
    fields[3] = values[2], fields[4] = values[3], fields[5] = values[4];
    return true;
}

} // namespace

int CountTimers() { return int(TimerList.size()); }
void FreeAllTimers() { TimerList.Clear(); }

int CmdStartTimer(VMState *vm) {
    CheckArgs(vm, 1, 2);
    ObjectId id;
    OptIntegerArg(&id, vm, 1);
    if (!IsAutoHandleRequest(id)) {
        if (TimerRecord *timer = TimerList.Find(id)) {
            Restart(timer, 0);
            return 0;
        }
    }
    auto timer = std::make_unique<TimerRecord>();
    Restart(timer.get(), 0);
    TimerRecord *made = TimerList.Add(timer.get(), id);
    if (!made) return kErrOutOfMemory;
    timer.release();
    return PushAutoHandle(vm, id, made);
}

int CmdGetTimer(VMState *vm) {
    CheckArgs(vm, 1, 2);
    PushNumber(vm, double(ElapsedMicroseconds(CheckTimerArg(vm, 1)) / 1000));
    return 1;
}

int CmdPauseTimer(VMState *vm) {
    CheckArgs(vm, 1, 1);
    TimerRecord *timer = CheckTimerArg(vm, 1);
    if (!timer->paused) {
        timer->banked = ElapsedMicroseconds(timer);
        timer->start = 0;
        timer->paused = true;
    }
    return 0;
}

int CmdResumeTimer(VMState *vm) {
    CheckArgs(vm, 1, 1);
    TimerRecord *timer = CheckTimerArg(vm, 1);
    if (timer->paused) Restart(timer, timer->banked);
    return 0;
}

int CmdResetTimer(VMState *vm) {
    CheckArgs(vm, 1, 2);
    TimerRecord *timer = CheckTimerArg(vm, 1);
    // A negative time counts up from below zero; 64 bits leave nothing to wrap.
    Restart(timer, Milliseconds(OptNumberArg(vm, 2, 0)) * 1000);
    return 0;
}

int CmdWaitTimer(VMState *vm) {
    CheckArgs(vm, 2, 3);
    TimerRecord *timer = CheckTimerArg(vm, 1);
    int64_t target = Milliseconds(CheckNumberArg(vm, 2));
    int32_t reset = OptInt32Arg(vm, 3, 1);
    if (timer->paused) return kErrWrongUsage;
    int64_t left = target - ElapsedMicroseconds(timer) / 1000;
    ObjectId id = timer->id;
    if (left > 0) WaitTicks(vm, left);
    // The wait may have run event callbacks that stopped this timer: look it up again before touching it.
    if (reset && TimerList.Find(id) == timer) Restart(timer, 0);
    return 0;
}

int CmdStopTimer(VMState *vm) {
    CheckArgs(vm, 1, 1);
    TimerList.FreeRecord(CheckTimerArg(vm, 1));
    return 0;
}

int CmdGetDate(VMState *vm) {
    CheckArgs(vm, 0, 1);
    char text[64];
    if (OptInt32Arg(vm, 1, 0) == 0) {
        char unused[32];
        FormatCurrentDate(0, text, unused);
    } else {
        DateFields f = Now();
        std::snprintf(text, sizeof text, "%02d-%s-%04d %02d:%02d:%02d", f.day, kMonthNames[f.month], f.year,
                      f.hours, f.minutes, f.seconds);
    }
    PushString(vm, text);
    return 1;
}

int CmdGetDateNum(VMState *vm) {
    CheckArgs(vm, 1, 1);
    DateFields f = Now();
    double value = 0;
    switch (CheckInt32Arg(vm, 1)) {
    case 0: value = f.year; break;
    case 1: value = f.month + 1; break;
    case 2: value = f.day; break;
    case 3: value = f.hours * 10000 + f.minutes * 100 + f.seconds; break;
    default: break;
    }
    PushNumber(vm, value);
    return 1;
}

int CmdGetTime(VMState *vm) {
    CheckArgs(vm, 0, 1);
    char text[32];
    FormatCurrentDate(2, text, nullptr);
    std::string time = text;
    if (OptInt32Arg(vm, 1, 0) == 0) time.resize(5); // hh:mm
    PushText(vm, time);
    return 1;
}

int CmdGetWeekday(VMState *vm) {
    CheckArgs(vm, 0, 0);
    char text[32];
    FormatCurrentDate(3, text, nullptr);
    PushString(vm, text);
    return 1;
}

int CmdCompareDates(VMState *vm) {
    CheckArgs(vm, 2, 3);
    size_t length1 = 0, length2 = 0;
    const char *date1 = CheckStringArg(vm, 1, &length1);
    const char *date2 = CheckStringArg(vm, 2, &length2);
    bool dateOnly = OptInt32Arg(vm, 3, 0) != 0;
    int a[6], b[6];
    if (!ParseDate(date1, length1, dateOnly, a) || !ParseDate(date2, length2, dateOnly, b)) return kErrDateFormat;
    int result = 0;
    for (int i = 0; i < (dateOnly ? 3 : 6) && result == 0; i++)
        if (a[i] != b[i]) result = a[i] > b[i] ? 1 : 2;
    PushNumber(vm, result);
    return 1;
}

int CmdWait(VMState *vm) {
    CheckArgs(vm, 1, 2);
    int64_t duration = Milliseconds(CheckNumberArg(vm, 1));
    int32_t unit = OptInt32Arg(vm, 2, 2);
    if (duration < 1) return 0;
    int64_t ms = unit == 0 ? duration * 1000 : unit == 2 ? duration * 20 : duration;
    WaitTicks(vm, ms);
    return 0;
}
