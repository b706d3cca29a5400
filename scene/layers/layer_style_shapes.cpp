// The shape keys of a layer's style table: form style, fill, and each shape's own geometry.
#include <algorithm>
#include <cstdlib>
#include <new>

#include "imaging/form_style_keys.h"
#include "imaging/shapes.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"
#include "scene/images/brush.h"
#include "scene/layers/layer_style.h"

ShapeRecord *StartShapeRecord(const ShapeRecord *old, int32_t kind) {
    ShapeRecord *s = old ? new (std::nothrow) ShapeRecord(*old) : new (std::nothrow) ShapeRecord;
    if (!s) return nullptr;
    if (!old) {
        s->style = GetDrawState()->form;
        // The draw state names its texture brush; the layer keeps a copy of the image as it is now.
        Brush *brush = nullptr;
        if (s->style.HasTexture() && FindBrush(s->style.textureBrush, &brush, 0) == 0 &&
            !(s->texture = CopyTextureImage(brush->bitmap))) {
            delete s;
            return nullptr;
        }
    }
    s->kind = kind;
    return s;
}

int ReadShapeStyleKeys(VMState *vm, int t, ShapeRecord *s, int kindChanged, int32_t oldKind, int32_t width,
                       int32_t height, int *given, ShapeGeometry *g) {
    int any = 0;
    GetTableOptionUnsigned(vm, t, "color", &s->color, &any);
    const ObjectId oldTexture = s->style.textureBrush;
    int textureGiven = 0, styleGiven = 0;
    ReadFormStyleKeys(vm, t, &s->style, &textureGiven, &styleGiven);
    any |= styleGiven;
    if (textureGiven && !s->style.HasTexture()) {
        s->texture = nullptr;
    } else if (textureGiven) {
        // The layer keeps its own copy: the brush may be freed or changed later.
        Brush *brush = nullptr;
        if (int error = FindBrush(s->style.textureBrush, &brush, 0)) {
            s->style.textureBrush = oldTexture;
            return error;
        }
        if (!(s->texture = CopyTextureImage(brush->bitmap))) return kErrOutOfMemory;
    }

    const bool fromEllipse = oldKind == ObjectKindEllipse || oldKind == ObjectKindArc || oldKind == ObjectKindCircle;
    int missing = 0;
    auto required = [&](const char *key, int32_t *out, bool needed) {
        if (!GetTableOption(vm, t, key, out, &any) && needed) missing = 1;
    };
    switch (s->kind) {
    case ObjectKindBox:
        if (kindChanged && oldKind != ObjectKindBox && s->sizeX <= 0 && s->sizeY <= 0) {
            s->sizeX = width;
            s->sizeY = height;
        }
        GetTableOption(vm, t, "sizex", &s->sizeX, &any);
        GetTableOption(vm, t, "sizey", &s->sizeY, &any);
        GetTableOption(vm, t, "roundlevel", &s->roundLevel, &any);
        g->width = s->sizeX;
        g->height = s->sizeY;
        break;
    case ObjectKindCircle: {
        int32_t r = s->radiusX;
        required("radius", &r, kindChanged && oldKind != ObjectKindEllipse && oldKind != ObjectKindArc);
        s->radiusX = s->radiusY = r;
        g->width = g->height = 2 * r + 1;
        break;
    }
    case ObjectKindArc:
        required("startangle", &s->startAngle, kindChanged);
        required("endangle", &s->endAngle, kindChanged);
        GetTableOption(vm, t, "clockwise", &s->clockwise, &any);
        [[fallthrough]];
    case ObjectKindEllipse:
        required("radiusa", &s->radiusX, kindChanged && !fromEllipse);
        required("radiusb", &s->radiusY, kindChanged && !fromEllipse);
        g->width = 2 * s->radiusX + 1;
        g->height = 2 * s->radiusY + 1;
        break;
    case ObjectKindLine: {
        int32_t e[4] = {0, 0, 0, 0};
        int ends = 0;
        ends += GetTableOption(vm, t, "x1", &e[0], &any);
        ends += GetTableOption(vm, t, "y1", &e[1], &any);
        ends += GetTableOption(vm, t, "x2", &e[2], &any);
        ends += GetTableOption(vm, t, "y2", &e[3], &any);
        GetTableOption(vm, t, "thickness", &s->thickness, &any);
        if (kindChanged && ends < 4) missing = 1;
        if (ends == 4) {
            // The end points are on the picture; the record keeps them against their top-left.
            g->lineGiven = 1;
            g->lineX = std::min(e[0], e[2]);
            g->lineY = std::min(e[1], e[3]);
            s->x1 = e[0] - g->lineX, s->y1 = e[1] - g->lineY, s->x2 = e[2] - g->lineX, s->y2 = e[3] - g->lineY;
        }
        g->width = std::abs(s->x2 - s->x1) + 1;
        g->height = std::abs(s->y2 - s->y1) + 1;
        break;
    }
    case ObjectKindPolygon: {
        RawGetField(vm, t, "vertices");
        const bool has = ValueType(vm, -1) != TNIL;
        SetTop(vm, -2);
        if (has) {
            any = 1;
            int32_t count = 0, ox = 0, oy = 0;
            if (int error = ReadPolygonTable(vm, t, &s->vertices, &count, &g->width, &g->height, &ox, &oy))
                return error;
        } else if (kindChanged) {
            missing = 1;
        } else {
            double maxX = 0, maxY = 0;
            for (size_t i = 0; i + 1 < s->vertices.size(); i += 2) {
                maxX = std::max(maxX, s->vertices[i]);
                maxY = std::max(maxY, s->vertices[i + 1]);
            }
            g->width = int32_t(maxX) + 1;
            g->height = int32_t(maxY) + 1;
        }
        break;
    }
    default: return kErrWrongUsage;
    }
    ClampFillStyle(&s->style);
    if (given) *given = any;
    return missing ? kErrNotEnoughArguments : 0;
}

void WriteShapeStyleKeys(VMState *vm, const ShapeRecord *s) {
    SetTableDouble(vm, "color", s->color);
    WriteFormStyleKeys(vm, s->style);
    switch (s->kind) {
    case ObjectKindBox:
        SetTableNumber(vm, "sizex", s->sizeX);
        SetTableNumber(vm, "sizey", s->sizeY);
        SetTableNumber(vm, "roundlevel", s->roundLevel);
        break;
    case ObjectKindCircle: SetTableNumber(vm, "radius", s->radiusX); break;
    case ObjectKindEllipse:
        SetTableNumber(vm, "radiusa", s->radiusX);
        SetTableNumber(vm, "radiusb", s->radiusY);
        break;
    case ObjectKindLine: SetTableNumber(vm, "thickness", s->thickness); break;
    case ObjectKindPolygon: {
        NewTable(vm);
        const int list = GetTop(vm);
        for (size_t i = 0; i < s->vertices.size(); i++) {
            PushNumber(vm, s->vertices[i]);
            RawSetIndex(vm, list, int64_t(i));
        }
        SetField(vm, list - 1, "vertices");
        SetTableNumber(vm, "numvertices", int32_t(s->vertices.size() / 2));
        break;
    }
    case ObjectKindArc:
        SetTableNumber(vm, "startangle", s->startAngle);
        SetTableNumber(vm, "endangle", s->endAngle);
        SetTableNumber(vm, "clockwise", s->clockwise);
        SetTableNumber(vm, "radiusa", s->radiusX);
        SetTableNumber(vm, "radiusb", s->radiusY);
        break;
    default: break;
    }
}
