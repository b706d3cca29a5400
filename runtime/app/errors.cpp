// The error table and the message formatting.
#include "runtime/app/errors.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "runtime/app/runtime_globals.h"

namespace {

struct ErrorMessage {
    int code;
    const char *text;
};

#define VL_ERROR_ROW(code, name, text) {code, text},
#define VL_ERROR_VM_ROW(name, text) {kErr##name, text},
constexpr ErrorMessage kErrorMessages[] = {VL_ERRORS(VL_ERROR_ROW, VL_ERROR_VM_ROW)};
#undef VL_ERROR_ROW
#undef VL_ERROR_VM_ROW

// FindErrorMessage searches by halves, and a code listed twice would have two texts.
constexpr bool CodesAscend() {
    for (size_t i = 1; i < std::size(kErrorMessages); i++)
        if (kErrorMessages[i - 1].code >= kErrorMessages[i].code) return false;
    return true;
}
static_assert(CodesAscend(), "the error list must be sorted by code, each code once");

std::string g_errorArgString;
int64_t g_errorArgNumber = 0;

// The first `limit` bytes of text, shortened so that a UTF-8 sequence is never cut in half.
std::string_view CutAtCharacter(std::string_view text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = limit;
    // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
    size_t back = 0;
    while (end > 0 && back < 3 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) {
        end--;
        back++;
    }
    return text.substr(0, end);
}

std::string FillMessage(const char *format) {
    std::string out;
    std::string_view arg = CutAtCharacter(g_errorArgString, kErrorArgShownBytes);
    for (const char *p = format; *p;) {
        if (p[0] == '%' && p[1] == 's') {
            out.append(arg);
            p += 2;
        } else if (p[0] == '%' && p[1] == 'l' && p[2] == 'd') {
            out += std::to_string(g_errorArgNumber);
            p += 3;
        } else {
            out += *p++;
        }
    }
    return out;
}

} // namespace

const char *FindErrorMessage(int code) {
    const ErrorMessage *end = std::end(kErrorMessages);
    const ErrorMessage *it =
        std::lower_bound(std::begin(kErrorMessages), end, code, [](const ErrorMessage &m, int c) { return m.code < c; });
    return (it != end && it->code == code) ? it->text : nullptr;
}

size_t ErrorMessageCount() { return std::size(kErrorMessages); }

void SetErrorArgString(const char *text) { g_errorArgString = text ? text : ""; }
void SetErrorArgString(std::string_view text) { g_errorArgString.assign(text); }
void SetErrorArgNumber(int64_t number) { g_errorArgNumber = number; }
const std::string &ErrorArgString() { return g_errorArgString; }
int64_t ErrorArgNumber() { return g_errorArgNumber; }

namespace {
std::string g_shutdownFailures;
} // namespace

void NoteShutdownFailure(int code, const char *origin) {
    g_shutdownFailures += FormatErrorReport(nullptr, 0, origin ? origin : "", GetErrorText(code).c_str());
}

std::string TakeShutdownFailures() { return std::exchange(g_shutdownFailures, std::string()); }

void RaiseErrorWithHint(VMState *vm, int code, const std::string &hint) { RaiseErrorDetail(vm, code, hint); }

int NotedErrorHintCode = 0;
namespace {
std::string g_notedErrorHint;
} // namespace

int NoteErrorHint(int code, std::string hint) {
    NotedErrorHintCode = code;
    g_notedErrorHint = std::move(hint);
    return code;
}

const char *NotedErrorHint(int code) { return code == NotedErrorHintCode ? g_notedErrorHint.c_str() : ""; }

int AnimFrameOutOfRange(int64_t frame, int64_t frames) {
    std::string hint = std::string("Frame ").append(std::to_string(frame)).append(" was asked for; ");
    if (frames < 1) hint.append("there are no frames.");
    else hint.append("the frames are 1 to ").append(std::to_string(frames)).append(".");
    return NoteErrorHint(kErrAnimFrameRange, std::move(hint));
}

int LibraryNotRegistered(const char *libraryName) {
    SetErrorArgString(libraryName);
    return kErrLibraryNotRegistered;
}

std::string GetErrorText(int code) {
    // These two carry their whole message in the argument text.
    if (code == kErrUserError || (code == kErrFontOpen && !g_errorArgString.empty()))
        return std::string(CutAtCharacter(g_errorArgString, kErrorArgShownBytes));
    if (const char *format = FindErrorMessage(code)) return FillMessage(format);
    return "Error " + std::to_string(code) + " has no message text!";
}

std::string ScriptErrorMessage(VMState *vm, int code) {
    std::string message = GetErrorText(code);
    if (!vm) return message;
    // The table's texts are general; the detail says which limit the failed call hit, or what it refused and how
    // to write it. The VM's own codes carry their detail in the description or the "%s" instead.
    // Appended piece by piece: GCC 12's -O3 takes a literal plus a temporary for an overlapping copy (-Wrestrict).
    const char *detail = GetErrorDetail(vm);
    if (!*detail) detail = NotedErrorHint(code);
    if (*detail && code < kErrGosubOutsideMain) {
        const bool limit = code == kErrInternalLimit;
        message.append(limit ? " (" : " ").append(detail).append(limit ? ")" : "");
    }
    if (const char *description = GetErrorDescription(vm); *description)
        message = code >= kErrGosubOutsideMain ? std::string(description) : message + " " + description;
    if (const char *trace = GetErrorTrace(vm); *trace) message = message + "\n" + trace;
    return message;
}

size_t GetErrorText(VMState *, int code, char *buffer, size_t size) {
    if (!buffer || size == 0) return 0;
    std::string text = GetErrorText(code);
    std::string_view cut = CutAtCharacter(text, size - 1);
    memcpy(buffer, cut.data(), cut.size());
    buffer[cut.size()] = 0;
    return cut.size();
}

std::string FormatErrorReport(const char *file, int line, const char *origin, const char *message) {
    std::string out;
    if (file && *file) {
        out = std::string(file) + ":" + std::to_string(line) + ": " + message;
    } else {
        out = std::string(origin ? origin : "") + ": " + message;
    }
    return out + "\n";
}

std::string FormatErrorWithPosition(const char *message, const char *file, int line) {
    return std::string(message) + "\nFile: " + (file ? file : "") + " (current line: " + std::to_string(line) + ")";
}

int ApplyErrorPolicy(VMState *, int code) {
    LastErrorCode = code;
    // A user abort must stop the script whatever the settings; swallowing it would keep a closed program running.
    if (code == kErrUserAbort) return 1;
    if (ExitOnErrorSwitch || ExitOnErrorCount > 0) return 1;
    ForgetErrorHint(); // stepped over: a later failure outside any command must not show it
    return 0;
}
