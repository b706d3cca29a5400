#include "host/rexx_frames.h"

#include <algorithm>

namespace {

constexpr uint32_t kKnownActionBits = kRexxCommand | kRexxResultFlag | kRexxStringFlag | kRexxNoReturnFlag;

void PutWord(std::string &out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(char((value >> shift) & 0xFF));
}

uint32_t Word(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

} // namespace

std::string EncodeRexxRequest(uint32_t action, std::string_view command) {
    std::string out;
    out.reserve(8 + command.size());
    PutWord(out, action);
    PutWord(out, uint32_t(command.size()));
    out.append(command);
    return out;
}

std::string EncodeRexxReply(int32_t rc, int32_t secondary, std::string_view result) {
    std::string out;
    out.reserve(12 + result.size());
    PutWord(out, uint32_t(rc));
    PutWord(out, uint32_t(secondary));
    PutWord(out, uint32_t(result.size()));
    out.append(result);
    return out;
}

size_t RexxFrameReader::Feed(const uint8_t *data, size_t size) {
    size_t used = 0;
    if (status != kNeedMore) return 0;
    if (headerFill < HeaderSize()) {
        size_t take = std::min(size, HeaderSize() - headerFill);
        std::copy(data, data + take, header + headerFill);
        headerFill += take;
        used = take;
        if (headerFill < HeaderSize()) return used;
        if (kind == kRequest) {
            action = Word(header);
            length = Word(header + 4);
            // Random bytes almost never pass this: the top byte must be RXCOMM and no unknown flag may be set.
            if ((action & 0xFF000000) != kRexxCommand || (action & ~kKnownActionBits)) status = kBad;
        } else {
            rc = int32_t(Word(header));
            secondary = int32_t(Word(header + 4));
            length = Word(header + 8);
        }
        if (length > kRexxMaxFrameBytes) status = kBad;
        if (status == kBad) return used;
        body.reserve(length);
    }
    size_t take = std::min(size - used, size_t(length) - body.size());
    body.append(reinterpret_cast<const char *>(data + used), take);
    used += take;
    if (body.size() == length) status = kComplete;
    return used;
}
