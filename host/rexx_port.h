// ARexx ports: one Unix-domain socket per port name in a private per-user directory. One I/O thread owns every
// socket, so the main thread never blocks on a peer: requests that arrive at the program's port are queued and
// wake the main task (kSignalEvent); the replies to the program's own sends wake it with the sender's mask.
// The protocol is described in docs/arexx-ports.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/app/errors.h"

// The return code a request still queued at shutdown is answered with: it never ran.
constexpr int32_t kRexxNotServedCode = 20;

// The ports directory, made (mode 0700) when missing: 0, or kErrMessagePort when it cannot be made, is not a
// directory, belongs to another user or is open to group or others.
int RexxPortDirectory(std::string *path);
// A port's socket file name: the name itself when it is 1-64 bytes of A-Za-z0-9._- not starting with ".", else
// "~" and the 16 hex digits of the name's 64-bit FNV-1a hash.
std::string RexxSocketFileName(std::string_view port);

// Opens the program's one public port: 0, kErrMessagePort, or kErrPortExists when a live port has that name. A stale
// socket file (nobody accepts) is replaced.
int OpenRexxPort(std::string_view name);

struct RexxRequest {
    uint64_t connection = 0; // 0 for a no-return request, which needs no reply
    uint32_t action = 0;
    std::string command;
};
// Takes the oldest queued request; false when there is none.
bool TakeRexxRequest(RexxRequest *out);
// Answers a request taken earlier; the result bytes go only when the sender asked for them. Nothing is sent
// for a no-return request.
void ReplyRexxRequest(const RexxRequest &request, int32_t rc, int32_t secondary, std::string_view result);

// Sends a request and returns at once: 0 with *send set, or kErrPortNotFound when no live port has that name (or
// kErrMessagePort when the ports directory is unusable). When the reply arrives, or the peer closes without one, the
// main task gets the signal bits of wakeMask.
int StartRexxSend(std::string_view port, uint32_t action, std::string_view command, uint32_t wakeMask,
                  uint64_t *send);
enum RexxSendState { kRexxSendPending, kRexxSendReplied, kRexxSendLost };
struct RexxReply {
    int32_t rc = 0;
    int32_t secondary = 0;
    std::string result;
};
// The send's state; once replied (the reply is stored in *reply) or lost, the send is forgotten.
RexxSendState PollRexxSend(uint64_t send, RexxReply *reply);
void CancelRexxSend(uint64_t send);

// Sends text as a no-return command without waiting for the I/O thread, giving up after about timeoutMs;
// 0 when the whole frame was written.
int SendRexxNoReply(std::string_view port, std::string_view text, int timeoutMs);

// Shutdown: requests still queued are answered with kRexxNotServedCode (no-return ones dropped), replies in
// flight get a short time to go out, the socket file is removed and the thread joined.
void CloseRexxPorts();
