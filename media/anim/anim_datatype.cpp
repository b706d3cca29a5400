// The animation datatype: files our own readers do not take, decoded by FFmpeg (libavformat, libavcodec,
// libswscale) frame by frame into 0x00RRGGBB pictures. The file is read through a VirtualFile, so linked files
// and memory ranges work as everywhere else. Opening demuxes the whole file once to list the frames (display
// time, key frame); reading frame n decodes onward, or seeks to the last key frame at or before n first.
//
// FFmpeg is loaded with dlopen the first time a file reaches the datatype: it costs more start-up time and memory
// than the rest of the player, and most applets never use it. The sonames come from the headers' major versions,
// so the structures this file reads match the loaded libraries.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/memory.h"
#include "host/os/lazy_library.h"
#include "host/picture_ilbm.h"
#include "host/virtual_file.h"
#include "media/anim/anim_file.h"

namespace {

constexpr int kIoBufferBytes = 64 * 1024;
// Beyond this many frames the frame list is not kept (16 bytes each); such files are refused.
constexpr size_t kMaxDatatypeFrames = size_t(1) << 22;

struct FrameEntry {
    int64_t pts = 0;
    bool key = false;
};


// Every FFmpeg function used.
#define VL_LIBAV_FUNCTIONS(X)                                                                                  \
    X(av_malloc) X(av_free) X(av_freep) X(av_frame_alloc) X(av_frame_free) X(av_frame_unref)                   \
    X(av_frame_get_buffer) X(av_rescale_q) X(avcodec_receive_frame) X(avcodec_send_packet)                     \
    X(avcodec_alloc_context3) X(avcodec_parameters_to_context) X(avcodec_open2) X(avcodec_flush_buffers)      \
    X(avcodec_free_context) X(av_packet_alloc) X(av_packet_free) X(av_packet_unref) X(av_read_frame)           \
    X(avio_alloc_context) X(avio_context_free) X(avformat_alloc_context) X(avformat_open_input)                \
    X(avformat_find_stream_info) X(av_find_best_stream) X(av_seek_frame) X(avformat_seek_file)                 \
    X(avformat_close_input) X(sws_getCachedContext) X(sws_scale) X(sws_freeContext)

VL_LAZY_LIBRARY_TABLE(LibavTable, VL_LIBAV_FUNCTIONS);

#define VL_SONAME(name, major) "lib" #name ".so." VL_LAZY_STRINGIFY(major)

// The table, loaded once; null when a library or a function is missing.
const LibavTable *Libav() {
    return LoadLazyLibrary<LibavTable>({VL_SONAME(avutil, LIBAVUTIL_VERSION_MAJOR),
                                        VL_SONAME(avcodec, LIBAVCODEC_VERSION_MAJOR),
                                        VL_SONAME(avformat, LIBAVFORMAT_VERSION_MAJOR),
                                        VL_SONAME(swscale, LIBSWSCALE_VERSION_MAJOR)},
                                       "FFmpeg is not available for animations");
}

} // namespace

struct AnimDatatypeReader {
    const LibavTable *av = nullptr;
    VirtualFile *file = nullptr;
    AVIOContext *io = nullptr;
    AVFormatContext *format = nullptr;
    AVCodecContext *codec = nullptr;
    SwsContext *scale = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *frame = nullptr;
    AVFrame *converted = nullptr; // BGR0, padded for swscale
    int stream = -1;
    int32_t width = 0, height = 0;
    std::vector<FrameEntry> frames; // in display order
    std::vector<int32_t> durations;  // milliseconds, 0 until the frame was read
    int32_t nextFrame = -1;          // the frame the decoder gives next; -1 after a seek or at the start
    bool draining = false;

    ~AnimDatatypeReader() {
        if (av) {
            av->sws_freeContext(scale);
            av->av_frame_free(&frame);
            av->av_frame_free(&converted);
            av->av_packet_free(&packet);
            av->avcodec_free_context(&codec);
            av->avformat_close_input(&format);
            if (io) av->av_freep(&io->buffer);
            av->avio_context_free(&io);
        }
        CloseVirtualFile(file);
    }
};

namespace {

int ReadPacket(void *opaque, uint8_t *buffer, int size) {
    const int64_t n = ReadVirtualFile(static_cast<AnimDatatypeReader *>(opaque)->file, buffer, size_t(size));
    return n > 0 ? int(n) : AVERROR_EOF;
}

int64_t SeekPacket(void *opaque, int64_t offset, int whence) {
    VirtualFile *file = static_cast<AnimDatatypeReader *>(opaque)->file;
    if (whence == AVSEEK_SIZE) return VirtualFileLength(file);
    const int mode = (whence & 3) == SEEK_CUR ? kSeekFromCurrent : (whence & 3) == SEEK_END ? kSeekFromEnd : kSeekFromStart;
    if (SeekVirtualFile(file, offset, mode) < 0) return -1;
    return SeekVirtualFile(file, 0, kSeekFromCurrent);
}

// An IFF ANIM's own frame count from a DPAN chunk in its first 2000 header bytes; 0 when there is none (or it
// says 0, which would make an anim without frames).
int32_t DpanFrameCount(VirtualFile *file) {
    uint8_t head[8] = {};
    if (SeekVirtualFile(file, 8, kSeekFromStart) < 0 || ReadVirtualFile(file, head, 8) != 8 ||
        std::memcmp(head, "ANIMFORM", 8) != 0)
        return 0;
    std::vector<uint8_t> scan(2048, 0); // cleared: a short file leaves the rest zero
    ReadVirtualFile(file, scan.data(), scan.size());
    for (size_t i = 0; i < 2000; i++)
        if (std::memcmp(&scan[i], "DPAN", 4) == 0) return int32_t(scan[i + 10]) << 8 | scan[i + 11];
    return 0;
}

// The index of the frame shown at pts (the last one at or before it).
int32_t FrameAt(const AnimDatatypeReader *r, int64_t pts) {
    auto it = std::upper_bound(r->frames.begin(), r->frames.end(), pts,
                               [](int64_t p, const FrameEntry &e) { return p < e.pts; });
    return int32_t(it - r->frames.begin()) - 1;
}

// The next decoded frame into r->frame; false at the end or on an error.
bool DecodeNext(AnimDatatypeReader *r) {
    const LibavTable *av = r->av;
    for (;;) {
        const int got = av->avcodec_receive_frame(r->codec, r->frame);
        if (got == 0) return true;
        if (got != AVERROR(EAGAIN) || r->draining) return false;
        int read;
        while ((read = av->av_read_frame(r->format, r->packet)) >= 0 && r->packet->stream_index != r->stream)
            av->av_packet_unref(r->packet);
        if (read < 0) {
            r->draining = true;
            av->avcodec_send_packet(r->codec, nullptr);
            continue;
        }
        const int sent = av->avcodec_send_packet(r->codec, r->packet);
        av->av_packet_unref(r->packet);
        if (sent < 0 && sent != AVERROR(EAGAIN)) return false;
    }
}

} // namespace

AnimDatatypeReader *OpenAnimDatatype(const char *fileName, int32_t *width, int32_t *height, int32_t *frameCount) {
    const LibavTable *av = Libav();
    if (!av) return nullptr;
    auto r = std::make_unique<AnimDatatypeReader>();
    r->av = av;
    r->file = OpenVirtualFile(fileName, kVirtualFileRead);
    if (!r->file) return nullptr;
    // IFF files other than ANIMs are pictures or sounds: the picture loader takes ILBMs with their masks.
    uint8_t head[12] = {};
    if (ReadVirtualFile(r->file, head, 12) == 12 && std::memcmp(head, "FORM", 4) == 0 &&
        std::memcmp(head + 8, "ANIM", 4) != 0)
        return nullptr;
    const int32_t dpan = DpanFrameCount(r->file);
    SeekVirtualFile(r->file, 0, kSeekFromStart);
    auto *buffer = static_cast<uint8_t *>(av->av_malloc(kIoBufferBytes));
    if (!buffer) return nullptr;
    r->io = av->avio_alloc_context(buffer, kIoBufferBytes, 0, r.get(), ReadPacket, nullptr, SeekPacket);
    r->format = av->avformat_alloc_context();
    if (!r->io || !r->format) {
        if (!r->io) av->av_free(buffer);
        return nullptr;
    }
    r->format->pb = r->io;
    r->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (av->avformat_open_input(&r->format, nullptr, nullptr, nullptr) < 0) return nullptr; // frees the context
    // Still pictures (PNG, JPEG, BMP, ... through the image demuxers) are the picture loader's, with their alpha.
    const std::string demuxer = r->format->iformat->name;
    if (demuxer == "image2" || (demuxer.size() > 5 && demuxer.compare(demuxer.size() - 5, 5, "_pipe") == 0))
        return nullptr;
    if (av->avformat_find_stream_info(r->format, nullptr) < 0) return nullptr;
    const AVCodec *decoder = nullptr;
    r->stream = av->av_find_best_stream(r->format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (r->stream < 0 || !decoder) return nullptr;
    AVStream *stream = r->format->streams[r->stream];
    r->codec = av->avcodec_alloc_context3(decoder);
    if (!r->codec || av->avcodec_parameters_to_context(r->codec, stream->codecpar) < 0 ||
        av->avcodec_open2(r->codec, decoder, nullptr) < 0)
        return nullptr;
    r->width = r->codec->width, r->height = r->codec->height;
    if (r->width <= 0 || r->height <= 0 || int64_t(r->width) * r->height > kMaxIlbmPixels) return nullptr;
    r->packet = av->av_packet_alloc();
    r->frame = av->av_frame_alloc();
    if (!r->packet || !r->frame) return nullptr;
    // The frame list: every packet of the stream, in display order.
    int64_t counter = 0;
    while (av->av_read_frame(r->format, r->packet) >= 0) {
        if (r->packet->stream_index == r->stream) {
            if (r->frames.size() >= kMaxDatatypeFrames) return nullptr;
            const int64_t pts = r->packet->pts != AV_NOPTS_VALUE ? r->packet->pts
                                : r->packet->dts != AV_NOPTS_VALUE ? r->packet->dts
                                                                   : counter;
            r->frames.push_back(FrameEntry{pts, (r->packet->flags & AV_PKT_FLAG_KEY) != 0});
            counter++;
        }
        av->av_packet_unref(r->packet);
    }
    if (r->frames.empty()) return nullptr;
    std::stable_sort(r->frames.begin(), r->frames.end(), [](const FrameEntry &a, const FrameEntry &b) {
        return a.pts < b.pts;
    });
    if (av->av_seek_frame(r->format, r->stream, r->frames[0].pts, AVSEEK_FLAG_BACKWARD) < 0 &&
        av->avformat_seek_file(r->format, r->stream, INT64_MIN, 0, 0, 0) < 0)
        return nullptr;
    av->avcodec_flush_buffers(r->codec);
    // An IFF ANIM's DPAN count holds over what the demuxer counts.
    if (dpan > 0) r->frames.resize(size_t(dpan), r->frames.back());
    r->durations.assign(r->frames.size(), 0);
    r->nextFrame = -1;
    if (width) *width = r->width;
    if (height) *height = r->height;
    if (frameCount) *frameCount = int32_t(r->frames.size());
    return r.release();
}

uint32_t *ReadAnimDatatypeFrame(AnimDatatypeReader *r, int32_t n) {
    if (!r || n < 0 || size_t(n) >= r->frames.size()) return nullptr;
    const LibavTable *av = r->av;
    if (r->nextFrame < 0 || n < r->nextFrame) {
        // Back to the last key frame at or before n.
        int32_t key = n;
        while (key > 0 && !r->frames[size_t(key)].key) key--;
        if (av->av_seek_frame(r->format, r->stream, r->frames[size_t(key)].pts, AVSEEK_FLAG_BACKWARD) < 0) return nullptr;
        av->avcodec_flush_buffers(r->codec);
        r->draining = false;
        r->nextFrame = key;
    }
    int32_t index = -1;
    do {
        if (!DecodeNext(r)) {
            r->nextFrame = -1;
            return nullptr;
        }
        const int64_t pts = r->frame->best_effort_timestamp;
        index = pts == AV_NOPTS_VALUE ? r->nextFrame : FrameAt(r, pts);
        r->nextFrame = index + 1;
    } while (index < n);
    const AVRational base = r->format->streams[r->stream]->time_base;
    r->durations[size_t(n)] = int32_t(av->av_rescale_q(r->frame->pkt_duration, base, AVRational{1, 1000}));
    if (r->frame->width != r->width || r->frame->height != r->height) return nullptr;
    r->scale = av->sws_getCachedContext(r->scale, r->width, r->height, AVPixelFormat(r->frame->format), r->width,
                                    r->height, AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
    if (!r->scale) return nullptr;
    // swscale writes whole SIMD blocks, past a row's end: it gets a padded, aligned picture of its own.
    if (!r->converted) r->converted = av->av_frame_alloc();
    if (!r->converted) return nullptr;
    if (r->converted->width != r->width || r->converted->height != r->height) {
        av->av_frame_unref(r->converted);
        r->converted->format = AV_PIX_FMT_BGR0;
        r->converted->width = r->width, r->converted->height = r->height;
        if (av->av_frame_get_buffer(r->converted, 64) < 0) return nullptr;
    }
    av->sws_scale(r->scale, r->frame->data, r->frame->linesize, 0, r->height, r->converted->data,
              r->converted->linesize);
    auto *out = static_cast<uint32_t *>(AllocBlock(size_t(r->width) * size_t(r->height) * 4, 0));
    if (!out) return nullptr;
    for (int32_t y = 0; y < r->height; y++) {
        const auto *row = reinterpret_cast<const uint32_t *>(r->converted->data[0] + size_t(y) * size_t(r->converted->linesize[0]));
        uint32_t *d = out + size_t(y) * size_t(r->width);
        // BGR0 in memory is 0x00RRGGBB as a little-endian word; the pad byte is not always written as zero.
        for (int32_t x = 0; x < r->width; x++) d[x] = row[x] & 0xFFFFFF;
    }
    return out;
}

int32_t GetAnimDatatypeFrameDelay(AnimDatatypeReader *r, int32_t n) {
    if (!r || n < 0 || size_t(n) >= r->durations.size()) return 0;
    return r->durations[size_t(n)];
}

void CloseAnimDatatype(AnimDatatypeReader *reader) { delete reader; }

bool AnimDatatypeAvailable() { return Libav() != nullptr; }
