// File, drawer, string and system requesters of the system library. The host counts the requester as active
// while it is shown (and never leaves the count up after a failure); afterwards the input state of the display
// is reset, so that keys and buttons held before the requester do not count as held.
#include "libs/system/system_commands.h"

#include "host/requester.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"

#include <string>

namespace {

void ResetInputAfterRequester() {
    if (CurrentDisplay) ResetDisplayInputState(CurrentDisplay);
}

// No length cut: a cut path would name a different file.
std::string JoinDrawer(const std::string &drawer, const char *name) {
    if (drawer.empty()) return name;
    char last = drawer.back();
    return last == '/' || last == ':' ? drawer + name : drawer + "/" + name;
}

void PushText(VMState *vm, const std::string &text) { PushStringLen(vm, text.data(), text.size()); }

} // namespace

int CmdFileRequest(VMState *vm) {
    CheckArgs(vm, 2, 5);
    const char *title = CheckStringArg(vm, 1);
    const char *pattern = CheckStringArg(vm, 2);
    int32_t mode = OptInt32Arg(vm, 3, kFileRequestLoad);
    const char *drawer = OptStringArg(vm, 4, "");
    const char *file = OptStringArg(vm, 5, "");
    if (mode != kFileRequestLoad && mode != kFileRequestMultiple && mode != kFileRequestSave) return kErrWrongUsage;
    FileRequestResult result;
    int r = ShowFileRequester(vm, title, pattern, mode, drawer, file, &result);
    ResetInputAfterRequester();
    if (r) return r;
    const char *name = result.names.data();
    if (mode != kFileRequestMultiple) {
        PushText(vm, result.ok && result.count > 0 ? JoinDrawer(result.drawer, name) : "");
        return 1;
    }
    NewTable(vm);
    int32_t index = 0;
    for (; result.ok && index < result.count; index++) {
        PushText(vm, JoinDrawer(result.drawer, name));
        RawSetIndex(vm, -2, index);
        name += std::char_traits<char>::length(name) + 1;
    }
    PushString(vm, "");
    RawSetIndex(vm, -2, index);
    return 1;
}

int CmdPathRequest(VMState *vm) {
    CheckArgs(vm, 1, 3);
    const char *title = CheckStringArg(vm, 1);
    int32_t mode = OptInt32Arg(vm, 2, 0);
    const char *drawer = OptStringArg(vm, 3, "");
    if (mode != 0 && mode != kFileRequestSave) return kErrWrongUsage;
    std::string path;
    int r = ShowPathRequester(vm, title, mode, drawer, &path);
    ResetInputAfterRequester();
    if (r) return r;
    PushText(vm, path);
    return 1;
}

int CmdStringRequest(VMState *vm) {
    CheckArgs(vm, 2, 6);
    const char *title = CheckStringArg(vm, 1);
    const char *text = CheckStringArg(vm, 2);
    const char *defaultText = OptStringArg(vm, 3, "");
    int32_t kind = OptInt32Arg(vm, 4, 0);
    int32_t maxLength = OptInt32Arg(vm, 5, 0);
    int32_t password = OptInt32Arg(vm, 6, 0);
    if (kind > 0 && kind != 3) return kErrWrongUsage;
    char answer[kRequesterAnswerSize] = {};
    int r = ShowStringRequester(vm, title, text, defaultText, kind, maxLength, password, answer);
    if (r != 0 && r != kErrUserAbort) return r;
    PushString(vm, answer);
    PushNumber(vm, r == 0 ? 1 : 0);
    return 2;
}

int CmdSystemRequest(VMState *vm) {
    CheckArgs(vm, 3, 4);
    const char *title = CheckStringArg(vm, 1);
    const char *text = CheckStringArg(vm, 2);
    const char *buttons = CheckStringArg(vm, 3);
    int32_t icon = OptInt32Arg(vm, 4, kRequesterIconNone);
    int button = ShowSystemRequester(vm, title, text, buttons, icon);
    ResetInputAfterRequester();
    if (button < 0) return kErrOutOfMemory;
    PushNumber(vm, button);
    return 1;
}
