#include "media/codecs/avi_writer.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "host/bitmap.h"
#include "host/bitmap_convert.h"
#include "host/memory.h"
#include "host/path.h"
#include "host/virtual_file.h"
#include "imaging/image_ops.h"
#include "media/codecs/picture_writers.h"
#include "runtime/app/errors.h"
#include "runtime/vm/bounded_reader.h"

namespace {

constexpr uint32_t kLegacyEntryBytes = 32;   // an audio and a video entry per frame

bool WriteAt(AviWriter *w, uint64_t at, const void *bytes, size_t count) {
    if (w->failed) return false;
    if (SeekVirtualFile(w->file, int64_t(at), kSeekFromStart) < 0 ||
        WriteVirtualFile(w->file, bytes, count) != int64_t(count))
        w->failed = true;
    return !w->failed;
}

bool Append(AviWriter *w, const std::vector<uint8_t> &bytes) {
    if (!WriteAt(w, w->end, bytes.data(), bytes.size())) return false;
    w->end += bytes.size();
    return true;
}

bool PatchU32(AviWriter *w, uint64_t at, uint32_t value) {
    std::vector<uint8_t> bytes;
    ByteWriter(bytes).U32LE(value);
    return WriteAt(w, at, bytes.data(), bytes.size());
}

// Fills the reserved places of the open standard index pair and gives their super entries the frames covered.
bool CloseStandardIndexes(AviWriter *w) {
    if (w->superInUse == 0) return true;
    const size_t last = w->superInUse - 1;
    std::vector<uint8_t> audio, video;
    AviWriteStandardIndex("ix00", "00wb", w->standardAudio.data(), w->standardInUse, w->segmentStart, &audio);
    AviWriteStandardIndex("ix01", "01dc", w->standardVideo.data(), w->standardInUse, w->segmentStart, &video);
    w->superAudio[last].duration = w->standardInUse * w->samplesPerFrame;
    w->superVideo[last].duration = w->standardInUse;
    return WriteAt(w, w->superAudio[last].offset, audio.data(), audio.size()) &&
           WriteAt(w, w->superVideo[last].offset, video.data(), video.size());
}

// Reserves a new pair at the end, which indexes the frames that follow.
bool OpenStandardIndexes(AviWriter *w) {
    std::vector<uint8_t> pair;
    AviWriteStandardIndex("ix00", "00wb", nullptr, 0, w->segmentStart, &pair);
    AviWriteStandardIndex("ix01", "01dc", nullptr, 0, w->segmentStart, &pair);
    w->superAudio[w->superInUse] = {w->end, kAviIndexChunkBytes, 0};
    w->superVideo[w->superInUse] = {w->end + kAviIndexChunkBytes, kAviIndexChunkBytes, 0};
    if (!Append(w, pair)) return false;
    ++w->superInUse;
    ++w->segmentPairs;
    w->standardInUse = 0;
    return true;
}

// "idx1" after the first segment's movi list, copied from the spool file.
bool AppendLegacyIndex(AviWriter *w) {
    w->firstSegment = false;
    const uint64_t size = uint64_t(w->totalFrames) * kLegacyEntryBytes;
    std::vector<uint8_t> bytes;
    AviPutFourcc(&bytes, "idx1");
    ByteWriter(bytes).U32LE(uint32_t(size));
    if (!Append(w, bytes)) return false;
    if (!FlushVirtualFile(w->spool) || SeekVirtualFile(w->spool, 0, kSeekFromStart) < 0) return !(w->failed = true);
    bytes.resize(16384);
    for (uint64_t done = 0; done < size;) {
        const size_t count = size_t(std::min<uint64_t>(bytes.size(), size - done));
        if (ReadVirtualFile(w->spool, bytes.data(), count) != int64_t(count)) return !(w->failed = true);
        if (!WriteAt(w, w->end, bytes.data(), count)) return false;
        w->end += count;
        done += count;
    }
    return true;
}

bool EndSegment(AviWriter *w) {
    if (!CloseStandardIndexes(w) || (w->firstSegment && !AppendLegacyIndex(w))) return false;
    const uint64_t moviSize = 4 + uint64_t(w->segmentPairs) * 2 * kAviIndexChunkBytes + w->segmentAudioSamples * 4 +
                              w->segmentVideoBytes + uint64_t(w->segmentFrames) * 16;
    if (!PatchU32(w, w->segmentStart + 4, uint32_t(w->end - w->segmentStart - 8)) ||
        !PatchU32(w, w->moviStart + 4, uint32_t(moviSize)))
        return false;
    w->segmentFrames = 0;
    w->segmentAudioSamples = 0;
    w->segmentVideoBytes = 0;
    w->segmentPairs = 0;
    return true;
}

bool BeginLaterSegment(AviWriter *w) {
    std::vector<uint8_t> bytes;
    AviPutFourcc(&bytes, "RIFF");
    ByteWriter(bytes).U32LE(0);
    AviPutFourcc(&bytes, "AVIX");
    AviPutFourcc(&bytes, "LIST");
    ByteWriter(bytes).U32LE(0);
    AviPutFourcc(&bytes, "movi");
    w->segmentStart = w->end;
    w->moviStart = w->end + 12;
    w->segmentLimit = w->laterSegmentLimit;
    return Append(w, bytes);
}

// The frame at the video size as a JPEG with "AVI1" as its APP0 identifier.
int EncodeFrame(AviWriter *w, const HostBitmap *frame, int32_t width, int32_t height, std::vector<uint8_t> *jpeg) {
    if (width < 1 || height < 1 || frame->width < width || frame->height < height) return kErrWrongUsage;
    HostBitmap *scaled = nullptr;
    if (width != w->width || height != w->height) {
        if (int error = ScaleImage(frame, nullptr, nullptr, 0, 0, nullptr, width, height, w->width, w->height,
                                   w->smooth, &scaled, nullptr, nullptr))
            return error;
        frame = scaled;
    }
    constexpr bool little = std::endian::native == std::endian::little;
    BitMapAccess access;
    int result = 0;
    if (!LockBitMapAccess(frame, &access)) {
        result = kErrCouldNotLockBitmap;
    } else if (access.format == PixelFormatARGB32 || access.format == PixelFormatBGRA32) {
        result = w->encode(static_cast<const uint8_t *>(access.base), access.rowPixels * 4, w->width, w->height,
                           w->quality, (access.format == PixelFormatARGB32) == little, jpeg);
        UnlockBitMapAccess(&access);
    } else {
        UnlockBitMapAccess(&access);
        uint32_t *pixels = ReadBitmapPixels(frame, w->width, w->height);
        result = pixels ? w->encode(reinterpret_cast<const uint8_t *>(pixels), w->width * 4, w->width, w->height,
                                    w->quality, little, jpeg)
                        : kErrOutOfMemory;
        FreeBlock(pixels);
    }
    FreeHostBitmap(scaled);
    if (result == 0 && jpeg->size() >= 10) std::memcpy(jpeg->data() + 6, "AVI1", 4);
    return result;
}

int CannotWrite(const AviWriter *w) {
    SetErrorArgString(w->fileName.c_str());
    return kErrCannotWriteFile;
}

} // namespace

int AviOpen(const char *name, int32_t fps, int32_t width, int32_t height, int32_t quality, bool smooth,
            const char *title, AviWriter **out) {
    *out = nullptr;
    // Beyond 1,000,000 the frame time is 0; otherwise it must give whole samples per frame.
    if (!name || fps < 1 || fps > 1000000 || kAviSampleRate % (1000000 / (1000000 / uint32_t(fps))) != 0)
        return kErrWrongUsage;
    if (width < 1 || height < 1 || width > 65535 || height > 65535) return kErrWrongUsage;
    std::unique_ptr<AviWriter> w(new (std::nothrow) AviWriter);
    if (!w) return kErrOutOfMemory;
    try {
        w->title = title ? title : "";
        w->fileName = name;
        w->standardAudio.resize(kAviStandardEntries);
        w->standardVideo.resize(kAviStandardEntries);
        w->superAudio.resize(kAviSuperEntries);
        w->superVideo.resize(kAviSuperEntries);
        w->microsPerFrame = 1000000 / uint32_t(fps);
        w->samplesPerFrame = kAviSampleRate / (1000000 / w->microsPerFrame);
        w->silence.assign(size_t(w->samplesPerFrame) * 4, 0);
    } catch (const std::bad_alloc &) {
        return kErrOutOfMemory;
    }
    w->width = width;
    w->height = height;
    w->fps = fps;
    w->quality = quality;
    w->smooth = smooth;
    w->encode = CompressJpeg;
    w->file = OpenVirtualFile(name, kVirtualFileReplace);
    if (!w->file) {
        SetErrorArgString(name);
        return kErrCannotWriteFile;
    }
    char spoolName[1024];
    if (MakeTempFileName(spoolName, sizeof spoolName)) {
        w->spool = OpenVirtualFile(spoolName, kVirtualFileCreate);
        std::remove(spoolName); // the open stream keeps it; no crash can leave it behind
    }
    if (!w->spool) {
        AviFree(w.release());
        SetErrorArgString("T:");
        return kErrCannotWriteFile;
    }
    // The header list holds placeholders now and is written again, at the same length, by AviFinish.
    std::vector<uint8_t> bytes;
    AviPutFourcc(&bytes, "RIFF");
    ByteWriter(bytes).U32LE(0);
    AviPutFourcc(&bytes, "AVI ");
    AviWriteHeaders(*w, &bytes);
    w->moviStart = bytes.size();
    AviPutFourcc(&bytes, "LIST");
    ByteWriter(bytes).U32LE(0);
    AviPutFourcc(&bytes, "movi");
    if (!Append(w.get(), bytes)) {
        AviFree(w.release());
        SetErrorArgString(name);
        return kErrCannotWriteFile;
    }
    *out = w.release();
    return 0;
}

int AviWriteFrame(AviWriter *w, const HostBitmap *frame, int32_t width, int32_t height) {
    if (w->failed) return CannotWrite(w);
    std::vector<uint8_t> encoded;
    if (frame) {
        if (int error = EncodeFrame(w, frame, width, height, &encoded)) return error;
    } else if (w->lastJpeg.empty()) {
        return kErrWrongUsage;
    }
    const std::vector<uint8_t> &jpeg = frame ? encoded : w->lastJpeg;
    const bool newSegment = w->end - w->segmentStart > w->segmentLimit;
    const bool newPair = newSegment || w->segmentFrames == 0 || w->standardInUse == uint32_t(kAviStandardEntries);
    if (newPair && w->superInUse == uint32_t(kAviSuperEntries)) return kErrWrongUsage; // no room for its index
    if (newSegment && (!EndSegment(w) || !BeginLaterSegment(w))) return CannotWrite(w);
    if (newPair && ((w->segmentFrames && !CloseStandardIndexes(w)) || !OpenStandardIndexes(w)))
        return CannotWrite(w);

    const uint32_t audioBytes = uint32_t(w->silence.size());
    const uint32_t videoBytes = uint32_t(jpeg.size() + 3) & ~3u;
    std::vector<uint8_t> chunks;
    try {
        chunks.reserve(16 + audioBytes + videoBytes);
    } catch (const std::bad_alloc &) {
        return kErrOutOfMemory;
    }
    AviPutFourcc(&chunks, "00wb");
    ByteWriter(chunks).U32LE(audioBytes);
    chunks.insert(chunks.end(), w->silence.begin(), w->silence.end());
    AviPutFourcc(&chunks, "01dc");
    ByteWriter(chunks).U32LE(videoBytes);
    chunks.insert(chunks.end(), jpeg.begin(), jpeg.end());
    chunks.resize(chunks.size() + videoBytes - jpeg.size(), 0);
    const uint64_t audioAt = w->end, videoAt = w->end + 8 + audioBytes;
    if (!Append(w, chunks)) return CannotWrite(w);
    w->standardAudio[w->standardInUse] = {uint32_t(audioAt + 8 - w->segmentStart), audioBytes};
    w->standardVideo[w->standardInUse] = {uint32_t(videoAt + 8 - w->segmentStart), videoBytes};
    ++w->standardInUse;
    if (w->firstSegment) {
        std::vector<uint8_t> legacy;
        AviPutFourcc(&legacy, "00wb");
        ByteWriter(legacy).U32LE(0x10);
        ByteWriter(legacy).U32LE(uint32_t(audioAt));
        ByteWriter(legacy).U32LE(audioBytes);
        AviPutFourcc(&legacy, "01dc");
        ByteWriter(legacy).U32LE(0x10);
        ByteWriter(legacy).U32LE(uint32_t(videoAt));
        ByteWriter(legacy).U32LE(videoBytes);
        if (WriteVirtualFileBuffered(w->spool, legacy.data(), legacy.size()) != int64_t(legacy.size())) {
            w->failed = true;
            return CannotWrite(w);
        }
    }
    if (frame) w->lastJpeg.swap(encoded);
    ++w->totalFrames;
    ++w->segmentFrames;
    w->totalVideoBytes += videoBytes;
    w->segmentVideoBytes += videoBytes;
    w->segmentAudioSamples += w->samplesPerFrame;
    w->largestVideoChunk = std::max(w->largestVideoChunk, videoBytes);
    return 0;
}

int AviFinish(AviWriter *w) {
    if (!w) return 0;
    std::vector<uint8_t> headers;
    if (!w->failed && EndSegment(w)) {
        AviWriteHeaders(*w, &headers);
        WriteAt(w, 12, headers.data(), headers.size());
    }
    const std::string name = w->fileName;
    if (w->failed) {
        AviFree(w);
        SetErrorArgString(name.c_str());
        return kErrCannotWriteFile;
    }
    CloseVirtualFile(w->spool);
    const int result = CloseVirtualFile(w->file);
    delete w;
    if (result == 0) return 0;
    SetErrorArgString(name.c_str());
    return kErrCannotWriteFile;
}

void AviFree(AviWriter *w) {
    if (!w) return;
    CloseVirtualFile(w->spool);
    DiscardVirtualFile(w->file);
    delete w;
}
