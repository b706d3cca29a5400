// OpenDML AVI files of Motion-JPEG frames with a silent 16-bit stereo track, written frame by frame.
//
// The file is laid out as: "RIFF AVI " with the header list (avih, an audio and a video stream list each with a
// 16384-byte super index, odml, INFO), a "movi" list of audio and video chunks with a standard index pair before
// each 2044 frames, and the legacy "idx1" of the first segment; "RIFF AVIX" segments follow past the segment
// limits. It is written through the replacing file mode: the target changes only when AviFinish succeeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HostBitmap;
struct VirtualFile;

constexpr int32_t kAviStandardEntries = 2044; // frames per standard index chunk
constexpr int32_t kAviSuperEntries = 1022;    // standard index chunks per stream
constexpr uint32_t kAviIndexChunkBytes = 16384;
constexpr uint32_t kAviSampleRate = 44100;
constexpr uint64_t kAviFirstSegmentLimit = 1000000000, kAviLaterSegmentLimit = 2000000000;

struct AviIndexEntry {
    uint32_t offset = 0, length = 0; // data offset from the segment's "RIFF", padded data length
};
struct AviSuperEntry {
    uint64_t offset = 0; // the standard index chunk's fourcc
    uint32_t size = 0, duration = 0;
};

// Encodes rows of 4-byte pixels as CompressJpeg does (picture_writers.h); replaceable for tests.
using AviJpegEncoder = int (*)(const uint8_t *pixels, int32_t rowBytes, int32_t width, int32_t height,
                               int32_t quality, int swapped, std::vector<uint8_t> *out);

struct AviWriter {
    VirtualFile *file = nullptr;
    VirtualFile *spool = nullptr; // the first segment's legacy index entries, unlinked once open
    int32_t width = 0, height = 0, fps = 0, quality = 90;
    bool smooth = false;
    std::string title, fileName;
    AviJpegEncoder encode = nullptr;
    uint32_t microsPerFrame = 0, samplesPerFrame = 0;
    uint32_t totalFrames = 0, segmentFrames = 0;
    uint64_t totalVideoBytes = 0, segmentVideoBytes = 0, segmentAudioSamples = 0;
    uint32_t largestVideoChunk = 0;
    std::vector<uint8_t> lastJpeg, silence;
    // The open standard indexes' entries (shared count) and the super indexes; while a standard index is open,
    // its super entry's duration holds the frame count at its opening.
    uint32_t standardInUse = 0, segmentPairs = 0, superInUse = 0;
    std::vector<AviIndexEntry> standardAudio, standardVideo;
    std::vector<AviSuperEntry> superAudio, superVideo;
    uint64_t segmentLimit = kAviFirstSegmentLimit, laterSegmentLimit = kAviLaterSegmentLimit;
    uint64_t segmentStart = 0, moviStart = 0, end = 0; // end: the length of the file's valid contents
    bool firstSegment = true;
    bool failed = false; // a write or seek failed: the file can only be discarded
};

// ---- Layout (avi_layout.cpp) ------------------------------------------------------------------------------
// The header list from "LIST" on, with the writer's current values; its length never changes for one title.
void AviWriteHeaders(const AviWriter &writer, std::vector<uint8_t> *out);
// One standard index chunk ("ix00" or "ix01") with all 2044 entries.
void AviWriteStandardIndex(const char *indexId, const char *chunkId, const AviIndexEntry *entries,
                           uint32_t inUse, uint64_t baseOffset, std::vector<uint8_t> *out);
// The padded data length of an INFO text and the header list's size field.
uint32_t AviInfoTextBytes(const std::string &text);
uint32_t AviHeaderListSize(const std::string &title);
void AviPutFourcc(std::vector<uint8_t> *out, const char *fourcc);

// ---- Writer (avi_writer.cpp) ------------------------------------------------------------------------------
// fps 1 to 1,000,000 whose frame time divides the sample rate (25, 30, 60; not 24). 0 and the writer, or
// kErrWrongUsage, kErrOutOfMemory, or kErrCannotWriteFile with the error argument naming the file.
int AviOpen(const char *name, int32_t fps, int32_t width, int32_t height, int32_t quality, bool smooth,
            const char *title, AviWriter **out);
// A frame of any size (scaled to the video size), or with null the last frame again. 0, kErrOutOfMemory,
// kErrCannotWriteFile, kErrCouldNotLockBitmap, the encoder's error, or kErrWrongUsage when the super indexes are full
// or no frame came before. A failure before a write leaves the file as it was; a failed write makes AviFinish discard
// it.
int AviWriteFrame(AviWriter *writer, const HostBitmap *frame, int32_t width, int32_t height);
// Completes indexes and headers and replaces the target; 0, or kErrCannotWriteFile (the target then stays as it was).
// Frees the writer.
int AviFinish(AviWriter *writer);
// Drops the file (the target stays as it was) and frees the writer.
void AviFree(AviWriter *writer);
