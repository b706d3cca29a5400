// The transition effects: one row per effect id says everything about it. VL_FX_EFFECTS drives the named ids
// (kFxZoomIn), the effect table the engine and the command library read, and the layer roads.
//
// A row: X(id, NAME, Name, Family, axis, direction, amount, sets)
//   NAME       the script's constant; kFx##Name is the id in code
//   Family     the family that draws it (effect_families.h): its set-up, its draw at a position, its finish
//   axis       None, H or V: the axis the name gives (H stripes, V gates...)
//   direction  the compass point or the sense the name gives: Centre, North ... NorthWest, Inwards, Outwards
//   amount     a number of the family's own: stripe thickness (0: the parameter's), blind size, water or pixel
//              zoom number, 1 for BLEND
//   sets       the bits below
//
// Adding an effect: one row here and, for a new family, a Setup and a Draw in a file of its own.
#pragma once

#include <array>
#include <cstdint>

#include "fx/fx_engine.h"

// Set bits of a row.
constexpr uint32_t kFxBGPicOnly = 1;    // drawn at the output origin; HSTRIPES elsewhere
constexpr uint32_t kFxMaskAware = 2;    // handles mask and alpha itself: never pre-composed
constexpr uint32_t kFxDirectFrame = 4;  // phase 2 draws any frame at once
constexpr uint32_t kFxBlends = 8;       // blends levels rather than revealing rectangles
constexpr uint32_t kFxScroll = 16;      // moves the layer itself
// Old-area snapshot: needed without a real-time layer, always, or only with one.
constexpr uint32_t kFxSnapshotPlain = 32;
constexpr uint32_t kFxSnapshotAlways = 64;
constexpr uint32_t kFxSnapshotRealtime = 128;
// With HideLayerFX/RemoveLayerFX the layer stays shown in the snapshot.
constexpr uint32_t kFxSnapshotWithLayer = 256;
// How a real-time layer is drawn (realtime_layer.h); none of these: whole frames into the layer's bitmap.
constexpr uint32_t kFxDrawsRects = 512;      // reveals (or clears) rectangles of the new image
constexpr uint32_t kFxScalesAlpha = 1024;    // scales the layer's alpha plane
constexpr uint32_t kFxWritesPlanes = 2048;   // keeps the new image whole and writes only the mask or alpha
constexpr uint32_t kFxRedrawsPlanes = 4096;  // draws its picture, changed, into the cleared planes each frame
constexpr uint32_t kFxHidesBackwards = 8192; // of those, a hide plays the showing's frames from the last

// The usual sets of the families.
constexpr uint32_t kFxWipe = kFxDrawsRects;
constexpr uint32_t kFxPictureMove = kFxBGPicOnly | kFxDirectFrame | kFxSnapshotAlways;
constexpr uint32_t kFxGrowth = kFxMaskAware | kFxDirectFrame | kFxSnapshotPlain | kFxRedrawsPlanes;
constexpr uint32_t kFxShape = kFxDirectFrame | kFxSnapshotPlain | kFxSnapshotWithLayer | kFxWritesPlanes;
constexpr uint32_t kFxLevels = kFxDirectFrame | kFxBlends | kFxSnapshotWithLayer | kFxScalesAlpha;
constexpr uint32_t kFxRipple = kFxDirectFrame | kFxBlends | kFxSnapshotPlain | kFxSnapshotWithLayer;

// clang-format off
#define VL_FX_EFFECTS(X) \
    X(0, HSTRIPES, HStripes, Stripes, H, Centre, 0, kFxWipe)                                                 \
    X(1, HSTRIPES2, HStripes2, Stripes, H, Centre, 2, kFxWipe)                                               \
    X(2, HSTRIPES4, HStripes4, Stripes, H, Centre, 4, kFxWipe)                                               \
    X(3, HSTRIPES8, HStripes8, Stripes, H, Centre, 8, kFxWipe)                                               \
    X(4, HSTRIPES16, HStripes16, Stripes, H, Centre, 16, kFxWipe)                                            \
    X(5, HSTRIPES32, HStripes32, Stripes, H, Centre, 32, kFxWipe)                                            \
    X(6, HSTRIPES64, HStripes64, Stripes, H, Centre, 64, kFxWipe)                                            \
    X(7, VSTRIPES, VStripes, Stripes, V, Centre, 0, kFxWipe)                                                 \
    X(8, VSTRIPES2, VStripes2, Stripes, V, Centre, 2, kFxWipe)                                               \
    X(9, VSTRIPES4, VStripes4, Stripes, V, Centre, 4, kFxWipe)                                               \
    X(10, VSTRIPES8, VStripes8, Stripes, V, Centre, 8, kFxWipe)                                              \
    X(11, VSTRIPES16, VStripes16, Stripes, V, Centre, 16, kFxWipe)                                           \
    X(12, VSTRIPES32, VStripes32, Stripes, V, Centre, 32, kFxWipe)                                           \
    X(13, VSTRIPES64, VStripes64, Stripes, V, Centre, 64, kFxWipe)                                           \
    X(14, HBLINDS8, HBlinds8, Blinds, H, Centre, 8, kFxWipe)                                                 \
    X(15, HBLINDS16, HBlinds16, Blinds, H, Centre, 16, kFxWipe)                                              \
    X(16, HBLINDS32, HBlinds32, Blinds, H, Centre, 32, kFxWipe)                                              \
    X(17, HBLINDS64, HBlinds64, Blinds, H, Centre, 64, kFxWipe)                                              \
    X(18, HBLINDS128, HBlinds128, Blinds, H, Centre, 128, kFxWipe)                                           \
    X(19, VBLINDS8, VBlinds8, Blinds, V, Centre, 8, kFxWipe)                                                 \
    X(20, VBLINDS16, VBlinds16, Blinds, V, Centre, 16, kFxWipe)                                              \
    X(21, VBLINDS32, VBlinds32, Blinds, V, Centre, 32, kFxWipe)                                              \
    X(22, VBLINDS64, VBlinds64, Blinds, V, Centre, 64, kFxWipe)                                              \
    X(23, VBLINDS128, VBlinds128, Blinds, V, Centre, 128, kFxWipe)                                           \
    X(24, VOPENCURTAIN, VOpenCurtain, Curtains, V, Outwards, 0, kFxWipe)                                     \
    X(25, VCLOSECURTAIN, VCloseCurtain, Curtains, V, Inwards, 0, kFxWipe)                                    \
    X(26, HOPENCURTAIN, HOpenCurtain, Curtains, H, Outwards, 0, kFxWipe)                                     \
    X(27, HCLOSECURTAIN, HCloseCurtain, Curtains, H, Inwards, 0, kFxWipe)                                    \
    X(28, BARS, Bars, Bars, None, Centre, 0, kFxWipe)                                                        \
    X(29, QUARTERS, Quarters, Quarters, None, Centre, 0, kFxWipe)                                            \
    X(30, REVEALLEFT, RevealLeft, Reveals, None, West, 0, kFxWipe)                                           \
    X(31, REVEALRIGHT, RevealRight, Reveals, None, East, 0, kFxWipe)                                         \
    X(32, REVEALTOP, RevealTop, Reveals, None, North, 0, kFxWipe)                                            \
    X(33, REVEALBOTTOM, RevealBottom, Reveals, None, South, 0, kFxWipe)                                      \
    X(34, VLINES2, VLines2, Lines2, V, Centre, 0, kFxWipe)                                                   \
    X(35, HLINES2, HLines2, Lines2, H, Centre, 0, kFxWipe)                                                   \
    X(36, HLINES, HLines, Lines, H, Centre, 0, kFxWipe)                                                      \
    X(37, VLINES, VLines, Lines, V, Centre, 0, kFxWipe)                                                      \
    X(38, RECTCENTER, RectCenter, Rect, None, Centre, 0, kFxWipe)                                            \
    X(39, RECTNORTH, RectNorth, Rect, None, North, 0, kFxWipe)                                               \
    X(40, RECTNORTHEAST, RectNorthEast, Rect, None, NorthEast, 0, kFxWipe)                                   \
    X(41, RECTEAST, RectEast, Rect, None, East, 0, kFxWipe)                                                  \
    X(42, RECTSOUTHEAST, RectSouthEast, Rect, None, SouthEast, 0, kFxWipe)                                   \
    X(43, RECTSOUTH, RectSouth, Rect, None, South, 0, kFxWipe)                                               \
    X(44, RECTSOUTHWEST, RectSouthWest, Rect, None, SouthWest, 0, kFxWipe)                                   \
    X(45, RECTWEST, RectWest, Rect, None, West, 0, kFxWipe)                                                  \
    X(46, RECTNORTHWEST, RectNorthWest, Rect, None, NorthWest, 0, kFxWipe)                                   \
    X(47, SCROLLLEFT, ScrollLeft, Scroll, None, West, 0, kFxMaskAware | kFxScroll)                           \
    X(48, SCROLLRIGHT, ScrollRight, Scroll, None, East, 0, kFxMaskAware | kFxScroll)                         \
    X(49, SCROLLTOP, ScrollTop, Scroll, None, North, 0, kFxMaskAware | kFxScroll)                            \
    X(50, SCROLLBOTTOM, ScrollBottom, Scroll, None, South, 0, kFxMaskAware | kFxScroll)                      \
    X(51, SCROLLNORTHEAST, ScrollNorthEast, Scroll, None, NorthEast, 0, kFxMaskAware | kFxScroll)            \
    X(52, SCROLLSOUTHEAST, ScrollSouthEast, Scroll, None, SouthEast, 0, kFxMaskAware | kFxScroll)            \
    X(53, SCROLLSOUTHWEST, ScrollSouthWest, Scroll, None, SouthWest, 0, kFxMaskAware | kFxScroll)            \
    X(54, SCROLLNORTHWEST, ScrollNorthWest, Scroll, None, NorthWest, 0, kFxMaskAware | kFxScroll)            \
    X(55, STRETCHLEFT, StretchLeft, Stretch, None, West, 0, kFxGrowth)                                       \
    X(56, STRETCHRIGHT, StretchRight, Stretch, None, East, 0, kFxGrowth)                                     \
    X(57, STRETCHTOP, StretchTop, Stretch, None, North, 0, kFxGrowth)                                        \
    X(58, STRETCHBOTTOM, StretchBottom, Stretch, None, South, 0, kFxGrowth)                                  \
    X(59, HSTRETCHCENTER, HStretchCenter, Stretch, H, Centre, 0, kFxGrowth)                                  \
    X(60, VSTRETCHCENTER, VStretchCenter, Stretch, V, Centre, 0, kFxGrowth)                                  \
    X(61, ZOOMCENTER, ZoomCenter, Zoom, None, Centre, 0, kFxGrowth)                                          \
    X(62, ZOOMNORTH, ZoomNorth, Zoom, None, North, 0, kFxGrowth)                                             \
    X(63, ZOOMNORTHEAST, ZoomNorthEast, Zoom, None, NorthEast, 0, kFxGrowth)                                 \
    X(64, ZOOMEAST, ZoomEast, Zoom, None, East, 0, kFxGrowth)                                                \
    X(65, ZOOMSOUTHEAST, ZoomSouthEast, Zoom, None, SouthEast, 0, kFxGrowth)                                 \
    X(66, ZOOMSOUTH, ZoomSouth, Zoom, None, South, 0, kFxGrowth)                                             \
    X(67, ZOOMSOUTHWEST, ZoomSouthWest, Zoom, None, SouthWest, 0, kFxGrowth)                                 \
    X(68, ZOOMWEST, ZoomWest, Zoom, None, West, 0, kFxGrowth)                                                \
    X(69, ZOOMNORTHWEST, ZoomNorthWest, Zoom, None, NorthWest, 0, kFxGrowth)                                 \
    X(70, HFLOWTOP, HFlowTop, Flow, H, North, 0, kFxGrowth | kFxHidesBackwards)                              \
    X(71, HFLOWBOTTOM, HFlowBottom, Flow, H, South, 0, kFxGrowth | kFxHidesBackwards)                        \
    X(72, VFLOWLEFT, VFlowLeft, Flow, V, West, 0, kFxGrowth | kFxHidesBackwards)                             \
    X(73, VFLOWRIGHT, VFlowRight, Flow, V, East, 0, kFxGrowth | kFxHidesBackwards)                           \
    X(74, HOPENGATE, HOpenGate, Gates, H, Outwards, 0, kFxPictureMove)                                       \
    X(75, HCLOSEGATE, HCloseGate, Gates, H, Inwards, 0, kFxBGPicOnly | kFxDirectFrame | kFxSnapshotRealtime) \
    X(76, VOPENGATE, VOpenGate, Gates, V, Outwards, 0, kFxPictureMove)                                       \
    X(77, VCLOSEGATE, VCloseGate, Gates, V, Inwards, 0, kFxBGPicOnly | kFxDirectFrame | kFxSnapshotRealtime) \
    X(78, PUSHLEFT, PushLeft, Push, None, West, 0, kFxPictureMove)                                           \
    X(79, PUSHRIGHT, PushRight, Push, None, East, 0, kFxPictureMove)                                         \
    X(80, PUSHTOP, PushTop, Push, None, North, 0, kFxPictureMove)                                            \
    X(81, PUSHBOTTOM, PushBottom, Push, None, South, 0, kFxPictureMove)                                      \
    X(82, PUZZLE, Puzzle, Puzzle, None, Centre, 0, kFxWipe)                                                  \
    X(83, DIAGONAL, Diagonal, Diagonal, None, Centre, 0, kFxWipe)                                            \
    X(84, ROLLTOP, RollTop, Roll, None, North, 0, kFxGrowth | kFxHidesBackwards)                             \
    X(85, ROLLLEFT, RollLeft, Roll, None, West, 0, kFxGrowth | kFxHidesBackwards)                            \
    X(86, WALLPAPERTOP, WallpaperTop, Wallpaper, None, North, 0, kFxGrowth | kFxHidesBackwards)              \
    X(87, WALLPAPERLEFT, WallpaperLeft, Wallpaper, None, West, 0, kFxGrowth | kFxHidesBackwards)             \
    X(88, RECTBACKCENTER, RectBackCenter, RectBack, None, Centre, 0, kFxWipe)                                \
    X(89, RECTBACKNORTH, RectBackNorth, RectBack, None, North, 0, kFxWipe)                                   \
    X(90, RECTBACKNORTHEAST, RectBackNorthEast, RectBack, None, NorthEast, 0, kFxWipe)                       \
    X(91, RECTBACKEAST, RectBackEast, RectBack, None, East, 0, kFxWipe)                                      \
    X(92, RECTBACKSOUTHEAST, RectBackSouthEast, RectBack, None, SouthEast, 0, kFxWipe)                       \
    X(93, RECTBACKSOUTH, RectBackSouth, RectBack, None, South, 0, kFxWipe)                                   \
    X(94, RECTBACKSOUTHWEST, RectBackSouthWest, RectBack, None, SouthWest, 0, kFxWipe)                       \
    X(95, RECTBACKWEST, RectBackWest, RectBack, None, West, 0, kFxWipe)                                      \
    X(96, RECTBACKNORTHWEST, RectBackNorthWest, RectBack, None, NorthWest, 0, kFxWipe)                       \
    X(97, CLOCKWIPE, ClockWipe, ClockWipe, None, Centre, 0, kFxShape)                                        \
    X(98, STAR, Star, Star, None, Centre, 0, kFxShape)                                                       \
    X(99, HSTRANGEPUSH, HStrangePush, StrangePush, H, Centre, 0, kFxGrowth | kFxHidesBackwards)              \
    X(100, VSTRANGEPUSH, VStrangePush, StrangePush, V, Centre, 0, kFxGrowth | kFxHidesBackwards)             \
    X(101, SLIDELEFT, SlideLeft, Slide, None, West, 0, kFxPictureMove)                                       \
    X(102, SLIDERIGHT, SlideRight, Slide, None, East, 0, kFxPictureMove)                                     \
    X(103, SLIDETOP, SlideTop, Slide, None, North, 0, kFxPictureMove)                                        \
    X(104, SLIDEBOTTOM, SlideBottom, Slide, None, South, 0, kFxPictureMove)                                  \
    X(105, SPIRAL, Spiral, Spiral, None, Centre, 0, kFxWipe)                                                 \
    X(106, SWISS, Swiss, Swiss, None, Centre, 0, kFxWipe)                                                    \
    X(107, QUADRECT, QuadRect, QuadRect, None, Centre, 0, kFxWipe)                                           \
    X(108, HSPLIT, HSplit, Split, H, Centre, 0, kFxWipe)                                                     \
    X(109, VSPLIT, VSplit, Split, V, Centre, 0, kFxWipe)                                                     \
    X(110, UPNDOWN, UpNDown, UpDown, None, Centre, 0, kFxWipe)                                               \
    X(111, CARDTOP, CardTop, Card, None, North, 0, kFxPictureMove)                                           \
    X(112, CARDBOTTOM, CardBottom, Card, None, South, 0, kFxPictureMove)                                     \
    X(114, SUN, Sun, Sun, None, Centre, 0, kFxShape)                                                         \
    X(115, CROSSFADE, Crossfade, Crossfade, None, Centre, 0, kFxLevels | kFxSnapshotAlways)                  \
    X(116, FADE, Fade, Fade, None, Centre, 0, kFxLevels | kFxMaskAware | kFxSnapshotPlain)                   \
    X(117, BLEND, Blend, Fade, None, Centre, 1, kFxLevels | kFxMaskAware | kFxSnapshotPlain)                 \
    X(118, ZOOMIN, ZoomIn, ZoomInOut, None, Inwards, 0, kFxPictureMove)                                      \
    X(119, ZOOMOUT, ZoomOut, ZoomInOut, None, Outwards, 0, kFxPictureMove)                                   \
    X(120, CRUSHLEFT, CrushLeft, Crush, None, West, 0, kFxPictureMove)                                       \
    X(121, CRUSHRIGHT, CrushRight, Crush, None, East, 0, kFxPictureMove)                                     \
    X(122, CRUSHTOP, CrushTop, Crush, None, North, 0, kFxPictureMove)                                        \
    X(123, CRUSHBOTTOM, CrushBottom, Crush, None, South, 0, kFxPictureMove)                                  \
    X(124, VFLIPCOIN, VFlipCoin, FlipCoin, V, Centre, 0, kFxPictureMove)                                     \
    X(125, VLOWFLIPCOIN, VLowFlipCoin, FlipCoin, V, South, 0, kFxPictureMove)                                \
    X(126, HFLIPCOIN, HFlipCoin, FlipCoin, H, Centre, 0, kFxPictureMove)                                     \
    X(127, HLOWFLIPCOIN, HLowFlipCoin, FlipCoin, H, East, 0, kFxPictureMove)                                 \
    X(128, TURNDOWNTOP, TurnDownTop, TurnDown, None, North, 0, kFxPictureMove)                               \
    X(129, TURNDOWNBOTTOM, TurnDownBottom, TurnDown, None, South, 0, kFxPictureMove)                         \
    X(130, TURNDOWNLEFT, TurnDownLeft, TurnDown, None, West, 0, kFxPictureMove)                              \
    X(131, TURNDOWNRIGHT, TurnDownRight, TurnDown, None, East, 0, kFxPictureMove)                            \
    X(132, PIXELZOOM1, PixelZoom1, PixelZoom, None, Centre, 1, kFxGrowth | kFxHidesBackwards)                \
    X(133, PIXELZOOM2, PixelZoom2, PixelZoom, None, Centre, 2, kFxPictureMove | kFxMaskAware)                \
    X(134, WATER1, Water1, Water, None, Centre, 1, kFxRipple)                                                \
    X(135, WATER2, Water2, Water, None, Centre, 2, kFxRipple)                                                \
    X(136, WATER3, Water3, Water, None, Centre, 3, kFxRipple)                                                \
    X(137, WATER4, Water4, Water, None, Centre, 4, kFxRipple)                                                \
    X(138, STRUDEL, Strudel, Strudel, None, Centre, 0, kFxRipple)                                            \
    X(139, DISSOLVE, Dissolve, Dissolve, None, Centre, 0, kFxShape)
// clang-format on

#define VL_FX_ID(id, NAME, Name, Family, axis, direction, amount, sets) constexpr int32_t kFx##Name = id;
VL_FX_EFFECTS(VL_FX_ID)
#undef VL_FX_ID

enum FxAxis : int8_t { kFxAxisNone, kFxAxisH, kFxAxisV };
enum FxDirection : int8_t {
    kFxCentre,
    kFxNorth,
    kFxNorthEast,
    kFxEast,
    kFxSouthEast,
    kFxSouth,
    kFxSouthWest,
    kFxWest,
    kFxNorthWest,
    kFxInwards,
    kFxOutwards,
};

struct FxVariant {
    FxAxis axis;
    FxDirection direction;
    int16_t amount;
};

struct FxEffectRow {
    const char *name;
    const FxFamily *family;
    FxVariant variant;
    uint32_t sets;
};

// Indexed by id, 0..139 (113 is an empty row). Writable only so that tests can put a failing family in a row.
extern std::array<FxEffectRow, kFxEffectIdCount> FxEffects;

inline const FxEffectRow *FindFxEffect(int32_t id) {
    return id >= 0 && id < kFxEffectIdCount && FxEffects[id].name ? &FxEffects[id] : nullptr;
}
inline bool FxEffectHas(int32_t id, uint32_t set) {
    const FxEffectRow *row = FindFxEffect(id);
    return row && (row->sets & set);
}
// The variant of the request's effect.
inline const FxVariant &FxVariantOf(const FxRequest *request) { return request->row->variant; }
