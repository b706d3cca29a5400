#include "libs/arexx/arexx_library.h"

#include <cstdio>
#include <string>

#include "host/debug_output.h"
#include "host/rexx_frames.h"
#include "host/rexx_port.h"
#include "host/tasks.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"
#include "scene/events/dispatch.h"
#include "scene/events/event_state.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kArexxReference;

// A request taken from the program's port, owned by the event dispatch until it is replied.
struct RexxMessage {
    RexxRequest request;
};

namespace {

constexpr size_t kMaxPortNameBytes = 127;
// Debug text must not hold up the script when the port's owner is slow.
constexpr int kDebugSendTimeoutMs = 100;

bool PortCreated = false;
int ReplySignalBit = -1;

RexxMessage *NextRexxMessage() {
    RexxRequest request;
    if (!TakeRexxRequest(&request)) return nullptr;
    return new RexxMessage{std::move(request)};
}

std::string_view GetRexxCommandString(RexxMessage *message) { return message->request.command; }

void ReplyRexxMessage(RexxMessage *message, std::string_view result) {
    ReplyRexxRequest(message->request, 0, 0, result);
    delete message;
}

int SendDebugText(const char *port, const char *text, size_t length) {
    if (length && text[length - 1] == '\n') length--; // a command is one line; its end is the frame's
    return SendRexxNoReply(port, std::string_view(text, length), kDebugSendTimeoutMs);
}

// Sends command to port and waits for the reply, serving the program's own port meanwhile; pushes the result
// string. The first callback error is kept and returned once the reply is in; later messages are answered
// without calling the script.
int SendRexxMessage(VMState *vm, const std::string &port, const std::string &command, bool stringFlag) {
    if (ReplySignalBit < 0 && (ReplySignalBit = AllocSignalBit()) < 0) return kErrMessagePort;
    uint32_t action = kRexxCommand | kRexxResultFlag | (stringFlag ? kRexxStringFlag : 0);
    uint64_t send = 0;
    if (int error = StartRexxSend(port, action, command, 1u << ReplySignalBit, &send)) {
        if (error != kErrPortNotFound) return error;
        if (port == "REXX") return kErrRexxServer;
        SetErrorArgString(port);
        return error;
    }
    int kept = 0;
    RexxReply reply;
    RexxSendState state;
    while ((state = PollRexxSend(send, &reply)) == kRexxSendPending) {
        WaitSystemSignals(vm, 1u << ReplySignalBit);
        if (PortCreated) {
            int top = GetTop(vm);
            CallbackRequest request;
            int error = DispatchARexxEvents(vm, kept == 0, 0, &request);
            SetTop(vm, top);
            if (error && !kept) kept = error;
        }
        if ((state = PollRexxSend(send, &reply)) != kRexxSendPending) break;
        if (PumpEvents(vm) || QuitRequested.load()) {
            CancelRexxSend(send);
            return kErrUserAbort;
        }
    }
    if (kept) return kept;
    if (state == kRexxSendLost) {
        SetErrorArgString(port);
        return kErrPortNotFound;
    }
    if (reply.rc != 0) {
        char codes[32];
        std::snprintf(codes, sizeof codes, "%d/%d", int(reply.rc), int(reply.secondary));
        SetErrorArgString(codes);
        return kErrRexxFailed;
    }
    PushStringLen(vm, reply.result.data(), reply.result.size());
    return 1;
}

void RegisterArexxLibrary(VMState *vm) {
    RegisterCommands(vm, kArexxCommands);
    RegisterCommandLibrary(kArexxCommands, "arexx", &kArexxReference);
    NextRexxMessageHook = NextRexxMessage;
    GetRexxCommandStringHook = GetRexxCommandString;
    ReplyRexxMessageHook = ReplyRexxMessage;
    SetDebugRexxSender(SendDebugText);
}

} // namespace

int CmdCreateRexxPort(VMState *vm) {
    CheckArgs(vm, 1, 1);
    size_t length = 0;
    const char *name = CheckStringArg(vm, 1, &length);
    if (length == 0 || length > kMaxPortNameBytes || PortCreated) return kErrWrongUsage;
    int error = OpenRexxPort(std::string_view(name, length));
    if (error == kErrPortExists) SetErrorArgString(std::string_view(name, length));
    if (error) return error;
    PortCreated = true;
    return 0;
}

int CmdSendRexxCommand(VMState *vm) {
    CheckArgs(vm, 2, 2);
    size_t portLength = 0, commandLength = 0;
    const char *port = CheckStringArg(vm, 1, &portLength);
    const char *command = CheckStringArg(vm, 2, &commandLength);
    return SendRexxMessage(vm, std::string(port, portLength), std::string(command, commandLength), true);
}

int CmdRunRexxScript(VMState *vm) {
    CheckArgs(vm, 1, 2);
    size_t length = 0;
    const char *script = CheckStringArg(vm, 1, &length);
    bool stringFlag = OptNumberArg(vm, 2, 0) != 0;
    return SendRexxMessage(vm, "REXX", std::string(script, length), stringFlag);
}

void CloseRexxPort(VMState *) {
    CloseRexxPorts();
    PortCreated = false;
    if (ReplySignalBit >= 0) FreeSignalBit(ReplySignalBit);
    ReplySignalBit = -1;
}

const CommandEntry kArexxCommands[] = {
    {"CreateRexxPort", CmdCreateRexxPort},
    {"SendRexxCommand", CmdSendRexxCommand},
    {"RunRexxScript", CmdRunRexxScript},
    {nullptr, nullptr},
};

const LibraryDescriptor kArexxLibrary = {"arexx", RegisterArexxLibrary, CloseRexxPort};
