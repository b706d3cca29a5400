// Compressed files: 4 magic bytes, 4 reserved bytes (written 0, ignored when reading), then one zlib stream
// (RFC 1950) to the end. "VLPK" is what CompressFile writes; "VLZ\0" (kCompressedAppletMagic,
// applet_format.h) marks a compressed applet, which may sit at an offset inside a container file.
//
// Both routines stream through two fixed 16 KiB buffers and never hold the data whole. They return 0 or an
// error code; the caller sets the error argument: 1045 names the source, 1052 the destination.
#pragma once

#include <cstdint>

inline constexpr char kPackedFileMagic[4] = {'V', 'L', 'P', 'K'};
inline constexpr int kCompressedHeaderSize = 8;
inline constexpr int kCompressBufferSize = 16384;

// zlib's result codes to ours: -1 1306, -2 1307, -3 1309, -4 1000, -5 1091, -6 1308, other non-zero 1091.
// Z_NEED_DICT (2) counts as data error (1309): a preset dictionary is never supplied.
int ZlibResultToError(int zlibResult);

// Packs the whole source behind the 4-byte magic at the default level. *outSize (may be null) receives the
// compressed file's size in bytes, header included. A destination that is the source itself is refused (1055)
// before anything is opened for writing, since creating it would empty the source.
int CompressToFile(const char *magic, const char *source, const char *destination, uint64_t *outSize);

// Unpacks the compressed data that starts at offset in the source. The magic is checked before the
// destination is created (1310 on a mismatch, no file made). Input that ends before the zlib stream does
// gives 1309, after the data unpacked so far has been written. *outSize (may be null) receives the number of
// unpacked bytes. Unpacking more than maxSize bytes stops with 1309 (a bound for data whose origin we don't trust).
int DecompressFromFile(const char *magic, const char *source, const char *destination, int64_t offset,
                       uint64_t *outSize, uint64_t maxSize = UINT64_MAX);
