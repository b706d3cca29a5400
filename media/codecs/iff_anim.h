// Our own IFF ANIM reader: frame 0 is the ILBM of the first FORM, every later frame a byte vertical delta
// (operation 5) applied to one of two planar work buffers. Frames can be read in any order: reading backwards
// replays from frame 0, and the reader rewinds itself after the last frame.
#pragma once

#include <cstdint>

struct VirtualFile;
struct IffAnimReader;

// Reads the whole file; null when it is no IFF ANIM with at least one delta, or its first frame is damaged, has
// no CMAP or more than 8 planes.
IffAnimReader *OpenIffAnim(VirtualFile *file, int32_t *width, int32_t *height, int32_t *frameCount);
// A new width x height array of 0x00RRGGBB words (FreeBlock) of frame n from 0, or null when the frame's delta is
// damaged or uses another operation than 5.
uint32_t *ReadIffAnimFrame(IffAnimReader *reader, int32_t n);
// Milliseconds; a frame's delay is known once its delta has been applied (frame 0's from the first FORM).
int32_t GetIffAnimFrameDelay(const IffAnimReader *reader, int32_t n);
void CloseIffAnim(IffAnimReader *reader);
