#include "scene/display/object_kinds.h"

#include "scene/display/display_record.h"
#include "scene/images/bgpic.h"
#include "runtime/app/errors.h"

const char *const ObjectKindNames[kObjectKindCount] = {
    "",           "BGPIC",      "SAMPLE",      "BRUSH",        "ANIM",       "SNDMODULE",  "KEYDOWN",
    "NOOBJECT",   "TEXTOBJECT", "TEXTOUT",     "UNDO",         "PRINT",      "BRUSHPART",  "BGPICPART",
    "BOX",        "CIRCLE",     "ELLIPSE",     "LINE",         "PLOT",       "MAINWINDOW", "ANIMDISK",
    "DISPLAY",    "LAYER",      "HIDEBRUSH",   "INSERTBRUSH",  "HIDELAYER",  "REMOVELAYER", "POLYGON",
    "MASK",       "NEXTFRAME",  "ALPHACHANNEL", "ARC",         "SPRITE",     "MUSIC",      "NEXTFRAME2",
    "CLIPREGION", "POINTER",    "ASYNCDRAW",   "DOUBLEBUFFER", "MEMORY",     "EVENTHANDLER", "INTERVAL",
    "TIMEOUT",    "FONT",       "FILE",        "DIRECTORY",    "X",          "X",          "X",
    "VECTORPATH",
};

bool IsValidObjectKind(int32_t kind) { return kind >= 0 && kind < kObjectKindCount; }

const char *ObjectKindName(int32_t kind) { return IsValidObjectKind(kind) ? ObjectKindNames[kind] : ""; }

bool IsShapeLayerKind(int32_t kind) {
    switch (kind) {
    case ObjectKindBox: case ObjectKindCircle: case ObjectKindEllipse: case ObjectKindLine: case ObjectKindPolygon:
    case ObjectKindArc: return true;
    default: return false;
    }
}

bool IsImageLayerKind(int32_t kind) {
    return kind == ObjectKindBrush || kind == ObjectKindBrushPart || kind == ObjectKindBGPicPart ||
           kind == ObjectKindAnim;
}

bool IsTextLayerKind(int32_t kind) {
    return kind == ObjectKindTextObject || kind == ObjectKindTextOut || kind == ObjectKindPrint;
}

int32_t AlternativeReferrerKind(int32_t kind) { return kind == ObjectKindBrush ? ObjectKindBrushPart : 0; }

int CheckSelectedOutput(int32_t outputKind, int32_t sourceKind, int refuseBGPic) {
    switch (outputKind) {
    case ObjectKindBrush: return sourceKind == ObjectKindAnim ? kErrSelectAnimActive : kErrSelectBrushActive;
    case ObjectKindAnim: return kErrSelectAnimActive; // an anim frame as target counts as the anim selection
    case ObjectKindMask: return kErrSelectMaskActive;
    case ObjectKindAlphaChannel: return kErrSelectAlphaChannelActive;
    case ObjectKindBGPic: return refuseBGPic ? kErrSelectBGPicActive : 0;
    default: return 0;
    }
}

int RefuseSelectedOutput(const DisplayRecord *display, int refuseBGPic) {
    if (!display) return 0;
    int32_t sourceKind = display->selectOutput ? display->selectOutput->outputSourceKind : 0;
    return CheckSelectedOutput(display->outputKind, sourceKind, refuseBGPic);
}
