// Requesters. Easy and system requesters are SDL message boxes; file, drawer and string requesters run zenity
// when it is installed and otherwise fail with a clear error; list requesters run zenity when it is installed
// and otherwise show a message box with a button for each of the first few items. Every requester goes through
// one backend function, so tests install a scripted one. Requesters run on the main thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct VMState;

constexpr int kRequesterAnswerSize = 1025; // the string requester's answer buffer, terminator included

enum RequesterKind : int32_t {
    RequesterEasy = 1,
    RequesterSystem = 2,
    RequesterFile = 3,
    RequesterPath = 4,
    RequesterString = 5,
    RequesterList = 6,
};

// File requester modes, numbered as the script's REQ_* constants so a mode passes through unchanged.
constexpr int32_t kFileRequestLoad = 0;
constexpr int32_t kFileRequestMultiple = 1;
constexpr int32_t kFileRequestSave = 2;
// System requester icons, numbered as the script's REQICON_* constants.
constexpr int32_t kRequesterIconNone = 0;
constexpr int32_t kRequesterIconInformation = 1;
constexpr int32_t kRequesterIconError = 2;
constexpr int32_t kRequesterIconWarning = 3;
constexpr int32_t kRequesterIconQuestion = 4;

struct RequesterRequest {
    int32_t kind = 0;
    std::string title, text;
    std::string buttons;     // easy and system: "Yes|No|Cancel"
    int32_t icon = 0;        // system
    std::string pattern;     // file: a wildcard pattern, may be empty
    int32_t mode = 0;        // file: kFileRequest*; path: 0 (reserved)
    std::string drawer;      // file and path: the starting directory
    std::string file;        // file: the proposed name
    std::string defaultText; // string
    int32_t maxLength = 0;   // string: at most this many bytes (and at most 1024)
    bool password = false;   // string: hide the typing
    std::vector<std::string> items; // list: the choices, in order
};

struct RequesterAnswer {
    int32_t button = 0;              // easy and system: the button number (rightmost 0, others 1.. from the left);
                                     // list: the chosen item's index
    bool ok = false;                 // file, path, string, list: false when cancelled
    std::vector<std::string> paths;  // file: full paths; path: one directory
    std::string text;                // string
};

// 0, or an error code (kErrCannotOpen when the requester program is missing, with its name set as the error
// argument).
using RequesterBackend = int (*)(const RequesterRequest &request, RequesterAnswer *answer);
// Null restores the system backend.
void SetRequesterBackend(RequesterBackend backend);
int SystemRequesterBackend(const RequesterRequest &request, RequesterAnswer *answer);

// Non-zero while a requester is shown (display code reads it as the current display's requester-active flag).
extern std::atomic<int> RequesterActive;

// Button number (the rightmost is 0); -1 when no requester could be shown, which is no button's answer.
int ShowEasyRequester(const char *title, const char *text, const char *buttons, int flags);
// Button number, negative on failure.
int ShowSystemRequester(VMState *vm, const char *title, const char *text, const char *buttons, int icon);

struct FileRequestResult {
    std::string drawer;      // the directory of the chosen files
    std::vector<char> names; // their names inside drawer, each zero-terminated
    int32_t count = 0;
    int ok = 0; // 0 when cancelled
};
// 0, or an error code (kErrOutOfMemory, or kErrCannotOpen when no file requester program is available).
int ShowFileRequester(VMState *vm, const char *title, const char *pattern, int mode, const char *drawer,
                      const char *file, FileRequestResult *out);
// *outPath: the chosen directory, empty when cancelled. 0 or an error code.
int ShowPathRequester(VMState *vm, const char *title, int mode, const char *drawer, std::string *outPath);
// Fills answer (kRequesterAnswerSize bytes) with at most maxLength bytes; 0, kErrUserAbort when cancelled (the answer
// then holds what the backend returned, typed text or nothing), or an error.
int ShowStringRequester(VMState *vm, const char *title, const char *text, const char *defaultText, int kind,
                        int maxLength, int password, char *answer);

// The screen-mode requester of full screen with a chosen mode: lists the modes ("640 x 480 at 60 Hz") and sets
// *chosen to the one picked. 0, 1003 when the requester was cancelled, or the requester's error.
struct ScreenMode;
int ShowScreenModeRequester(const char *title, const std::vector<ScreenMode> &modes, ScreenMode *chosen);

// ---- Scripted backend for tests ------------------------------------------------------------------------------
// Installs it: each requester takes the next queued answer (an error kErrOutOfMemory when none is left) and is
// recorded.
void UseScriptedRequesters();
void QueueScriptedAnswer(const RequesterAnswer &answer);
const std::vector<RequesterRequest> &ScriptedRequests();
void ClearScriptedRequesters();

// The zenity program's path, or empty when it is not installed (file, path, string and list requesters).
std::string FindZenity();
int ZenityRequester(const RequesterRequest &request, RequesterAnswer *answer);
