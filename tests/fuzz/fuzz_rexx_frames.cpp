// The ARexx frame reader on request and reply frames arriving in random pieces. The first byte picks the kind,
// each piece's size comes from the byte before it. A whole frame must survive encoding and reading again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "host/rexx_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    RexxFrameReader reader(data[0] & 1 ? RexxFrameReader::kReply : RexxFrameReader::kRequest);
    size_t at = 1;
    while (at < size && reader.status == RexxFrameReader::kNeedMore) {
        size_t piece = data[at++] % 16 + 1;
        if (piece > size - at) piece = size - at;
        size_t used = reader.Feed(data + at, piece);
        if (used > piece) std::abort();
        at += piece;
    }
    if (reader.status != RexxFrameReader::kComplete) return 0;
    if (reader.body.size() > kRexxMaxFrameBytes) std::abort();
    std::string again = reader.kind == RexxFrameReader::kRequest
                            ? EncodeRexxRequest(reader.action, reader.body)
                            : EncodeRexxReply(reader.rc, reader.secondary, reader.body);
    RexxFrameReader check(reader.kind);
    if (check.Feed(reinterpret_cast<const uint8_t *>(again.data()), again.size()) != again.size() ||
        check.status != RexxFrameReader::kComplete || check.body != reader.body || check.action != reader.action ||
        check.rc != reader.rc || check.secondary != reader.secondary)
        std::abort();
    return 0;
}
