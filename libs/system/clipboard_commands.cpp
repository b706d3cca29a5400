// The clipboard commands of the system library: text, and images that become brushes.
#include "libs/system/system_commands.h"

#include "host/clipboard.h"
#include "host/memory.h"
#include "runtime/app/errors.h"
#include "scene/images/brush.h"

namespace {

// A masked brush goes out with the mask as its alpha channel, so its transparent pixels stay transparent.
AlphaPlane *AlphaFromMask(const Brush *brush) {
    AlphaPlane *alpha = AllocAlphaPlane(brush->width, brush->height);
    if (!alpha) return nullptr;
    for (int32_t y = 0; y < brush->height; y++)
        for (int32_t x = 0; x < brush->width; x++)
            alpha->bytes[size_t(y) * size_t(alpha->bytesPerRow) + size_t(x)] = MaskBit(brush->mask, x, y) ? 255 : 0;
    return alpha;
}

} // namespace

int CmdSetClipboard(VMState *vm) {
    CheckArgs(vm, 2, 2);
    int32_t kind = CheckInt32Arg(vm, 1);
    ClipboardData data;
    if (kind == kClipboardText) {
        data.text = const_cast<char *>(CheckStringArg(vm, 2));
        return WriteClipboard(kind, &data);
    }
    if (kind != kClipboardImage) return kErrWrongUsage;
    ObjectId id;
    ReadObjectId(&id, vm, 2);
    Brush *brush = nullptr;
    if (int r = FindBrush(id, &brush, 0)) return r;
    data.bitmap = brush->bitmap;
    data.width = brush->width;
    data.height = brush->height;
    AlphaPlane *maskAlpha = !brush->alpha && brush->mask ? AlphaFromMask(brush) : nullptr;
    data.alpha = brush->alpha ? brush->alpha : maskAlpha;
    int r = WriteClipboard(kind, &data);
    FreeAlphaPlane(maskAlpha);
    return r;
}

int CmdGetClipboard(VMState *vm) {
    CheckArgs(vm, 0, 0);
    ClipboardData data;
    int kind = kClipboardEmpty;
    if (int r = ReadClipboard(&data, &kind)) return r;
    PushNumber(vm, kind);
    if (kind == kClipboardText) {
        PushString(vm, data.text);
        FreeBlock(data.text);
        return 2;
    }
    if (kind != kClipboardImage) return 1;
    Brush *brush = nullptr;
    int r = AddBrushRecord(ObjectId{0, kAutoHandleRequest}, kBrushBitmap, data.width, data.height, 0, nullptr,
                           data.bitmap, -1, nullptr, data.alpha, nullptr, &brush);
    if (r) {
        FreeHostBitmap(data.bitmap);
        FreeAlphaPlane(data.alpha);
        return r;
    }
    PushHandle(vm, brush->id.handle);
    return 2;
}

int CmdPeekClipboard(VMState *vm) {
    CheckArgs(vm, 0, 0);
    int kind = kClipboardEmpty;
    if (int r = QueryClipboardType(&kind)) return r;
    PushNumber(vm, kind);
    return 1;
}

int CmdClearClipboard(VMState *vm) {
    CheckArgs(vm, 0, 0);
    return BlankClipboard();
}
