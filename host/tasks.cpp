#include "host/tasks.h"

#include "host/catalog.h"
#include "host/clock.h"
#include "host/path.h"
#include "host/thread_stop.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/runtime_globals.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <strings.h>
#include <unistd.h>

extern char **environ;

const int MainSignalBit = 18;
static_assert(kSignalMain == 1u << 18);

namespace {

std::atomic<uint32_t> pendingSignals{0};
std::atomic<uint32_t> allocatedSignals{kStandardWaitSignals};
// A left click is ordinary input for nearly every applet, so that switch starts off; scripts opt in.
std::atomic<int> ctrlCQuits{1}, leftMouseQuits{0}, escapeQuits{1};

// The built-in wait: a pipe that wakers write a byte into.
int wakePipe[2] = {-1, -1};
std::once_flag wakePipeOnce;

void EnsureWakePipe() {
    std::call_once(wakePipeOnce, [] {
        if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = wakePipe[1] = -1;
    });
}

void DrainWakePipe() {
    char drain[64];
    while (wakePipe[0] >= 0 && read(wakePipe[0], drain, sizeof drain) > 0) {
    }
}

void BuiltinWait(int64_t timeoutMicros) { WaitForWakeOrInput(-1, timeoutMicros); }

void BuiltinWake() {
    EnsureWakePipe();
    if (wakePipe[1] < 0) return;
    char byte = 1;
    [[maybe_unused]] ssize_t n = write(wakePipe[1], &byte, 1); // a full pipe already means "wake"
}

std::atomic<SystemWaitFunction> waitFunction{BuiltinWait};
std::atomic<SystemWakeFunction> wakeFunction{BuiltinWake};
std::atomic<PumpEventsFunction> pumpFunction{nullptr};

// CTRL-C, SIGTERM and SIGHUP: the handler only writes the signal's number into a pipe; a watcher thread turns
// that into a signal of the main task, because nothing else is safe inside a signal handler.
constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr char kWatcherQuit = 0;
int interruptPipe[2] = {-1, -1};
std::thread interruptWatcher;
std::atomic<bool> watcherReturned{false};
struct sigaction previousActions[std::size(kHandledSignals)];
bool systemStarted = false;
std::atomic<int> terminationSignal{0};

void InterruptHandler(int signalNumber) {
    int saved = errno;
    char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] ssize_t n = write(interruptPipe[1], &byte, 1);
    errno = saved;
}

void WatchInterrupts(int readEnd) {
    const ReturnNotice notice{watcherReturned};
    pthread_setname_np(pthread_self(), "vl-signals");
    for (;;) {
        char byte;
        ssize_t n = read(readEnd, &byte, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || byte == kWatcherQuit) return;
        if (byte == SIGINT) {
            // A break that ends the program ends it with the signal's status, so a shell loop over applets stops.
            if (ctrlCQuits.load()) terminationSignal = SIGINT;
            RaiseBreakSignal();
            continue;
        }
        // Being told to end is not a break the script may switch off: stop at the next line and shut down.
        terminationSignal = byte;
        QuitRequested = 1;
        SignalMainTask(kSignalBreak);
    }
}

// ---- Timer list ----
std::mutex timerLock;
TimerRequestNode *timerHead = nullptr;

void AppendTimer(TimerRequestNode *node) {
    TimerRequestNode **link = &timerHead;
    while (*link) link = &(*link)->next;
    *link = node;
}

void UnlinkTimer(TimerRequestNode *node) {
    for (TimerRequestNode **link = &timerHead; *link; link = &(*link)->next) {
        if (*link == node) {
            *link = node->next;
            return;
        }
    }
}

TimerRequestNode *FindTimerLocked(int kind, int32_t owner) {
    for (TimerRequestNode *node = timerHead; node; node = node->next)
        if (node->kind == kind && node->owner == owner) return node;
    return nullptr;
}

// A request of 0 ms would be due at every poll and starve everything else.
int64_t PeriodMicroseconds(int64_t ms) { return ms < 1 ? 1000 : ms * 1000; }

// The one place a deadline (monotonic microseconds, -1 none) becomes the host's wait: until woken, a window
// message or the deadline. Under a virtual clock a finite wait advances the clock instead of sleeping. True when
// the wait ended before the deadline.
bool HostWaitUntil(int64_t deadline) {
    int64_t remaining = -1;
    if (deadline >= 0) {
        remaining = deadline - MonotonicMicroseconds();
        if (remaining <= 0) return false;
        if (VirtualClockInstalled()) {
            AdvanceVirtualClock(remaining);
            return false;
        }
    }
    PumpPaused();
    waitFunction.load()(remaining);
    return deadline < 0 || MonotonicMicroseconds() < deadline;
}

} // namespace

bool WaitForWakeOrInput(int fd, int64_t timeoutMicros) {
    EnsureWakePipe();
    // A negative descriptor is left out by poll: without a pipe or a connection this only sleeps.
    pollfd fds[2] = {{wakePipe[0], POLLIN, 0}, {fd, POLLIN, 0}};
    timespec timeout{};
    if (timeoutMicros >= 0)
        timeout = {time_t(std::min<int64_t>(timeoutMicros / 1000000, INT32_MAX)), long(timeoutMicros % 1000000) * 1000};
    if (ppoll(fds, 2, timeoutMicros < 0 ? nullptr : &timeout, nullptr) <= 0) return false;
    if (fds[0].revents & POLLIN) DrainWakePipe();
    return true;
}

// ---- Start and stop ------------------------------------------------------------------------------------------
namespace {

// Ends the watcher thread when it runs.
void StopInterruptWatcherThread() {
    if (!interruptWatcher.joinable() || LetGoOfThreadAtEnd(interruptWatcher)) return;
    char quit = kWatcherQuit;
    [[maybe_unused]] ssize_t n = write(interruptPipe[1], &quit, 1);
    JoinUnlessParked(interruptWatcher, watcherReturned);
}

// Ends the watcher thread (when it runs) and closes its pipe.
void StopInterruptWatcher() {
    StopInterruptWatcherThread();
    close(interruptPipe[0]);
    close(interruptPipe[1]);
    interruptPipe[0] = interruptPipe[1] = -1;
}

} // namespace

void StopSystemThreads() {
    StopPumpTicker();
    StopInterruptWatcherThread();
}

int StartupSystem() {
    if (systemStarted) return 0;
    // Registered after the threads' objects exist, so it runs before their destructors whoever calls exit().
    static const bool stopAtExit = atexit(StopSystemThreads) == 0;
    (void)stopAtExit;
    EnsureWakePipe();
    DrainWakePipe(); // a wake posted before the start would end its first wait as an event
    if (pipe2(interruptPipe, O_CLOEXEC) != 0) return kErrOutOfMemory;
    // A thread that cannot get its stack is a start-up failure, and the one already started is joined again:
    // a joinable thread destroyed at exit would abort the program.
    try {
        watcherReturned = false;
        interruptWatcher = std::thread(WatchInterrupts, interruptPipe[0]);
        StartPumpTicker();
    } catch (const std::system_error &) {
        StopInterruptWatcher();
        return kErrOutOfMemory;
    }
    terminationSignal = 0;
    struct sigaction action = {};
    action.sa_handler = InterruptHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kHandledSignals); ++i) sigaction(kHandledSignals[i], &action, &previousActions[i]);
    signal(SIGPIPE, SIG_IGN); // a closed pipe is a write error, not the end of the program
    // Events queued from other threads (sound ends, requesters) wake the main wait.
    if (!WakeMainThreadHook) WakeMainThreadHook = [] { SignalMainTask(kSignalEvent); };
    OpenProgramCatalog(ProgramCatalogRoots());
    systemStarted = true;
    return 0;
}

void ShutdownSystem() {
    FreeAllTimerRequests();
    if (!systemStarted) return;
    StopSystemThreads();
    for (size_t i = 0; i < std::size(kHandledSignals); ++i) sigaction(kHandledSignals[i], &previousActions[i], nullptr);
    StopInterruptWatcher();
    pendingSignals = 0;
    DrainWakePipe(); // a wake posted after the last wait would end the next start's first wait as an event
    CloseProgramCatalog();
    systemStarted = false;
}

// ---- Signals -------------------------------------------------------------------------------------------------

void SignalMainTask(uint32_t mask) {
    pendingSignals.fetch_or(mask);
    if (mask & kSignalEvent) PumpDue.store(kPumpNow, std::memory_order_relaxed);
    wakeFunction.load()();
}

uint32_t TakeSignals(uint32_t mask) {
    // A plain load first: the line hook asks on every script line and nearly always finds nothing.
    if (!(pendingSignals.load(std::memory_order_relaxed) & mask)) return 0;
    return pendingSignals.fetch_and(~mask) & mask;
}

int TerminationSignal() { return terminationSignal; }

bool EndRequested() { return QuitRequested.load(std::memory_order_relaxed) != 0 || TerminationSignal() != 0; }

void RaiseBreakSignal() {
    if (ctrlCQuits.load()) QuitRequested = 1;
    SignalMainTask(kSignalBreak);
}

int AllocSignalBit() {
    for (int bit = 19; bit <= 30; ++bit) {
        uint32_t mask = 1u << bit;
        if (!(allocatedSignals.fetch_or(mask) & mask)) return bit;
    }
    return -1;
}

void FreeSignalBit(int bit) {
    if (bit >= 19 && bit <= 30) allocatedSignals.fetch_and(~(1u << bit));
}

namespace {

// A due timer request stays due until the event dispatch polls it, so the wait reports each falling due once:
// a wait that does not dispatch (WaitLeftMouse, WhileMouseDown) would otherwise return at once for ever and spin.
// Requests due at or before this time were reported (main thread only).
int64_t timersReportedUpTo = INT64_MIN;

// The earliest due time after `after` among the timer requests, or -1.
int64_t EarliestTimerDueAfter(int64_t after);

} // namespace

uint32_t WaitSystemSignalsTimeout(uint32_t extraMask, int64_t timeoutMs) {
    int64_t deadline = timeoutMs < 0 ? -1 : MonotonicMicroseconds() + timeoutMs * 1000;
    uint32_t wanted = kStandardWaitSignals | extraMask;
    for (;;) {
        int64_t now = MonotonicMicroseconds();
        if (timersReportedUpTo > now) timersReportedUpTo = INT64_MIN; // a new virtual clock starts again at 0
        int64_t timerDue = EarliestTimerDueAfter(timersReportedUpTo);
        if (timerDue >= 0 && timerDue <= now) {
            pendingSignals.fetch_or(kSignalTimer);
            timersReportedUpTo = now;
            timerDue = EarliestTimerDueAfter(now);
        }
        uint32_t got = pendingSignals.fetch_and(~wanted) & wanted;
        if (got & kSignalBreak) {
            if (ctrlCQuits.load()) QuitRequested = 1;
            else got &= ~kSignalBreak;
        }
        if (got) return got;
        now = MonotonicMicroseconds();
        if (deadline >= 0 && now >= deadline) return 0;
        int64_t wakeAt = deadline;
        if (timerDue >= 0 && (wakeAt < 0 || timerDue < wakeAt)) wakeAt = timerDue;
        // The built-in wait only ends early through a wake, which sets a bit first; an early end without one
        // is the host's wait reporting a window message.
        if (HostWaitUntil(wakeAt) && !(pendingSignals.load() & wanted)) pendingSignals.fetch_or(kSignalEvent);
    }
}

uint32_t WaitSystemSignals(VMState *, uint32_t extraMask) { return WaitSystemSignalsTimeout(extraMask, -1); }

void SetSystemWaitFunctions(SystemWaitFunction wait, SystemWakeFunction wake) {
    waitFunction = wait ? wait : BuiltinWait;
    wakeFunction = wake ? wake : BuiltinWake;
}

void WakeMainThread() { wakeFunction.load()(); }

void SetSystemOption(int, int id, int value) {
    if (id == 8) ctrlCQuits = value != 0;
    else if (id == 9) leftMouseQuits = value != 0;
    else if (id == 10) escapeQuits = value != 0;
}

int GetSystemOption(int id) {
    if (id == 8) return ctrlCQuits.load();
    if (id == 9) return leftMouseQuits.load();
    if (id == 10) return escapeQuits.load();
    return 0;
}

// ---- Event pump ----------------------------------------------------------------------------------------------
void SetPumpEventsFunction(PumpEventsFunction pump) { pumpFunction = pump; }

int PumpEvents(VMState *vm, int) {
    if (PumpEventsFunction pump = pumpFunction.load()) return pump(vm);
    return QuitRequested.load() ? 1 : 0;
}

namespace {

// A batch drawn later reaches the window within a 60 Hz frame whatever the script runs meanwhile (a loop of
// pure computing calls no command that would flush it). A barrier first seen at this pump was set after the
// previous one, so its age is counted from there: never less than it is. It goes at 15 ms, since the next pump
// may be a millisecond away.
void FlushLateCommandBarrier() {
    constexpr int64_t kLate = 15000;
    static uint64_t seen = 0;
    static int64_t seenSince = 0, lastPump = 0;
    const int64_t now = MonotonicMicroseconds();
    if (const uint64_t barrier = PendingCommandBarrier()) {
        if (barrier != seen) seen = barrier, seenSince = std::min(lastPump, now);
        if (now - seenSince >= kLate) FlushCommandBarrier();
    }
    lastPump = now;
}

// After a pump the hook watches the lines that follow before it asks the ticker for the next one: a frame that
// runs a few lines and waits again then arms no timer and wakes no thread. A script that runs on asks for its
// tick a millisecond after the pump; a line that ends past that millisecond pumps at once.
constexpr int kLinesBeforeTick = 64;
int64_t lastPump = 0;
int counted = 0;

// A pump the script's lines count from: the line hook's own, and those of a deadline wait, so that the lines
// after a frame's wait do not pump again what the wait's last pump took in.
int PumpForScript(VMState *vm) {
    PumpDue.store(kPumpCounting, std::memory_order_relaxed);
    counted = 0;
    lastPump = MonotonicMicroseconds();
    FlushLateCommandBarrier();
    TakeSignals(kSignalEvent); // this pump serves it
    return PumpEvents(vm, 0);
}

void PumpFromLineHook(VMState *vm) {
    int due = PumpDue.load(std::memory_order_relaxed);
    if (due == kPumpCounting) {
        // The virtual clock opens the gate itself at each millisecond it advances.
        const int64_t ran = VirtualClockInstalled() ? 0 : MonotonicMicroseconds() - lastPump;
        int expected = kPumpCounting;
        if (ran >= 1000) due = kPumpNow;
        else if (++counted >= kLinesBeforeTick && PumpDue.compare_exchange_strong(expected, 0, std::memory_order_relaxed))
            RequestPumpTick(1000 - ran);
    }
    if (__builtin_expect(due & kPumpNow, 0)) {
        if (PumpForScript(vm)) RaiseError(vm, kErrUserAbort);
    } else if (__builtin_expect(QuitRequested.load(std::memory_order_relaxed) != 0, 0)) {
        RaiseError(vm, kErrUserAbort);
    }
}

} // namespace

void InstallPumpLineHook(VMState *vm) {
    SetLineHook(vm, PumpFromLineHook);
    SetLineHookGates(vm, &PumpDue, &QuitRequested);
}

// ---- Waiting -------------------------------------------------------------------------------------------------
// Waits are bounded (over 30000 years) before they become microseconds, so that no wait a script can ask for
// overflows the deadline.
namespace {
constexpr int64_t kMaxWaitMilliseconds = int64_t(1) << 50;
int64_t WaitDeadline(int64_t ms) { return MonotonicMicroseconds() + std::clamp<int64_t>(ms, 0, kMaxWaitMilliseconds) * 1000; }
} // namespace

int WaitTicks(VMState *vm, int64_t ms) { return WaitUntilDeadline(vm, WaitDeadline(ms)); }

int WaitUntilDeadline(VMState *vm, int64_t deadline) {
    // What arrived since the script's last pump ends the host's wait at once, so a pump less than a millisecond
    // old (the line hook's own interval: a frame loop's) is not repeated first. The virtual clock's wait does not
    // look at the host's messages.
    bool pump = VirtualClockInstalled() || PumpDue.load(std::memory_order_relaxed) != kPumpCounting ||
                MonotonicMicroseconds() - lastPump >= 1000;
    for (;; pump = true) {
        if ((pump && PumpForScript(vm)) || QuitRequested.load()) return 1;
        if (MonotonicMicroseconds() >= deadline) return 0;
        HostWaitUntil(deadline);
    }
}

// ---- Timer requests ------------------------------------------------------------------------------------------
int ControlTimerRequest(int operation, int32_t owner, int64_t ms) {
    std::lock_guard<std::mutex> guard(timerLock);
    switch (operation) {
    case kTimerAddInterval:
    case kTimerAddTimeout: {
        auto *node = new (std::nothrow) TimerRequestNode;
        if (!node) return kErrOutOfMemory;
        node->kind = operation == kTimerAddInterval ? kTimerInterval : kTimerTimeout;
        node->owner = owner;
        node->period = PeriodMicroseconds(ms);
        node->nextPeriod = node->period;
        node->due = MonotonicMicroseconds() + node->period;
        node->next = nullptr;
        AppendTimer(node);
        break;
    }
    case kTimerRemoveInterval:
    case kTimerRemoveTimeout: {
        TimerRequestNode *node =
            FindTimerLocked(operation == kTimerRemoveInterval ? kTimerInterval : kTimerTimeout, owner);
        if (node) {
            UnlinkTimer(node);
            delete node;
        }
        break;
    }
    case kTimerChangeInterval:
        if (TimerRequestNode *node = FindTimerLocked(kTimerInterval, owner)) node->nextPeriod = PeriodMicroseconds(ms);
        break;
    default:
        break;
    }
    WakeMainThread(); // the nearest deadline may have changed
    return 0;
}

TimerRequestNode *FindTimerRequest(int kind, int32_t owner, TimerRequestNode **successor) {
    std::lock_guard<std::mutex> guard(timerLock);
    TimerRequestNode *node = FindTimerLocked(kind, owner);
    if (successor) *successor = node ? node->next : nullptr;
    return node;
}

TimerRequestNode *PollTimerRequest(TimerRequestNode *node, int *kind, int32_t *owner) {
    std::lock_guard<std::mutex> guard(timerLock);
    if (kind) *kind = kTimerNotDue;
    if (!node) {
        node = timerHead;
    } else {
        // The caller may hold a node that was removed meanwhile: never touch it unless it is still listed.
        TimerRequestNode *listed = timerHead;
        while (listed && listed != node) listed = listed->next;
        node = listed;
    }
    if (!node) return nullptr;
    if (owner) *owner = node->owner;
    TimerRequestNode *next = node->next;
    int64_t now = MonotonicMicroseconds();
    if (now < node->due) return next;
    if (node->kind == kTimerInterval) {
        if (kind) *kind = kTimerInterval;
        node->period = node->nextPeriod;
        node->due += node->period;
        if (node->due <= now) node->due = now + node->period;
    } else {
        if (kind) *kind = kTimerTimeout;
        UnlinkTimer(node);
        delete node;
    }
    return next;
}

int64_t TimeUntilNextTimer() {
    std::lock_guard<std::mutex> guard(timerLock);
    if (!timerHead) return -1;
    int64_t now = MonotonicMicroseconds();
    int64_t nearest = INT64_MAX;
    for (TimerRequestNode *node = timerHead; node; node = node->next)
        nearest = std::min(nearest, node->due - now);
    return nearest < 0 ? 0 : nearest;
}

namespace {

int64_t EarliestTimerDueAfter(int64_t after) {
    std::lock_guard<std::mutex> guard(timerLock);
    int64_t earliest = -1;
    for (TimerRequestNode *node = timerHead; node; node = node->next)
        if (node->due > after && (earliest < 0 || node->due < earliest)) earliest = node->due;
    return earliest;
}

} // namespace

void FreeAllTimerRequests() {
    std::lock_guard<std::mutex> guard(timerLock);
    while (timerHead) {
        TimerRequestNode *next = timerHead->next;
        delete timerHead;
        timerHead = next;
    }
}

int OpenOptionalLibrary(const char *name, void **base) {
    static const char *const kBuiltin[] = {
        "z.library",        "png.library",       "jfif.library",     "mpega.library",     "codesets.library",
        "openurl.library",  "lowlevel.library",  "diskfont.library", "asl.library",       "reqtools.library",
        "icon.library",     "workbench.library", "rexxsyslib.library", "datatypes.library", "locale.library",
        "keymap.library",   "commodities.library"};
    static int token;
    if (name) {
        for (const char *builtin : kBuiltin) {
            if (strcasecmp(name, builtin) == 0) {
                if (base) *base = &token;
                return 0;
            }
        }
    }
    SetErrorArgString(name ? name : "");
    return kErrCannotOpen;
}
