// A VM with the runtime installed and empty display and picture lists, torn down between tests; option tables
// built through the embedding API.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "host/bitmap.h"
#include "runtime/app/attributes.h"
#include "runtime/app/errors.h"
#include "host/event_queue.h"
#include "runtime/app/runtime_globals.h"
#include "scene/display/create_display.h"
#include "scene/display/display_list.h"
#include "scene/images/bgpic.h"
#include "tests/runtime/app/vm_harness.h"

namespace scenetest {

// One region entry: its fields by name.
using RegionEntry = std::vector<std::pair<std::string, double>>;
// A region list and the index of its first entry.
struct RegionList {
    std::vector<RegionEntry> entries;
    int firstIndex = 0;
};
using OptionValue = std::variant<double, std::string, void *, RegionList>;
using Options = std::vector<std::pair<std::string, OptionValue>>;

inline void PushOptions(VMState *vm, const Options &options) {
    NewTable(vm);
    const int table = GetTop(vm);
    for (const auto &[key, value] : options) {
        if (auto *n = std::get_if<double>(&value)) PushNumber(vm, *n);
        else if (auto *s = std::get_if<std::string>(&value)) PushStringLen(vm, s->data(), s->size());
        else if (auto *h = std::get_if<void *>(&value)) PushHandle(vm, *h);
        else {
            const RegionList &list = std::get<RegionList>(value);
            NewTable(vm);
            int index = list.firstIndex;
            for (const RegionEntry &entry : list.entries) {
                NewTable(vm);
                for (const auto &[field, number] : entry) {
                    PushNumber(vm, number);
                    SetField(vm, -2, field.c_str());
                }
                RawSetIndex(vm, -2, index++);
            }
        }
        SetField(vm, table, key.c_str());
    }
}

inline RegionEntry Region(double x, double y, double width, double height) {
    return {{"x", x}, {"y", y}, {"width", width}, {"height", height}};
}

struct SceneTest : ::testing::Test {
    vmtest::Vm vm;
    void SetUp() override {
        QuietMode = 1;
        RemoveEvent(vm, -1, 1);
    }
    void TearDown() override {
        CurrentDisplay = nullptr;
        FreeAllDisplays(vm);
        FreeAllBGPics();
        RemoveEvent(vm, -1, 1);
        FindBrushImageHook = nullptr;
        ApplyDisplayAttributesHook = nullptr;
        EventStateDisplayFreedHook = nullptr;
        PreloadActive = 0;
    }
    // CreateDisplay as the command runs it: 0 or the error code; *out the new record.
    int Create(ObjectId id, const Options *options, DisplayRecord **out = nullptr) {
        DisplayRecord *made = nullptr;
        int code = vmtest::RunCommand(vm, [&](VMState *v) {
            int index = 0;
            if (options) {
                PushOptions(v, *options);
                index = GetTop(v);
            }
            return CreateDisplay(v, id, index, &made);
        });
        SetTop(vm, 0);
        if (out) *out = made;
        return code;
    }
    int Create(int32_t number, const Options &options, DisplayRecord **out = nullptr) {
        return Create(ObjectId{number, nullptr}, &options, out);
    }
    // ParseDisplaySettings on a record as CreateDisplay would read it.
    int Parse(DisplayRecord *record, const Options &options, int creating = 1, int *scaledGiven = nullptr) {
        int code = vmtest::RunCommand(vm, [&](VMState *v) {
            PushOptions(v, options);
            return ParseDisplaySettings(v, GetTop(v), record, creating, scaledGiven);
        });
        SetTop(vm, 0);
        return code;
    }
};

inline uint32_t Pixel(const HostBitmap *bitmap, int32_t x, int32_t y) { return HostBitmapRow32(bitmap, y)[x] & 0xFFFFFF; }

// A picture of width x height in one colour, numbered or automatic.
inline BGPic *MakePicture(ObjectId id, int32_t width, int32_t height, uint32_t colour) {
    HostBitmap *bitmap = AllocHostBitmap(width, height);
    for (int32_t y = 0; y < height; y++)
        for (int32_t x = 0; x < width; x++) HostBitmapRow32(bitmap, y)[x] = colour;
    BGPic *made = nullptr;
    EXPECT_EQ(CreateBGPicRecord(id, kBGPicPicture, width, height, width, nullptr, bitmap, nullptr, -1, nullptr,
                                nullptr, nullptr, nullptr, &made),
              0);
    return made;
}

// A layer of kind showing source on the picture, on top.
inline vlLayer *AddTestLayer(BGPic *bgpic, int32_t kind, ObjectId source) {
    vlLayer *layer = new vlLayer;
    layer->type = kind;
    layer->source = layer->origin = source;
    layer->first = layer->saved = layer->current = new LayerDrawParams;
    AddTailNode(&bgpic->layers, &layer->node);
    return layer;
}

inline void DeleteTestLayer(vlLayer *layer) {
    RemoveNode(&layer->node);
    FreeLayer(layer);
}

} // namespace scenetest
