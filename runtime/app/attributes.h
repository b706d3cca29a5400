// Runtime attribute tags. The runtime answers its own tags (1, 2, 6, 11, 12); libraries register hooks that
// answer theirs (graphics 5 and 7, sound 3, 4, 8-10, 13-22). Get and set are separate tag spaces.
#pragma once

#include <string>

#include "runtime/vm/vm.h"

constexpr int kAttrEventTimeout = 1;
constexpr int kAttrQuietMode = 2;
constexpr int kAttrNoSound = 3;
constexpr int kAttrMasterVolume = 4;
constexpr int kAttrMaskMode = 5;
constexpr int kAttrPreloadActive = 6;
constexpr int kAttrAlphaIntensity = 7;
constexpr int kAttrSampleType = 8;
constexpr int kAttrSampleDuration = 9;
constexpr int kAttrSamplePitch = 10;
constexpr int kAttrExitOnErrorCount = 11; // set 1: +1, set 0: -1; get: the count
constexpr int kAttrExitOnError = 12;
constexpr int kAttrSampleLoopHandler = 13;
constexpr int kAttrSampleEndHandler = 14;
constexpr int kAttrMusicDuration = 15;
constexpr int kAttrMusicPosition = 16;
constexpr int kAttrSamplePosition = 17;
constexpr int kAttrMusicFormat = 18;
constexpr int kAttrMusicEndHandler = 19;
constexpr int kAttrMusicBitrate = 20;
constexpr int kAttrMusicPitch = 21;
constexpr int kAttrMusicType = 22;

// The in/out value of a tag: the object it is about (in), one or two numbers and a string (in for set, out for
// get). numbers[0] is the usual single value.
struct AttributeValue {
    ObjectId id{};
    double numbers[2] = {0, 0};
    std::string text;
};

// Returns 1 when it answered the tag, else 0. vm may be null for a set.
using AttributeHook = int (*)(VMState *vm, int tag, AttributeValue *value);

// Adding a hook twice keeps one entry; hooks are asked in the order they were added.
void AddGetAttributeHook(AttributeHook hook);
void AddSetAttributeHook(AttributeHook hook);
void RemoveAttributeHooks(); // tests, shutdown

// 1 when the runtime or a hook answered, else 0 (value untouched).
int GetAttributeTags(VMState *vm, int tag, AttributeValue *value);
int SetAttributeTags(VMState *vm, int tag, AttributeValue *value);
// Shorthands for single-number tags.
int SetAttributeNumber(VMState *vm, int tag, double number);
// The number, or fallback when nobody answered.
double GetAttributeNumber(VMState *vm, int tag, double fallback);
