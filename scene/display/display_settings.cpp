// The display option table.
#include <cstring>
#include <strings.h>

#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "scene/display/create_display.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"

static int Absolute(VMState *vm, int index) {
    return (index < 0 && index > kRegistryIndex) ? GetTop(vm) + index + 1 : index;
}

// The value on top, read from the key of the table argument, is no table: it goes.
static int TableExpected(VMState *vm, int table, const char *key) {
    const int error = ArgumentTypeError(vm, kErrTableExpected, table, -1, key);
    SetTop(vm, -2);
    return error;
}

int ParseRegion(VMState *vm, int table, const char *key, DisplayRegion *regions, int32_t *count, int32_t *given) {
    table = Absolute(vm, table);
    NoteOptionKey(vm, key);
    RawGetField(vm, table, key);
    if (ValueType(vm, -1) == TNIL) {
        SetTop(vm, -2);
        return 0;
    }
    if (ValueType(vm, -1) != TTABLE) return TableExpected(vm, table, key);
    const int list = GetTop(vm);
    *given = 0;
    int32_t n = 0;
    for (;; n++) {
        RawGetIndex(vm, list, n);
        const int entry = GetTop(vm);
        if (ValueType(vm, entry) == TNIL) {
            SetTop(vm, list - 1);
            break;
        }
        int error = 0;
        DisplayRegion region{};
        int32_t type = ObjectKindBox, x = 0, y = 0, width = 0, height = 0;
        int hasX = 0, hasY = 0, hasWidth = 0, hasHeight = 0;
        if (n >= kMaxDisplayRegions) {
            error = kErrWrongUsage; // the record holds 64 regions per table
        } else if (ValueType(vm, entry) != TTABLE) {
            error = ArgumentTypeError(vm, kErrTableExpected, table, entry, key);
        } else {
            GetTableOption(vm, entry, "type", &type);
            GetTableOption(vm, entry, "x", &x, &hasX);
            GetTableOption(vm, entry, "y", &y, &hasY);
            GetTableOption(vm, entry, "width", &width, &hasWidth);
            GetTableOption(vm, entry, "height", &height, &hasHeight);
            if (type != ObjectKindBox) error = kErrWrongUsage;
            else if (!hasX || !hasY || !hasWidth || !hasHeight) error = kErrNotEnoughArguments;
            else if (x < 0 || y < 0 || width < 1 || height < 1) error = kErrWrongUsage;
        }
        if (error) {
            SetTop(vm, list - 1);
            return error;
        }
        region = DisplayRegion{ObjectKindBox, x, y, width, height};
        regions[n] = region;
        *given = 1;
        SetTop(vm, list);
    }
    *count = n;
    return 0;
}

struct SwitchKey {
    const char *key;
    uint32_t bit;
};
constexpr SwitchKey kSwitchKeys[] = {
    {"borderless", kDisplayBorderless},   {"sizeable", kDisplaySizeable},       {"fixed", kDisplayFixed},
    {"nohide", kDisplayNoHide},           {"nomodeswitch", kDisplayNoModeSwitch}, {"smoothscale", kDisplaySmoothScale},
    {"active", kDisplayActive},           {"hidepointer", kDisplayHidePointer}, {"usequartz", kDisplayUseQuartz},
    {"noclose", kDisplayNoClose},         {"keepproportions", kDisplayKeepProportions},
    {"fitscale", kDisplayFitScale},
};

// A percentage of the display's size (given as a negative number), truncated toward zero and kept in range.
static int32_t PercentOf(int32_t size, int32_t negativePercent) {
    return SaturateToInt32(double(size) * -double(negativePercent) / 100.0);
}

static void ClearScaledSize(DisplayRecord *d) {
    d->scaledWidth = d->scaledHeight = 0;
    d->scaledLeft = d->scaledTop = d->scaledRight = d->scaledBottom = 0;
}

int ParseDisplaySettings(VMState *vm, int table, DisplayRecord *d, int creating, int *scaledSizeGiven) {
    table = Absolute(vm, table);
    if (int error = ParseRegion(vm, table, "dragregion", d->dragRegions, &d->dragRegionCount, &d->dragRegionsGiven))
        return error;
    std::memcpy(d->scriptDragRegions, d->dragRegions, sizeof d->dragRegions);
    if (int error = ParseRegion(vm, table, "sizeregion", d->sizeRegions, &d->sizeRegionCount, &d->sizeRegionsGiven))
        return error;
    std::memcpy(d->scriptSizeRegions, d->sizeRegions, sizeof d->sizeRegions);

    for (const SwitchKey &s : kSwitchKeys) {
        int32_t value = 0;
        if (GetTableOption(vm, table, s.key, &value)) d->flags = value ? (d->flags | s.bit) : (d->flags & ~s.bit);
    }
    GetTableOption(vm, table, "x", &d->x);
    GetTableOption(vm, table, "y", &d->y);

    int32_t value = 0;
    if (GetTableOption(vm, table, "scalewidth", &value)) {
        if (value == 0) return kErrWrongUsage;
        d->scaledWidth = value;
        if (scaledSizeGiven) *scaledSizeGiven = 1;
    }
    if (GetTableOption(vm, table, "scaleheight", &value)) {
        if (value == 0) return kErrWrongUsage;
        d->scaledHeight = value;
        if (scaledSizeGiven) *scaledSizeGiven = 1;
    }
    if (GetTableOption(vm, table, "scalemode", &value)) {
        switch (value) {
        case SCALEMODE_NONE:
            d->flags &= ~(kDisplayAutoScale | kDisplayLayerScale);
            ClearScaledSize(d);
            break;
        case SCALEMODE_AUTO: d->flags = (d->flags | kDisplayAutoScale) & ~kDisplayLayerScale; break;
        case SCALEMODE_LAYER: d->flags = (d->flags | kDisplayLayerScale) & ~kDisplayAutoScale; break;
        default: return kErrWrongUsage;
        }
    }

    ObjectId pictureId{};
    bool pictureGiven = false;
    if (GetTableOptionObjectId(vm, table, "bgpic", &pictureId)) {
        BGPic *bgpic = nullptr;
        if (int error = FindBGPic(pictureId, &bgpic, 0)) return error;
        for (DisplayRecord *other = DisplayList; other; other = other->next)
            if (other->picture == bgpic && (creating || other != CurrentDisplay)) return kErrSharedBGPic;
        d->picture = bgpic;
        d->width = bgpic->scaled.width;
        d->height = bgpic->scaled.height;
        pictureGiven = true;
    }

    if (!(creating && pictureGiven)) {
        GetTableOption(vm, table, "width", &d->width);
        GetTableOption(vm, table, "height", &d->height);
        d->fillStyle = 1;
        GetTableOption(vm, table, "fillstyle", &d->fillStyle);
        switch (d->fillStyle) {
        case 1: GetTableOptionUnsigned(vm, table, "color", &d->color); break;
        case 2:
            GetTableOptionUnsigned(vm, table, "gradientstartcolor", &d->color);
            GetTableOptionUnsigned(vm, table, "gradientendcolor", &d->gradientEndColor);
            GetTableOption(vm, table, "gradientangle", &d->gradientAngle);
            break;
        case 3:
            GetTableOption(vm, table, "texturebrush", &d->textureBrush);
            GetTableOption(vm, table, "texturex", &d->textureX);
            GetTableOption(vm, table, "texturey", &d->textureY);
            break;
        default: return kErrWrongUsage;
        }
        if (d->width < 1 || d->height < 1) return kErrWrongUsage;
    }

    NoteOptionKey(vm, "title");
    RawGetField(vm, table, "title");
    if (ValueType(vm, -1) != TNIL) {
        size_t length = 0;
        const char *title = CheckStringField(vm, -1, "title", &length);
        if (length >= kDisplayTitleSize) {
            SetTop(vm, -2);
            return kErrWrongUsage;
        }
        std::memcpy(d->title, title, length);
        d->title[length] = 0;
    }
    SetTop(vm, -2);

    if (d->scaledWidth < 0) d->scaledWidth = PercentOf(d->width, d->scaledWidth);
    if (d->scaledHeight < 0) d->scaledHeight = PercentOf(d->height, d->scaledHeight);
    d->smoothScaling = (d->flags & kDisplaySmoothScale) ? 1 : 0;
    d->autoScaling = (d->flags & kDisplayAutoScale) ? 1 : 0;
    d->layerScaling = (d->flags & kDisplayLayerScale) ? 1 : 0;
    return 0;
}

int32_t ScaleModeByName(const char *name) {
    static const char *const kNames[] = {"SCALEMODE_NONE", "SCALEMODE_AUTO", "SCALEMODE_LAYER"};
    if (name[0] == '#') name++;
    for (int32_t mode = 0; mode < 3; mode++)
        if (strcasecmp(name, kNames[mode]) == 0) return mode;
    if (name[0] >= '0' && name[0] <= '2' && name[1] == 0) return name[0] - '0';
    return -1;
}
