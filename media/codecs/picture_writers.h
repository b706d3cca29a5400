// Picture and frame encoders: PNG and JPEG through the Debian libraries, GIF and 24-plane ILBM of our own.
// Whole files go through the replacing VirtualFile mode, so a failed save leaves an old file as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Writes bytes as the whole file name: 0, or kErrCannotWriteFile when it cannot be written.
int WriteWholeFile(const char *name, const void *bytes, size_t count);

// PNG, 8 bits per channel: pixels are width x height words 0xAARRGGBB (rowPixels words apart); the top byte is
// stored as alpha only withAlpha. 0, kErrCannotWriteFile, or kErrOutOfMemory when libpng fails.
int SavePngFile(const char *name, const uint32_t *pixels, int32_t rowPixels, int32_t width, int32_t height,
                int withAlpha);

// JPEG of rows of 4-byte pixels, rowBytes apart, in memory order X, R, G, B, or B, G, R, X with swapped (the order
// of native 0x00RRGGBB words on a little-endian machine). 0, or kErrOutOfMemory when libjpeg fails or memory runs
// out.
int CompressJpeg(const uint8_t *pixels, int32_t rowBytes, int32_t width, int32_t height, int32_t quality,
                 int swapped, std::vector<uint8_t> *out);
// The same for width x height 0x00RRGGBB words, written as a file: 0, kErrOutOfMemory or kErrCannotWriteFile.
int SaveJpegFile(const char *name, const uint32_t *pixels, int32_t width, int32_t height, int32_t quality);

// One ByteRun1-packed row: the number of bytes written to destination, which holds at least
// length + (length + 127) / 128 bytes.
size_t PackByteRun1Row(const uint8_t *source, uint8_t *destination, size_t length);
// The bytes of a 24-plane ILBM of width x height 0x00RRGGBB words; false when a side is above 65535.
bool EncodeIlbm(const uint32_t *pixels, int32_t width, int32_t height, std::string *out);
// 0, kErrCannotWriteFile, or kErrWrongUsage for a side above 65535.
int WriteIlbmFile(const char *name, const uint32_t *pixels, int32_t width, int32_t height);

// An animated GIF89a built in memory, frame by frame.
struct GifWriter {
    int32_t width = 0, height = 0;
    int32_t framesWritten = 0;
    std::string bytes;
    std::vector<uint32_t> shown; // the previous frame as displayed, for the changed-box optimisation
};
void BeginGif(GifWriter *gif, int32_t width, int32_t height);
// A full-screen frame of width x height palette indices; palette holds colors (1..256) 0x00RRGGBB entries.
// transparent is an index or -1; delay in milliseconds. With optimize, a frame without a transparent index and
// with a free palette slot is written as the box of pixels that changed, unchanged ones keyed to that slot.
void AddGifFrame(GifWriter *gif, const uint8_t *indices, const uint32_t *palette, int32_t colors,
                 int32_t transparent, int32_t delayMs, bool optimize = false);
void FinishGif(GifWriter *gif);
// The LZW-coded image data of count indices of bits-wide codes: the minimum code size, sub-blocks, the 0 block.
void EncodeGifLzw(const uint8_t *indices, size_t count, int bits, std::string *out);
