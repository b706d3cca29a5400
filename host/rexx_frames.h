// The frames that ARexx ports exchange over their sockets (one request, then at most one reply, per connection).
// Everything is big-endian:
//   request: u32 action, u32 length, the command bytes
//   reply:   i32 return code, i32 secondary code, u32 length, the result bytes
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr uint32_t kRexxCommand = 0x01000000;      // RXCOMM, the only command code a port takes
constexpr uint32_t kRexxResultFlag = 0x00020000;   // the sender wants the result string
constexpr uint32_t kRexxStringFlag = 0x00040000;   // the command is program text
constexpr uint32_t kRexxNoReturnFlag = 0x00100000; // the sender wants no reply at all
// Larger frames close the connection: nothing a script sends or answers comes near it, and it bounds what one
// peer can make us hold.
constexpr uint32_t kRexxMaxFrameBytes = 1u << 20;

std::string EncodeRexxRequest(uint32_t action, std::string_view command);
std::string EncodeRexxReply(int32_t rc, int32_t secondary, std::string_view result);

// Assembles one frame from bytes arriving in pieces of any size.
struct RexxFrameReader {
    enum Kind { kRequest, kReply };
    enum Status { kNeedMore, kComplete, kBad };

    explicit RexxFrameReader(Kind kind) : kind(kind) {}
    // Takes bytes; returns how many it used (bytes after a complete frame are left alone). A bad header (a
    // length over the limit, or a request action that is not a plain command) sets kBad for good.
    size_t Feed(const uint8_t *data, size_t size);

    Kind kind;
    Status status = kNeedMore;
    // Request: action; reply: rc and secondary.
    uint32_t action = 0;
    int32_t rc = 0;
    int32_t secondary = 0;
    std::string body;

private:
    uint8_t header[12] = {};
    size_t headerFill = 0;
    uint32_t length = 0;
    size_t HeaderSize() const { return kind == kRequest ? 8 : 12; }
};
