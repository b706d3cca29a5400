#include "host/debug_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"

namespace {

struct DebugTarget {
    std::mutex lock; // sound and requester threads may print too
    std::string device;
    FILE *file = nullptr; // an opened file target
    DebugRexxSender rexxSender = nullptr;
    bool failureReported = false; // a target that cannot be written is reported once, not per line
};

DebugTarget &Target() {
    static DebugTarget target;
    return target;
}

void WriteLocked(DebugTarget &target, const char *text, size_t length) {
    const std::string &device = target.device;
    FILE *out = stdout;
    if (device.empty() || device == "@stdout") {
        out = stdout;
    } else if (device == "@serial") {
        out = stderr;
    } else if (device.compare(0, 6, "@rexx:") == 0) {
        if (target.rexxSender && target.rexxSender(device.c_str() + 6, text, length) == 0) return;
        out = stderr;
    } else if (target.file) {
        out = target.file;
    }
    bool written = fwrite(text, 1, length, out) == length;
    written = fflush(out) == 0 && written; // debug text must survive a crash that follows it
    if (written) return;
    clearerr(out);
    if (target.failureReported || out == stderr) return;
    target.failureReported = true;
    const char *format = FindErrorMessage(kErrCannotWriteFile);
    std::vector<char> message(strlen(format) + device.size() + 2);
    snprintf(message.data(), message.size(), format, device.empty() ? "@stdout" : device.c_str());
    fprintf(stderr, "%s\n", message.data());
}

} // namespace

void DebugWrite(const char *text, size_t length) {
    DebugTarget &target = Target();
    std::lock_guard<std::mutex> guard(target.lock);
    WriteLocked(target, text, length);
}

void DebugPrintf(const char *format, ...) {
    char local[1024];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int needed = vsnprintf(local, sizeof local, format, args);
    va_end(args);
    if (needed < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(needed) < sizeof local) {
        va_end(again);
        DebugWrite(local, static_cast<size_t>(needed));
        return;
    }
    std::vector<char> big(static_cast<size_t>(needed) + 1);
    vsnprintf(big.data(), big.size(), format, again);
    va_end(again);
    DebugWrite(big.data(), static_cast<size_t>(needed));
}

int SetDebugDevice(const char *device) {
    DebugDeviceWriteHook = DebugWrite;
    DebugTarget &target = Target();
    std::lock_guard<std::mutex> guard(target.lock);
    std::string wanted = device ? device : "";
    FILE *file = nullptr;
    bool isFile = !wanted.empty() && wanted[0] != '@';
    if (isFile) {
        file = fopen(wanted.c_str(), "w");
        if (!file) return kErrCannotWriteFile;
    }
    if (target.file) fclose(target.file);
    target.file = file;
    target.device = wanted;
    target.failureReported = false;
    return 0;
}

const char *GetDebugDevice() {
    DebugTarget &target = Target();
    std::lock_guard<std::mutex> guard(target.lock);
    return target.device.c_str();
}

int DebugDeviceIsSet() {
    DebugTarget &target = Target();
    std::lock_guard<std::mutex> guard(target.lock);
    return target.device.empty() ? 0 : 1;
}

void CloseDebugConsole() {}

void ShutdownDebugOutput() {
    DebugTarget &target = Target();
    std::lock_guard<std::mutex> guard(target.lock);
    if (target.file) {
        fclose(target.file);
        target.file = nullptr;
        target.device.clear();
    }
}

void SetDebugRexxSender(DebugRexxSender sender) {
    DebugTarget &target = Target();
    std::lock_guard<std::mutex> guard(target.lock);
    target.rexxSender = sender;
}
