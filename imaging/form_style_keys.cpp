#include "imaging/form_style_keys.h"

#include "runtime/app/command.h"

void ReadFormStyleKeys(VMState *vm, int t, FormStyle *s, int *textureGiven, int *given) {
    int any = 0;
    int32_t bits = 0;
    if (GetTableOption(vm, t, "formstyle", &bits, &any)) s->styleBits = AddFormStyleBits(s->styleBits, bits);
    if (GetTableOption(vm, t, "formstyleclear", &bits, &any)) s->styleBits = ClearFormStyleBits(s->styleBits, bits);
    GetTableOption(vm, t, "fillstyle", &s->fillStyle, &any);
    GetTableOption(vm, t, "gradientstyle", &s->gradientStyle, &any);
    GetTableOption(vm, t, "gradientangle", &s->gradientAngle, &any);
    GetTableOptionUnsigned(vm, t, "gradientstartcolor", &s->gradientStartColor, &any);
    GetTableOptionUnsigned(vm, t, "gradientendcolor", &s->gradientEndColor, &any);
    const int texture = GetTableOptionObjectId(vm, t, "texturebrush", &s->textureBrush, &any);
    if (textureGiven) *textureGiven = texture;
    GetTableOption(vm, t, "texturex", &s->textureX, &any);
    GetTableOption(vm, t, "texturey", &s->textureY, &any);
    GetTableOption(vm, t, "shadowdir", &s->shadowDirection, &any);
    GetTableOptionUnsigned(vm, t, "shadowcolor", &s->shadowColor, &any);
    GetTableOption(vm, t, "shadowsize", &s->shadowSize, &any);
    GetTableOptionUnsigned(vm, t, "edgecolor", &s->edgeColor, &any);
    GetTableOption(vm, t, "edgesize", &s->edgeSize, &any);
    GetTableOption(vm, t, "outlinethickness", &s->outlineThickness, &any);
    ClampFillStyle(s);
    if (given) *given = any;
}

void WriteFormStyleKeys(VMState *vm, const FormStyle &s) {
    SetTableNumber(vm, "formstyle", s.styleBits);
    SetTableNumber(vm, "fillstyle", s.fillStyle);
    SetTableNumber(vm, "gradientstyle", s.gradientStyle);
    SetTableNumber(vm, "gradientangle", s.gradientAngle);
    SetTableDouble(vm, "gradientstartcolor", s.gradientStartColor);
    SetTableDouble(vm, "gradientendcolor", s.gradientEndColor);
    SetTableNumber(vm, "outlinethickness", s.outlineThickness);
    if (s.HasTexture()) SetTableObjectId(vm, "texturebrush", s.textureBrush);
    else SetTableNumber(vm, "texturebrush", -1);
    SetTableNumber(vm, "texturex", s.textureX);
    SetTableNumber(vm, "texturey", s.textureY);
    SetTableNumber(vm, "shadowdir", s.shadowDirection);
    SetTableDouble(vm, "shadowcolor", s.shadowColor);
    SetTableNumber(vm, "shadowsize", s.shadowSize);
    SetTableDouble(vm, "edgecolor", s.edgeColor);
    SetTableNumber(vm, "edgesize", s.edgeSize);
}
