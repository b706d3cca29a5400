// Decoder kind 4: MPEG audio through libmpg123, as music and as a sample; every other format through libsndfile,
// as a sample only. Both read the file through VirtualFile, so files linked into the applet need no copy.
#include <mpg123.h>
#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "host/os/lazy_library.h"
#include "host/virtual_file.h"
#include "media/sound/sound_stream.h"
#include "runtime/app/errors.h"

struct SoundDecoderHandle {
    VirtualFile *file = nullptr;
    mpg123_handle *mpeg = nullptr;
    int64_t firstFrame = 0;   // where the MPEG frames start in the file
    std::vector<uint8_t> pcm; // sample mode: the whole sound, decoded at open
    std::string formatName;
};

namespace {

// Bytes of non-MPEG data inside a stream before the decoder gives up; the first frame is looked for as far in.
constexpr long kMpegResyncLimit = 4096;
constexpr int kMpegErrorsInARow = 100; // decode errors skipped before a read ends the stream
// Decoded samples may be far larger than their compressed file; this bounds what one sample may take.
constexpr uint64_t kMaxDecodedSampleBytes = uint64_t(256) << 20;
constexpr sf_count_t kDecodeBlockFrames = 4096;

// Both libraries (and the codec libraries behind libsndfile) are opened at the first sound that needs them, so
// an applet without sounds does not map them. Without them such sounds count as unknown formats.
#define VL_MPG123_FUNCTIONS(X)                                                                                 \
    X(mpg123_close) X(mpg123_delete) X(mpg123_format) X(mpg123_format_none) X(mpg123_getformat) X(mpg123_info) \
    X(mpg123_init) X(mpg123_length) X(mpg123_new) X(mpg123_open_handle) X(mpg123_param) X(mpg123_rates)        \
    X(mpg123_read) X(mpg123_replace_reader_handle) X(mpg123_seek) X(mpg123_spf) X(mpg123_tell)
VL_LAZY_LIBRARY_TABLE(MpegFunctions, VL_MPG123_FUNCTIONS);
#define VL_SNDFILE_FUNCTIONS(X)                                                                                \
    X(sf_close) X(sf_command) X(sf_open_virtual) X(sf_readf_short)
VL_LAZY_LIBRARY_TABLE(SndfileFunctions, VL_SNDFILE_FUNCTIONS);

// Loaded and initialised once; null when missing. Non-null once a decoder of its kind exists.
const MpegFunctions *Mpeg() {
    static const MpegFunctions *table = [] {
        const MpegFunctions *loaded = LoadLazyLibrary<MpegFunctions>({"libmpg123.so.0"}, "libmpg123 is not available for MPEG music");
        if (loaded && loaded->mpg123_init() != MPG123_OK) return static_cast<const MpegFunctions *>(nullptr);
        return loaded;
    }();
    return table;
}

const SndfileFunctions *Sndfile() {
    return LoadLazyLibrary<SndfileFunctions>({"libsndfile.so.1"}, "libsndfile is not available for samples");
}

// ---- MPEG audio sniffing ---------------------------------------------------------------------------------------

constexpr int kMpegFramesInARow = 4; // frame headers that must follow one another for a file to be MPEG audio

// The byte length of the frame an MPEG audio header starts, or 0 when the word is no header or a free-format one
// (whose length no header gives).
int MpegFrameLength(uint32_t header) {
    if ((header & 0xFFE00000u) != 0xFFE00000u) return 0;
    const int version = (header >> 19) & 3, layer = (header >> 17) & 3, bitIndex = (header >> 12) & 15,
              rateIndex = (header >> 10) & 3, padding = (header >> 9) & 1;
    if (version == 1 || layer == 0 || bitIndex == 0 || bitIndex == 15 || rateIndex == 3) return 0;
    // kbit/s: MPEG-1 layers I, II and III, then MPEG-2 and 2.5 layer I, and their layers II and III.
    static const uint16_t kBitRates[5][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
    static const int kRates[3] = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    const int bitRate = 1000 * kBitRates[mpeg1 ? 3 - layer : layer == 3 ? 3 : 4][bitIndex];
    const int rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    if (layer == 3) return (12 * bitRate / rate + padding) * 4;
    return (layer == 1 && !mpeg1 ? 72 : 144) * bitRate / rate + padding;
}

enum class MpegStart { kNone, kBroken, kFrames };

struct MpegScan {
    MpegStart kind = MpegStart::kNone;
    int64_t first = 0; // kFrames: the offset of the first frame
};

// Pictures and sounds of other formats the player reads: a file that starts with one of their signatures is never
// MPEG audio, whatever frames follow its header.
bool StartsAsOtherFormat(const uint8_t (&b)[16]) {
    using namespace std::string_view_literals;
    static constexpr std::string_view kSignatures[] = {
        "GIF8"sv, "\x89PNG"sv, "\xFF\xD8\xFF"sv, "II*\0"sv, "MM\0*"sv, "qoif"sv, "FORM"sv, "RIFF"sv, "RIFX"sv,
        "RF64"sv, "riff"sv, "OggS"sv, "fLaC"sv, ".snd"sv, "caff"sv, "Creative Voice"sv, "gimp xcf"sv, "8BPS"sv};
    for (std::string_view signature : kSignatures)
        if (std::memcmp(b, signature.data(), signature.size()) == 0) return true;
    const bool bmp = b[0] == 'B' && b[1] == 'M' && (b[6] | b[7] | b[8] | b[9]) == 0; // its reserved words are zero
    const bool pcx = b[0] == 0x0A && b[1] <= 5 && b[2] == 1;                        // version, run-length coding
    const bool pnm = b[0] == 'P' && b[1] >= '1' && b[1] <= '7' && std::isspace(b[2]);
    return bmp || pcx || pnm || std::memcmp(b + 4, "ftyp", 4) == 0;
}

// How many frames follow one another from `at`, where the frames' lengths put them, with the same version, layer
// and rate as the first, up to `wanted`; *ends is set when the run stops at the end of the file or at an ID3v1 or
// APE tag after at least one whole frame.
int MpegFramesFrom(VirtualFile *file, int64_t at, int64_t size, int wanted, bool *ends) {
    uint8_t b[8];
    const auto readAt = [&](int64_t from, size_t count) { return ReadSoundBytes(file, from, b, count) == count; };
    *ends = false;
    uint32_t first = 0;
    for (int frames = 0; frames < wanted; frames++) {
        if (size - at < 4) { // the end, or a stray byte
            *ends = frames > 0;
            return frames;
        }
        if (!readAt(at, 4)) return frames;
        const uint32_t header = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
        if (frames == 0) first = header;
        const int length = MpegFrameLength(header);
        if (!length || ((header ^ first) & 0xFFFE0C00u) != 0) {
            *ends = frames > 0 && (std::memcmp(b, "TAG", 3) == 0 || (readAt(at, 8) && std::memcmp(b, "APETAGEX", 8) == 0));
            return frames;
        }
        if (at + length > size) { // a cut last frame
            *ends = frames > 0;
            return frames;
        }
        at += length;
    }
    return wanted;
}

// Where a file's MPEG audio starts. ID3v2 tags come first, however many, each with its footer if it has one. Then
// kFrames for a run of frames where the first frame's header starts: right after the tags, several frames in a
// row, or up to the end of the file (or a tag at its end) after one whole frame; further in, as files captured from
// the middle of a stream or with padding after their tag are, only a full run, looked for as far as the decoder
// itself resyncs inside a stream. libmpg123 alone takes a stray header deep inside any file as the start of a
// stream. Without a run: kBroken when a frame header follows the tags, kNone otherwise.
MpegScan FindMpegStart(VirtualFile *file) {
    const int64_t size = VirtualFileLength(file);
    uint8_t b[16];
    const auto readAt = [&](int64_t at, size_t count) { return ReadSoundBytes(file, at, b, count) == count; };
    readAt(0, sizeof b); // a shorter file is judged on what it holds, the rest zero
    const bool other = StartsAsOtherFormat(b);
    int64_t at = 0;
    while (size - at >= 10 && readAt(at, 10) && std::memcmp(b, "ID3", 3) == 0 && b[3] != 0xFF && b[4] != 0xFF &&
           ((b[6] | b[7] | b[8] | b[9]) & 0x80) == 0)
        at += 10 + (int64_t(b[6]) << 21 | int64_t(b[7]) << 14 | int64_t(b[8]) << 7 | b[9]) + (b[5] & 0x10 ? 10 : 0);
    // libsndfile skips tags its own way (size bytes masked, no footer) and then takes a frame header for MPEG audio,
    // whose decoder warns on standard error: such a file is kBroken too, so that it never reaches libsndfile.
    int64_t tagsAsLibsndfile = 0;
    while (size - tagsAsLibsndfile >= 10 && readAt(tagsAsLibsndfile, 10) && std::memcmp(b, "ID3", 3) == 0) {
        const int64_t next = tagsAsLibsndfile + 10 +
                             ((b[6] & 127) << 21 | (b[7] & 127) << 14 | (b[8] & 127) << 7 | (b[9] & 127));
        if (next >= size) break;
        tagsAsLibsndfile = next;
    }
    const auto headerAt = [&](int64_t from) { return readAt(from, 2) && (b[0] << 8 | b[1]) >= 0xFFE0; };
    const MpegScan none = {headerAt(at) || headerAt(tagsAsLibsndfile) ? MpegStart::kBroken : MpegStart::kNone, 0};
    if (other) return none;
    bool ends = false;
    const int run = MpegFramesFrom(file, at, size, kMpegFramesInARow, &ends);
    if (run == kMpegFramesInARow || ends) return {MpegStart::kFrames, at};
    // Other bytes before the first frame: every place a header could start, up to the limit, for a full run from it.
    std::vector<uint8_t> window(size_t(std::clamp<int64_t>(size - at, 0, kMpegResyncLimit + 4)));
    if (window.size() < 4 || ReadSoundBytes(file, at, window.data(), window.size()) != window.size()) return none;
    for (size_t i = 1; i + 4 <= window.size(); i++) {
        const uint32_t word = uint32_t(window[i]) << 24 | uint32_t(window[i + 1]) << 16 | uint32_t(window[i + 2]) << 8 | window[i + 3];
        if (MpegFrameLength(word) && MpegFramesFrom(file, at + int64_t(i), size, kMpegFramesInARow, &ends) == kMpegFramesInARow)
            return {MpegStart::kFrames, at + int64_t(i)};
    }
    return none;
}

// ---- libmpg123 ------------------------------------------------------------------------------------------------

// libmpg123 sees the file from its first frame on, so it starts where the frames were found, never on a header
// among the bytes before them.
mpg123_ssize_t MpegRead(void *handle, void *buffer, size_t count) {
    int64_t n = ReadVirtualFile(static_cast<SoundDecoderHandle *>(handle)->file, buffer, count);
    return n < 0 ? -1 : mpg123_ssize_t(n);
}

off_t MpegSeek(void *handle, off_t offset, int whence) {
    const auto *h = static_cast<SoundDecoderHandle *>(handle);
    const int64_t from = whence == SEEK_SET ? h->firstFrame
                         : whence == SEEK_END ? VirtualFileLength(h->file)
                                              : SeekVirtualFile(h->file, 0, kSeekFromCurrent);
    const int64_t at = from + offset;
    if (from < 0 || at < h->firstFrame || SeekVirtualFile(h->file, at, kSeekFromStart) < 0) return -1;
    return off_t(at - h->firstFrame);
}

// Opens libmpg123 on the frames FindMpegStart found, for music and samples alike.
int OpenMpegDecoder(SoundDecoderHandle *h, SoundStream *stream, int64_t firstFrame, int refused) {
    const MpegFunctions *mpg = Mpeg();
    if (!mpg || SeekVirtualFile(h->file, firstFrame, kSeekFromStart) < 0) return refused;
    h->firstFrame = firstFrame;
    h->mpeg = mpg->mpg123_new(nullptr, nullptr);
    if (!h->mpeg) return kErrOutOfMemory;
    mpg->mpg123_param(h->mpeg, MPG123_RESYNC_LIMIT, kMpegResyncLimit, 0);
    // The frames were checked: no read-ahead, which would refuse a file of one frame.
    mpg->mpg123_param(h->mpeg, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_NO_READAHEAD, 0);
    mpg->mpg123_format_none(h->mpeg);
    const long *rates = nullptr;
    size_t rateCount = 0;
    mpg->mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; i++) mpg->mpg123_format(h->mpeg, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_frameinfo info{};
    if (mpg->mpg123_replace_reader_handle(h->mpeg, MpegRead, MpegSeek, nullptr) != MPG123_OK ||
        mpg->mpg123_open_handle(h->mpeg, h) != MPG123_OK ||
        mpg->mpg123_getformat(h->mpeg, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        (channels != 1 && channels != 2) || mpg->mpg123_info(h->mpeg, &info) != MPG123_OK)
        return refused;
    stream->frequency = uint32_t(rate);
    stream->channels = uint32_t(channels);
    stream->bits = 16;
    stream->frameBytes = stream->channels * 2;
    stream->blockBytes = stream->frameBytes;
    off_t length = mpg->mpg123_length(h->mpeg);
    stream->frameCount = length > 0 ? uint64_t(length) : 0;
    stream->chunkLength = stream->frameCount * stream->frameBytes;
    int spf = mpg->mpg123_spf(h->mpeg);
    stream->ready = spf > 0 ? uint32_t(spf) : (info.layer == 1 ? 384 : 1152);
    stream->bitRate = info.bitrate;
    h->formatName = "MPEG Audio";
    return 0;
}

// Decodes up to `want` bytes into out: fewer only at the end of the stream or after too many errors in a row.
size_t DecodeMpeg(SoundDecoderHandle *h, uint8_t *out, size_t want) {
    size_t have = 0;
    int errors = 0;
    while (have < want) {
        size_t done = 0;
        int result = Mpeg()->mpg123_read(h->mpeg, out + have, want - have, &done);
        have += done;
        if (result == MPG123_OK || result == MPG123_NEW_FORMAT) {
            errors = 0;
            if (done == 0 && result == MPG123_OK) break; // decoded nothing before the end: the stream is over
            continue;
        }
        if (result == MPG123_DONE || ++errors >= kMpegErrorsInARow) break;
    }
    return have;
}

uint64_t ReadMpegMusic(SoundDecoderHandle *h, SoundStream *stream, uint8_t *out, uint64_t frames, int *endFlag) {
    if (stream->frameCount && frames > stream->frameCount - std::min(stream->position, stream->frameCount) && endFlag)
        *endFlag = 1;
    const size_t want = size_t(frames * stream->frameBytes);
    uint64_t delivered = DecodeMpeg(h, out, want) / stream->frameBytes;
    // The rest of the buffer is silence, never the previous buffer's samples.
    std::memset(out + delivered * stream->frameBytes, 0, want - size_t(delivered * stream->frameBytes));
    if (delivered < frames && endFlag) *endFlag = 1;
    return CountFramesRead(stream, delivered);
}

// A sample decodes whole at open, through the same decoder as music, which is then let go.
int DecodeMpegSample(SoundDecoderHandle *h, SoundStream *stream) {
    int error = 0;
    try {
        std::vector<uint8_t> block(size_t(kDecodeBlockFrames) * stream->frameBytes);
        for (size_t got = block.size(); got == block.size();) {
            got = DecodeMpeg(h, block.data(), block.size());
            got -= got % stream->frameBytes;
            if (h->pcm.size() + got > kMaxDecodedSampleBytes) {
                error = kErrOutOfMemory;
                break;
            }
            h->pcm.insert(h->pcm.end(), block.begin(), block.begin() + long(got));
        }
    } catch (const std::bad_alloc &) {
        error = kErrOutOfMemory;
    }
    Mpeg()->mpg123_close(h->mpeg);
    Mpeg()->mpg123_delete(h->mpeg);
    h->mpeg = nullptr;
    stream->frameCount = h->pcm.size() / stream->frameBytes;
    stream->chunkLength = stream->frameCount * stream->frameBytes;
    stream->ready = 1;
    if (!error && stream->frameCount == 0) error = kErrSampleUnknownFormat;
    return error;
}

// ---- libsndfile -----------------------------------------------------------------------------------------------

sf_count_t VioLength(void *user) { return VirtualFileLength(static_cast<VirtualFile *>(user)); }
sf_count_t VioSeek(sf_count_t offset, int whence, void *user) {
    auto *file = static_cast<VirtualFile *>(user);
    int mode = whence == SEEK_SET ? kSeekFromStart : whence == SEEK_END ? kSeekFromEnd : kSeekFromCurrent;
    if (SeekVirtualFile(file, offset, mode) < 0) return -1;
    return SeekVirtualFile(file, 0, kSeekFromCurrent);
}
sf_count_t VioRead(void *buffer, sf_count_t count, void *user) {
    int64_t n = ReadVirtualFile(static_cast<VirtualFile *>(user), buffer, size_t(count));
    return n < 0 ? 0 : n;
}
sf_count_t VioWrite(const void *, sf_count_t, void *) { return 0; }
sf_count_t VioTell(void *user) { return SeekVirtualFile(static_cast<VirtualFile *>(user), 0, kSeekFromCurrent); }

int BitsOfSubtype(int subtype) {
    switch (subtype) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return 8;
    case SF_FORMAT_PCM_24: return 24;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT: return 32;
    case SF_FORMAT_DOUBLE: return 64;
    default: return 16; // PCM_16 and every compressed subtype decode to 16 bits
    }
}

// Every other format through libsndfile, which is never given a file that looks like MPEG audio: what is MPEG audio
// is FindMpegStart's to say, for samples as for music.
int OpenSampleFile(SoundDecoderHandle *h, SoundStream *stream) {
    const SndfileFunctions *sf = Sndfile();
    if (!sf) return kErrSampleUnknownFormat;
    SF_VIRTUAL_IO io{VioLength, VioSeek, VioRead, VioWrite, VioTell};
    SF_INFO info{};
    SNDFILE *sound = sf->sf_open_virtual(&io, SFM_READ, &info, h->file);
    if (!sound) return kErrSampleUnknownFormat;
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
        sf->sf_close(sound);
        return kErrSampleUnknownFormat;
    }
    int error = kErrSampleUnknownFormat;
    SF_FORMAT_INFO format{};
    format.format = info.format & SF_FORMAT_TYPEMASK;
    if (sf->sf_command(sound, SFC_GET_FORMAT_INFO, &format, sizeof format) == 0 && format.name) h->formatName = format.name;
    int bits = BitsOfSubtype(info.format & SF_FORMAT_SUBMASK);
    // More than two channels are refused: there is no down-mix.
    if (info.samplerate > 0 && (info.channels == 1 || info.channels == 2) && info.frames > 0) {
        stream->frequency = uint32_t(info.samplerate);
        stream->channels = uint32_t(info.channels);
        stream->bits = uint32_t(bits);
        stream->frameBytes = stream->channels * stream->bits / 8;
        stream->blockBytes = stream->frameBytes;
        stream->ready = 1;
        if (bits > 16) {
            // Not decoded: the caller refuses the width (kErrSampleBits) from these fields alone.
            stream->frameCount = uint64_t(info.frames);
            error = 0;
        } else {
            error = 0;
            std::vector<short> block(size_t(kDecodeBlockFrames) * info.channels);
            uint64_t frames = 0;
            try {
                for (;;) {
                    sf_count_t n = sf->sf_readf_short(sound, block.data(), kDecodeBlockFrames);
                    if (n <= 0) break;
                    size_t samples = size_t(n) * info.channels;
                    if ((frames + uint64_t(n)) * stream->frameBytes > kMaxDecodedSampleBytes) {
                        error = kErrOutOfMemory;
                        break;
                    }
                    size_t at = h->pcm.size();
                    h->pcm.resize(at + samples * (bits / 8));
                    if (bits == 8) {
                        for (size_t i = 0; i < samples; i++) h->pcm[at + i] = uint8_t(block[i] >> 8);
                    } else {
                        std::memcpy(h->pcm.data() + at, block.data(), samples * 2);
                    }
                    frames += uint64_t(n);
                }
            } catch (const std::bad_alloc &) {
                error = kErrOutOfMemory;
            }
            stream->frameCount = frames;
            if (!error && frames == 0) error = kErrSampleUnknownFormat;
        }
        stream->chunkLength = stream->frameCount * stream->frameBytes;
    }
    sf->sf_close(sound);
    return error;
}

} // namespace

int OpenMpegStream(const char *name, SoundStream *stream) {
    int refused = stream->openMode == kOpenAsMusic ? kErrUnknownMusicFormat : kErrSampleUnknownFormat;
    auto *h = new (std::nothrow) SoundDecoderHandle;
    if (!h) return kErrOutOfMemory;
    stream->decoderHandle = h;
    h->file = OpenVirtualFile(name, kVirtualFileRead);
    int error = refused;
    if (h->file) {
        const MpegScan scan = FindMpegStart(h->file);
        if (scan.kind == MpegStart::kFrames) {
            error = OpenMpegDecoder(h, stream, scan.first, refused);
            if (!error && stream->openMode != kOpenAsMusic) error = DecodeMpegSample(h, stream);
        } else if (scan.kind == MpegStart::kNone && stream->openMode != kOpenAsMusic &&
                   SeekVirtualFile(h->file, 0, kSeekFromStart) >= 0) {
            error = OpenSampleFile(h, stream);
        }
    }
    if (error) {
        SetErrorArgString(name);
        CloseMpegStream(stream);
    }
    return error;
}

uint64_t ReadMpegStream(SoundStream *stream, void *buffer, uint64_t frames, int *endFlag) {
    SoundDecoderHandle *h = stream->decoderHandle;
    if (!h || stream->frameBytes == 0) return 0;
    auto *out = static_cast<uint8_t *>(buffer);
    if (h->mpeg) return ReadMpegMusic(h, stream, out, frames, endFlag);
    // Sample mode: copy from the decoded sound, bounded by what it holds.
    frames = ClampReadToEnd(stream, frames, endFlag);
    uint64_t held = h->pcm.size() / stream->frameBytes; // nothing for the widths that are not decoded
    frames = std::min(frames, held - std::min(stream->position, held));
    if (frames) std::memcpy(out, h->pcm.data() + stream->position * stream->frameBytes, size_t(frames * stream->frameBytes));
    return CountFramesRead(stream, frames);
}

void SeekMpegStream(SoundStream *stream, uint64_t frame) {
    SoundDecoderHandle *h = stream->decoderHandle;
    if (!h) return;
    if (h->mpeg) {
        off_t at = Mpeg()->mpg123_seek(h->mpeg, off_t(frame), SEEK_SET);
        if (at >= 0) stream->position = uint64_t(at);
    } else if (frame < stream->frameCount) {
        stream->position = frame;
    }
}

void CloseMpegStream(SoundStream *stream) {
    SoundDecoderHandle *h = stream->decoderHandle;
    if (!h) return;
    if (h->mpeg) {
        Mpeg()->mpg123_close(h->mpeg);
        Mpeg()->mpg123_delete(h->mpeg);
    }
    CloseVirtualFile(h->file);
    delete h;
    stream->decoderHandle = nullptr;
}

const char *GetMpegFormatName(const SoundStream *stream) {
    const SoundDecoderHandle *h = stream->decoderHandle;
    return h && !h->formatName.empty() ? h->formatName.c_str() : "MPEG Audio";
}

int64_t GetMpegPosition(SoundStream *stream) {
    SoundDecoderHandle *h = stream->decoderHandle;
    if (!h || !h->mpeg || stream->frequency == 0) return 0;
    off_t at = Mpeg()->mpg123_tell(h->mpeg);
    return at < 0 ? 0 : int64_t(double(at) / stream->frequency * 1000.0);
}

int32_t GetMpegBitRate(SoundStream *stream) {
    SoundDecoderHandle *h = stream->decoderHandle;
    mpg123_frameinfo info{};
    if (!h || !h->mpeg || Mpeg()->mpg123_info(h->mpeg, &info) != MPG123_OK) return stream->bitRate;
    return info.bitrate;
}
