// AnimFile: one handle through which any animation file is read frame by frame as full 32-bit pictures, whatever
// its format: IFF ANIM and GIF through our own readers, everything else through the animation datatype.
#pragma once

#include <cstdint>

#include "runtime/app/errors.h"

struct IffAnimReader;
struct GifReader;
struct AnimDatatypeReader;

constexpr int32_t kAnimFileIff = 1;
constexpr int32_t kAnimFileGif = 2;
constexpr int32_t kAnimFileDatatype = 3;

struct AnimFile {
    void *handle = nullptr;
    int32_t kind = 0;
};

// 0; kErrCannotReadFile when the file cannot be read, kErrOutOfMemory, kErrCannotLoadAnim when a file our readers
// refuse finds no datatype (FFmpeg missing), or kErrAnimUnknownFormat when no reader takes it (the name is the
// error argument).
int OpenAnimFile(const char *fileName, AnimFile **out, int32_t *width, int32_t *height, int32_t *frameCount);
// A new width x height array of 0x00RRGGBB words (FreeBlock) of frame n from 0, or null (callers report
// kErrAnimFrameLoad).
uint32_t *ReadAnimFileFrame(AnimFile *file, int32_t n);
// Milliseconds.
int32_t GetAnimFileFrameDelay(AnimFile *file, int32_t n);
// The colour the file itself marks transparent (a GIF's), as 0x00RRGGBB, or -1.
int64_t GetAnimFileTransparentColour(const AnimFile *file);
void CloseAnimFile(AnimFile *file);
// 1 when the file opens as an animation of more than one frame.
int IsAnimFile(const char *fileName);

// The animation datatype: formats our own readers do not take.
AnimDatatypeReader *OpenAnimDatatype(const char *fileName, int32_t *width, int32_t *height, int32_t *frameCount);
uint32_t *ReadAnimDatatypeFrame(AnimDatatypeReader *reader, int32_t n);
int32_t GetAnimDatatypeFrameDelay(AnimDatatypeReader *reader, int32_t n);
void CloseAnimDatatype(AnimDatatypeReader *reader);
// False when FFmpeg cannot be loaded (loaded on the first call).
bool AnimDatatypeAvailable();
