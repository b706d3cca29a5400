// Anim objects: sequences of equally sized frames, held in memory (decoded at load) or on disk (the file stays
// open and each frame is decoded when it is needed); their list, lookup, deferred freeing, loading, frame access
// and playback.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/bitmap.h"
#include "runtime/app/command.h"
#include "runtime/app/object_kinds.h"
#include "runtime/app/object_list.h"

struct AnimFile;
struct Sprite;
struct VMState;

struct AnimFrame {
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    uint32_t *keptPixels = nullptr; // AllocBlock; stands in for the bitmap between a preload and the rebuild
};

struct AnimObject {
    ObjectId id{}; // {0, own address} for automatic and free-pending anims
    int32_t width = 0, height = 0; // current frame size
    int32_t frameCount = 0;        // at least 1
    int32_t fromDisk = 0;
    int32_t sourceWidth = 0, sourceHeight = 0; // as stored; frames of a disk anim are scaled to width x height
    int32_t smooth = 0;
    int32_t lockCount = 0; // running playbacks; while non-zero the anim cannot be modified
    int32_t freePending = 0;
    int32_t transparent = -1;
    AnimFile *animFile = nullptr;   // disk anims
    std::string fileName;           // disk anims
    std::vector<AnimFrame> frames;  // in-memory anims
    std::vector<int32_t> delays;    // milliseconds; -1: the frame has none of its own
};

extern ObjectList<AnimObject> AnimList;

// FindAnim flags.
constexpr int kFindAnimModify = kFindModify;
constexpr int kFindAnimPending = 2; // skip free-pending anims (the list's kFindPending finds them)
constexpr int kFindAnimNoUnshare = kFindNoUnshare;

// 0; kErrAnimNotFound (number) or kErrObjectNotFound (handle) when missing; kErrObjectLocked for a locked anim with
// kFindAnimModify, which without kFindAnimNoUnshare first gives every layer that shows the anim its own copy.
int FindAnim(ObjectId id, AnimObject **out, int flags);
// FreeAnim: kErrActiveAnim while the anim is the current output; an anim layers still show becomes free-pending under
// {0, own address}. reportMissing 0 ignores a missing id (kErrObjectLocked is always reported).
int FreeAnimById(ObjectId id, int reportMissing);
// Appends a record around frames the caller made (taken over on success). 0 or kErrOutOfMemory.
int AddAnimRecord(ObjectId id, int32_t width, int32_t height, std::vector<AnimFrame> &&frames, int32_t transparent,
                  AnimObject **out = nullptr);
int32_t CountAnimObjects();
// Inserts black frames (count > 0) or removes frames (count < 0) at a 1-based position (0: the end). findFlags
// go to the lookups: a layer's own copy is found while free-pending and is not copied again for its layer.
// kErrActiveAnim for the current output, kErrObjectLocked while playing, kErrDiskAnim for a disk anim, kErrWrongUsage
// for positions out of range.
int ModifyAnimFramesById(ObjectId id, int32_t count, int32_t position, int findFlags);
// Frees a frame's planes and kept pixels and clears it.
void FreeAnimFrame(AnimFrame &frame);
// Whether the anim is the current drawing target (kErrActiveAnim for changes).
bool IsAnimActiveOutput(const AnimObject *anim);
// Frames kept as pixels while preloading become bitmaps. 0 or the first error.
int RebuildAllAnims();
void FreeAllAnims();
// The copy callback of ForEachReferrer: argument is the AnimObject.
int CopyAnimForReferrer(void *anim, ObjectId *newId);

// Frame n from 0 as a triple. Disk anims decode it (kErrAnimFrameLoad when that fails) and scale it to the current
// size unless keepSourceSize; with copy an in-memory frame is copied. *owned says whether the caller frees it.
int GetAnimFrameImage(AnimObject *anim, int32_t n, bool copy, bool keepSourceSize, ImageTriple *out, bool *owned);
// Milliseconds: the frame's own delay, else the file's (disk anims), else 0.
int32_t GetAnimFrameDelay(AnimObject *anim, int32_t n);

// Fills the layer engine's anim services table (or empties it), so that anim layers can exist.
void InstallAnimLayerServices(bool on);

// ---- Loading -----------------------------------------------------------------------------------------------------
struct LoadAnimOptions {
    int64_t transparent = -1;
    int32_t loadAlpha = 0;
    int32_t x = 0, y = 0, width = 0, height = 0, perRow = 0, frames = 0;
    int32_t fromDisk = 0;
    std::string cache, cachedLoad;
    int32_t cacheAlpha = 0;
};
// Frames under construction; frees what it still holds.
struct FrameList {
    std::vector<AnimFrame> frames;
    FrameList() = default;
    FrameList(const FrameList &) = delete;
    FrameList &operator=(const FrameList &) = delete;
    ~FrameList() {
        for (AnimFrame &f : frames) FreeAnimFrame(f);
    }
};
// The frames of an animation file (its own delays), or of a picture whole or cut in a grid; with "fromdisk" only
// the open file. keepPixels holds frames as pixels (while preloading, until the display opens).
struct LoadedFrames {
    FrameList list;
    std::vector<int32_t> delays;
    int32_t width = 0, height = 0, count = 0;
    int64_t transparent = -1;
    AnimFile *file = nullptr; // closed with the record unless taken
    LoadedFrames() = default;
    LoadedFrames(const LoadedFrames &) = delete;
    LoadedFrames &operator=(const LoadedFrames &) = delete;
    ~LoadedFrames();
};
// 0, kErrMaskAndAlphaChannel for a mask with alpha, kErrWrongUsage for frames from disk, or the reader's error.
int LoadFramesFromFile(const char *fileName, const LoadAnimOptions &options, int preloading, bool keepPixels,
                       LoadedFrames *out);
// LoadAnim and PlayAnimDisk: an animation file (or a picture, whole or cut in a grid) as an anim. The console
// line shows shownName. 0 or an error code; *out the new anim.
int LoadAnimFile(ObjectId id, const char *fileName, const LoadAnimOptions &options, int preloading,
                 AnimObject **out = nullptr, const char *shownName = nullptr);

// ---- Sprites made by the frame builders
// ---------------------------------------------------------------------------- CreateSprite from an anim (every frame
// copied; kErrAnimNotFound / kErrObjectNotFound) or from a text object (a copy of its image). The caller has already freed a sprite
// of the id.
int CreateSpriteFromAnim(ObjectId id, ObjectId animId, Sprite **out);
int CreateSpriteFromTextObject(ObjectId id, ObjectId objectId, Sprite **out);
// LoadSprite: the frames of an animation file, or a picture whole or cut in a grid ("fromdisk" is not read).
int LoadSpriteFile(ObjectId id, const char *fileName, const LoadAnimOptions &options, int preloading, Sprite **out,
                   const char *shownName);

// ---- Playback ----------------------------------------------------------------------------------------------------
struct PlayAnimRequest {
    ObjectId id{};
    int32_t x = 0, y = 0;
    int32_t speed = 0;
    int32_t times = 1; // 0 repeats without end
    int32_t async = 0;
    int optionsIndex = 0; // the display options' table argument, 0 for none
};
// Plays blocking, or pushes the async draw's handle (result 1). 0, 1 or an error code.
int PlayAnimCore(VMState *vm, const PlayAnimRequest &request);
// Draws frame n from 0 at (x, y) with the display options at optionsIndex (a layer while layers are on).
int DrawAnimFrame(VMState *vm, ObjectId id, int32_t x, int32_t y, int32_t n, int optionsIndex);
// The selection of this anim's frame as output ends first when PlayAnim or DisplayAnimFrame draws it.
void EndAnimOutputSelection(VMState *vm, const AnimObject *anim);
