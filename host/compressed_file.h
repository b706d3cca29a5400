// Compressed files: 4 magic bytes, 4 reserved bytes (written 0, ignored when reading), then one zlib stream
// (RFC 1950) to the end. "VLPK" is what CompressFile writes; "VLZ\0" (kCompressedAppletMagic,
// applet_format.h) marks a compressed applet, which may sit at an offset inside a container file.
//
// Both routines stream through two fixed 16 KiB buffers and never hold the data whole. They return 0 or an
// error code; the caller sets the error argument: kErrCannotReadFile names the source, kErrCannotWriteFile the
// destination.
#pragma once

#include <cstdint>

inline constexpr char kPackedFileMagic[4] = {'V', 'L', 'P', 'K'};
inline constexpr int kCompressedHeaderSize = 8;
inline constexpr int kCompressBufferSize = 16384;

// zlib's result codes to ours: -1 kErrZlibIo, -2 kErrZlibStream, -3 kErrZlibData, -4 kErrOutOfMemory, -5
// kErrUnknownErrorCode, -6 kErrZlibVersion, other non-zero kErrUnknownErrorCode. Z_NEED_DICT (2) counts as data error
// (kErrZlibData): a preset dictionary is never supplied.
int ZlibResultToError(int zlibResult);

// Packs the whole source behind the 4-byte magic at the default level. *outSize (may be null) receives the
// compressed file's size in bytes, header included. A destination that is the source itself is refused
// (kErrWrongUsage) before anything is opened for writing, since creating it would empty the source.
int CompressToFile(const char *magic, const char *source, const char *destination, uint64_t *outSize);

// Unpacks the compressed data that starts at offset in the source. The magic is checked before the
// destination is created (kErrUnknownCompression on a mismatch, no file made). Input that ends before the zlib stream
// does gives kErrZlibData, after the data unpacked so far has been written. *outSize (may be null) receives the
// number of unpacked bytes. Unpacking more than maxSize bytes stops with kErrZlibData (a bound for data whose origin
// we don't trust).
int DecompressFromFile(const char *magic, const char *source, const char *destination, int64_t offset,
                       uint64_t *outSize, uint64_t maxSize = UINT64_MAX);
