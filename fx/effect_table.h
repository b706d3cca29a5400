// The transition effects: one row per effect id says everything about it. VL_FX_EFFECTS drives the named ids
// (kFxZoomIn), the effect table the engine and the command library read, and the layer roads.
//
// A row: X(id, NAME, Name, Family, Speed, axis, direction, amount, sets, Reverse)
//   NAME       the script's constant; kFx##Name is the id in code
//   Family     the family that draws it (effect_families.h): its set-up, its draw at a position, its finish
//   Speed      the speed rule below (kFxSpeed##Speed) that turns the script's speed into the family's step
//   axis       None, H or V: the axis the name gives (H stripes, V gates...)
//   direction  the compass point or the sense the name gives: Centre, North ... NorthWest, Inwards, Outwards
//   amount     a number of the family's own: stripe thickness (0: the parameter's), blind size, water or pixel
//              zoom number, 1 for BLEND
//   sets       the bits below
//   Reverse    the effect a reversed request plays (the showing's partner that undoes it), or Name itself
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
constexpr uint32_t kFxScrolls = kFxMaskAware | kFxScroll;
constexpr uint32_t kFxPictureMove = kFxBGPicOnly | kFxDirectFrame | kFxSnapshotAlways;
constexpr uint32_t kFxClosingGate = kFxBGPicOnly | kFxDirectFrame | kFxSnapshotRealtime;
constexpr uint32_t kFxGrowth = kFxMaskAware | kFxDirectFrame | kFxSnapshotPlain | kFxRedrawsPlanes;
constexpr uint32_t kFxShape = kFxDirectFrame | kFxSnapshotPlain | kFxSnapshotWithLayer | kFxWritesPlanes;
constexpr uint32_t kFxLevels = kFxDirectFrame | kFxBlends | kFxSnapshotWithLayer | kFxScalesAlpha;
constexpr uint32_t kFxRipple = kFxDirectFrame | kFxBlends | kFxSnapshotPlain | kFxSnapshotWithLayer;

// The speed rules the rows name: what NORMALSPEED, FASTSPEED and SLOWSPEED give and the bounds of the step.
// clang-format off
//                                          basis       normal fast slow  bound             low  high  other speeds
// Not used: the family ignores the speed, or (scrolls) the move takes it by its own rule.
constexpr FxSpeedRule kFxSpeedUnused        {kFxFixed,   {  0,   0,   0}, kFxNoBound,       0,   0};
constexpr FxSpeedRule kFxSpeedStripes       {kFxAlong,   { 70,  30, 200}, kFxBelowSize};
constexpr FxSpeedRule kFxSpeedBlinds        {kFxAlong,   {  8,   3,  20}, kFxHalf};
constexpr FxSpeedRule kFxSpeedBars          {kFxAlong,   { 16,   8,  40}, kFxHalf};
constexpr FxSpeedRule kFxSpeedQuarters      {kFxWidth,   { 70,  30, 200}, kFxQuarter};
constexpr FxSpeedRule kFxSpeedOpenCurtain   {kFxAlong,   {140,  60, 320}, kFxQuarter};
constexpr FxSpeedRule kFxSpeedCloseCurtain  {kFxAlong,   {140,  60, 320}, kFxOneOverHalf};
constexpr FxSpeedRule kFxSpeedRevealColumns {kFxAlong,   { 70,  30, 200}, kFxOneOverHalf};
constexpr FxSpeedRule kFxSpeedRevealRows    {kFxAlong,   { 70,  30, 200}, kFxHalf};
constexpr FxSpeedRule kFxSpeedRect          {kFxLongest, { 70,  30, 200}, kFxOneOverQuarter};
constexpr FxSpeedRule kFxSpeedPuzzle        {kFxWidth,   { 20,  10,  30}, kFxNoBound,       5};
constexpr FxSpeedRule kFxSpeedDiagonal      {kFxWidth,   { 60,  20, 130}, kFxOneOverQuarter};
constexpr FxSpeedRule kFxSpeedSplit         {kFxLongest, {120,  60, 240}, kFxNoBound,       1,  30};
constexpr FxSpeedRule kFxSpeedCard          {kFxLongest, { 60,  30, 120}, kFxNoBound,       1,  30};
constexpr FxSpeedRule kFxSpeedSlide         {kFxAlong,   { 60,  30, 120}, kFxNoBound,       1,  30};
constexpr FxSpeedRule kFxSpeedFlowRows      {kFxAlong,   { 50,  20, 120}, kFxNoBound,       1,  30};
constexpr FxSpeedRule kFxSpeedFlowColumns   {kFxAlong,   { 30,  10,  80}, kFxNoBound,       1,  30};
constexpr FxSpeedRule kFxSpeedGate          {kFxAlong,   { 80,  30, 200}, kFxSize};
constexpr FxSpeedRule kFxSpeedPush          {kFxAlong,   { 40,  10, 100}, kFxSize};
constexpr FxSpeedRule kFxSpeedSqueeze       {kFxAlong,   { 60,  30, 120}, kFxSize};
constexpr FxSpeedRule kFxSpeedStretch       {kFxAlong,   { 30,  10,  80}, kFxSize};
constexpr FxSpeedRule kFxSpeedHalves        {kFxAlong,   { 60,  30, 120}, kFxTwice};
constexpr FxSpeedRule kFxSpeedShape         {kFxLongest, { 12,   6,  24}, kFxNoBound,       1, 100};
constexpr FxSpeedRule kFxSpeedCrossfade     {kFxFixed,   { 10,  20,   5}, kFxNoBound,       1, 120, kFxBelow1Normal};
constexpr FxSpeedRule kFxSpeedFade          {kFxFixed,   { 10,  20,   5}, kFxNoBound,       1, 255, kFxBelow1Normal};
constexpr FxSpeedRule kFxSpeedSweep         {kFxFixed,   { 10,  15,   5}, kFxNoBound,       1,  30};
constexpr FxSpeedRule kFxSpeedDissolve      {kFxFixed,   {  4,   8,   2}, kFxNoBound,       1,   8};
constexpr FxSpeedRule kFxSpeedWater         {kFxFixed,   { 25,  10,  50}, kFxNoBound,       5, 100}; // frames a half
constexpr FxSpeedRule kFxSpeedStrudel       {kFxFixed,   {  8,  16,   4}, kFxNoBound,       2,  16};
constexpr FxSpeedRule kFxSpeedRoll          {kFxFixed,   {  2,   5,   1}, kFxNoBound,       1,   8, kFxFifths};

#define VL_FX_EFFECTS(X) \
    X(0, HSTRIPES, HStripes, Stripes, Stripes, H, Centre, 0, kFxWipe, HStripes)                                         \
    X(1, HSTRIPES2, HStripes2, Stripes, Stripes, H, Centre, 2, kFxWipe, HStripes2)                                      \
    X(2, HSTRIPES4, HStripes4, Stripes, Stripes, H, Centre, 4, kFxWipe, HStripes4)                                      \
    X(3, HSTRIPES8, HStripes8, Stripes, Stripes, H, Centre, 8, kFxWipe, HStripes8)                                      \
    X(4, HSTRIPES16, HStripes16, Stripes, Stripes, H, Centre, 16, kFxWipe, HStripes16)                                  \
    X(5, HSTRIPES32, HStripes32, Stripes, Stripes, H, Centre, 32, kFxWipe, HStripes32)                                  \
    X(6, HSTRIPES64, HStripes64, Stripes, Stripes, H, Centre, 64, kFxWipe, HStripes64)                                  \
    X(7, VSTRIPES, VStripes, Stripes, Stripes, V, Centre, 0, kFxWipe, VStripes)                                         \
    X(8, VSTRIPES2, VStripes2, Stripes, Stripes, V, Centre, 2, kFxWipe, VStripes2)                                      \
    X(9, VSTRIPES4, VStripes4, Stripes, Stripes, V, Centre, 4, kFxWipe, VStripes4)                                      \
    X(10, VSTRIPES8, VStripes8, Stripes, Stripes, V, Centre, 8, kFxWipe, VStripes8)                                     \
    X(11, VSTRIPES16, VStripes16, Stripes, Stripes, V, Centre, 16, kFxWipe, VStripes16)                                 \
    X(12, VSTRIPES32, VStripes32, Stripes, Stripes, V, Centre, 32, kFxWipe, VStripes32)                                 \
    X(13, VSTRIPES64, VStripes64, Stripes, Stripes, V, Centre, 64, kFxWipe, VStripes64)                                 \
    X(14, HBLINDS8, HBlinds8, Blinds, Blinds, H, Centre, 8, kFxWipe, HBlinds8)                                          \
    X(15, HBLINDS16, HBlinds16, Blinds, Blinds, H, Centre, 16, kFxWipe, HBlinds16)                                      \
    X(16, HBLINDS32, HBlinds32, Blinds, Blinds, H, Centre, 32, kFxWipe, HBlinds32)                                      \
    X(17, HBLINDS64, HBlinds64, Blinds, Blinds, H, Centre, 64, kFxWipe, HBlinds64)                                      \
    X(18, HBLINDS128, HBlinds128, Blinds, Blinds, H, Centre, 128, kFxWipe, HBlinds128)                                  \
    X(19, VBLINDS8, VBlinds8, Blinds, Blinds, V, Centre, 8, kFxWipe, VBlinds8)                                          \
    X(20, VBLINDS16, VBlinds16, Blinds, Blinds, V, Centre, 16, kFxWipe, VBlinds16)                                      \
    X(21, VBLINDS32, VBlinds32, Blinds, Blinds, V, Centre, 32, kFxWipe, VBlinds32)                                      \
    X(22, VBLINDS64, VBlinds64, Blinds, Blinds, V, Centre, 64, kFxWipe, VBlinds64)                                      \
    X(23, VBLINDS128, VBlinds128, Blinds, Blinds, V, Centre, 128, kFxWipe, VBlinds128)                                  \
    X(24, VOPENCURTAIN, VOpenCurtain, Curtains, OpenCurtain, V, Outwards, 0, kFxWipe, VCloseCurtain)                    \
    X(25, VCLOSECURTAIN, VCloseCurtain, Curtains, CloseCurtain, V, Inwards, 0, kFxWipe, VOpenCurtain)                   \
    X(26, HOPENCURTAIN, HOpenCurtain, Curtains, OpenCurtain, H, Outwards, 0, kFxWipe, HCloseCurtain)                    \
    X(27, HCLOSECURTAIN, HCloseCurtain, Curtains, CloseCurtain, H, Inwards, 0, kFxWipe, HOpenCurtain)                   \
    X(28, BARS, Bars, Bars, Bars, None, Centre, 0, kFxWipe, Bars)                                                       \
    X(29, QUARTERS, Quarters, Quarters, Quarters, None, Centre, 0, kFxWipe, Quarters)                                   \
    X(30, REVEALLEFT, RevealLeft, Reveals, RevealColumns, None, West, 0, kFxWipe, RevealRight)                          \
    X(31, REVEALRIGHT, RevealRight, Reveals, RevealColumns, None, East, 0, kFxWipe, RevealLeft)                         \
    X(32, REVEALTOP, RevealTop, Reveals, RevealRows, None, North, 0, kFxWipe, RevealBottom)                             \
    X(33, REVEALBOTTOM, RevealBottom, Reveals, RevealRows, None, South, 0, kFxWipe, RevealTop)                          \
    X(34, VLINES2, VLines2, Lines2, Unused, V, Centre, 0, kFxWipe, VLines2)                                             \
    X(35, HLINES2, HLines2, Lines2, Unused, H, Centre, 0, kFxWipe, HLines2)                                             \
    X(36, HLINES, HLines, Lines, Unused, H, Centre, 0, kFxWipe, HLines)                                                 \
    X(37, VLINES, VLines, Lines, Unused, V, Centre, 0, kFxWipe, VLines)                                                 \
    X(38, RECTCENTER, RectCenter, Rect, Rect, None, Centre, 0, kFxWipe, RectBackCenter)                                 \
    X(39, RECTNORTH, RectNorth, Rect, Rect, None, North, 0, kFxWipe, RectBackNorth)                                     \
    X(40, RECTNORTHEAST, RectNorthEast, Rect, Rect, None, NorthEast, 0, kFxWipe, RectBackNorthEast)                     \
    X(41, RECTEAST, RectEast, Rect, Rect, None, East, 0, kFxWipe, RectBackEast)                                         \
    X(42, RECTSOUTHEAST, RectSouthEast, Rect, Rect, None, SouthEast, 0, kFxWipe, RectBackSouthEast)                     \
    X(43, RECTSOUTH, RectSouth, Rect, Rect, None, South, 0, kFxWipe, RectBackSouth)                                     \
    X(44, RECTSOUTHWEST, RectSouthWest, Rect, Rect, None, SouthWest, 0, kFxWipe, RectBackSouthWest)                     \
    X(45, RECTWEST, RectWest, Rect, Rect, None, West, 0, kFxWipe, RectBackWest)                                         \
    X(46, RECTNORTHWEST, RectNorthWest, Rect, Rect, None, NorthWest, 0, kFxWipe, RectBackNorthWest)                     \
    X(47, SCROLLLEFT, ScrollLeft, Scroll, Unused, None, West, 0, kFxScrolls, ScrollLeft)                                \
    X(48, SCROLLRIGHT, ScrollRight, Scroll, Unused, None, East, 0, kFxScrolls, ScrollRight)                             \
    X(49, SCROLLTOP, ScrollTop, Scroll, Unused, None, North, 0, kFxScrolls, ScrollTop)                                  \
    X(50, SCROLLBOTTOM, ScrollBottom, Scroll, Unused, None, South, 0, kFxScrolls, ScrollBottom)                         \
    X(51, SCROLLNORTHEAST, ScrollNorthEast, Scroll, Unused, None, NorthEast, 0, kFxScrolls, ScrollNorthEast)            \
    X(52, SCROLLSOUTHEAST, ScrollSouthEast, Scroll, Unused, None, SouthEast, 0, kFxScrolls, ScrollSouthEast)            \
    X(53, SCROLLSOUTHWEST, ScrollSouthWest, Scroll, Unused, None, SouthWest, 0, kFxScrolls, ScrollSouthWest)            \
    X(54, SCROLLNORTHWEST, ScrollNorthWest, Scroll, Unused, None, NorthWest, 0, kFxScrolls, ScrollNorthWest)            \
    X(55, STRETCHLEFT, StretchLeft, Stretch, Stretch, None, West, 0, kFxGrowth, StretchLeft)                            \
    X(56, STRETCHRIGHT, StretchRight, Stretch, Stretch, None, East, 0, kFxGrowth, StretchRight)                         \
    X(57, STRETCHTOP, StretchTop, Stretch, Stretch, None, North, 0, kFxGrowth, StretchTop)                              \
    X(58, STRETCHBOTTOM, StretchBottom, Stretch, Stretch, None, South, 0, kFxGrowth, StretchBottom)                     \
    X(59, HSTRETCHCENTER, HStretchCenter, Stretch, Stretch, H, Centre, 0, kFxGrowth, HStretchCenter)                    \
    X(60, VSTRETCHCENTER, VStretchCenter, Stretch, Stretch, V, Centre, 0, kFxGrowth, VStretchCenter)                    \
    X(61, ZOOMCENTER, ZoomCenter, Zoom, Stretch, None, Centre, 0, kFxGrowth, ZoomCenter)                                \
    X(62, ZOOMNORTH, ZoomNorth, Zoom, Stretch, None, North, 0, kFxGrowth, ZoomNorth)                                    \
    X(63, ZOOMNORTHEAST, ZoomNorthEast, Zoom, Stretch, None, NorthEast, 0, kFxGrowth, ZoomNorthEast)                    \
    X(64, ZOOMEAST, ZoomEast, Zoom, Stretch, None, East, 0, kFxGrowth, ZoomEast)                                        \
    X(65, ZOOMSOUTHEAST, ZoomSouthEast, Zoom, Stretch, None, SouthEast, 0, kFxGrowth, ZoomSouthEast)                    \
    X(66, ZOOMSOUTH, ZoomSouth, Zoom, Stretch, None, South, 0, kFxGrowth, ZoomSouth)                                    \
    X(67, ZOOMSOUTHWEST, ZoomSouthWest, Zoom, Stretch, None, SouthWest, 0, kFxGrowth, ZoomSouthWest)                    \
    X(68, ZOOMWEST, ZoomWest, Zoom, Stretch, None, West, 0, kFxGrowth, ZoomWest)                                        \
    X(69, ZOOMNORTHWEST, ZoomNorthWest, Zoom, Stretch, None, NorthWest, 0, kFxGrowth, ZoomNorthWest)                    \
    X(70, HFLOWTOP, HFlowTop, Flow, FlowRows, H, North, 0, kFxGrowth | kFxHidesBackwards, HFlowTop)                     \
    X(71, HFLOWBOTTOM, HFlowBottom, Flow, FlowRows, H, South, 0, kFxGrowth | kFxHidesBackwards, HFlowBottom)            \
    X(72, VFLOWLEFT, VFlowLeft, Flow, FlowColumns, V, West, 0, kFxGrowth | kFxHidesBackwards, VFlowLeft)                \
    X(73, VFLOWRIGHT, VFlowRight, Flow, FlowColumns, V, East, 0, kFxGrowth | kFxHidesBackwards, VFlowRight)             \
    X(74, HOPENGATE, HOpenGate, Gates, Gate, H, Outwards, 0, kFxPictureMove, HOpenGate)                                 \
    X(75, HCLOSEGATE, HCloseGate, Gates, Gate, H, Inwards, 0, kFxClosingGate, HCloseGate)                               \
    X(76, VOPENGATE, VOpenGate, Gates, Gate, V, Outwards, 0, kFxPictureMove, VOpenGate)                                 \
    X(77, VCLOSEGATE, VCloseGate, Gates, Gate, V, Inwards, 0, kFxClosingGate, VCloseGate)                               \
    X(78, PUSHLEFT, PushLeft, Push, Push, None, West, 0, kFxPictureMove, PushLeft)                                      \
    X(79, PUSHRIGHT, PushRight, Push, Push, None, East, 0, kFxPictureMove, PushRight)                                   \
    X(80, PUSHTOP, PushTop, Push, Push, None, North, 0, kFxPictureMove, PushTop)                                        \
    X(81, PUSHBOTTOM, PushBottom, Push, Push, None, South, 0, kFxPictureMove, PushBottom)                               \
    X(82, PUZZLE, Puzzle, Puzzle, Puzzle, None, Centre, 0, kFxWipe, Puzzle)                                             \
    X(83, DIAGONAL, Diagonal, Diagonal, Diagonal, None, Centre, 0, kFxWipe, Diagonal)                                   \
    X(84, ROLLTOP, RollTop, Roll, Roll, None, North, 0, kFxGrowth | kFxHidesBackwards, RollTop)                         \
    X(85, ROLLLEFT, RollLeft, Roll, Roll, None, West, 0, kFxGrowth | kFxHidesBackwards, RollLeft)                       \
    X(86, WALLPAPERTOP, WallpaperTop, Wallpaper, Roll, None, North, 0, kFxGrowth | kFxHidesBackwards, WallpaperTop)     \
    X(87, WALLPAPERLEFT, WallpaperLeft, Wallpaper, Roll, None, West, 0, kFxGrowth | kFxHidesBackwards, WallpaperLeft)   \
    X(88, RECTBACKCENTER, RectBackCenter, RectBack, Rect, None, Centre, 0, kFxWipe, RectCenter)                         \
    X(89, RECTBACKNORTH, RectBackNorth, RectBack, Rect, None, North, 0, kFxWipe, RectNorth)                             \
    X(90, RECTBACKNORTHEAST, RectBackNorthEast, RectBack, Rect, None, NorthEast, 0, kFxWipe, RectNorthEast)             \
    X(91, RECTBACKEAST, RectBackEast, RectBack, Rect, None, East, 0, kFxWipe, RectEast)                                 \
    X(92, RECTBACKSOUTHEAST, RectBackSouthEast, RectBack, Rect, None, SouthEast, 0, kFxWipe, RectSouthEast)             \
    X(93, RECTBACKSOUTH, RectBackSouth, RectBack, Rect, None, South, 0, kFxWipe, RectSouth)                             \
    X(94, RECTBACKSOUTHWEST, RectBackSouthWest, RectBack, Rect, None, SouthWest, 0, kFxWipe, RectSouthWest)             \
    X(95, RECTBACKWEST, RectBackWest, RectBack, Rect, None, West, 0, kFxWipe, RectWest)                                 \
    X(96, RECTBACKNORTHWEST, RectBackNorthWest, RectBack, Rect, None, NorthWest, 0, kFxWipe, RectNorthWest)             \
    X(97, CLOCKWIPE, ClockWipe, ClockWipe, Sweep, None, Centre, 0, kFxShape, ClockWipe)                                 \
    X(98, STAR, Star, Star, Shape, None, Centre, 0, kFxShape, Star)                                                     \
    X(99, HSTRANGEPUSH, HStrangePush, StrangePush, Squeeze, H, Centre, 0, kFxGrowth | kFxHidesBackwards, HStrangePush)  \
    X(100, VSTRANGEPUSH, VStrangePush, StrangePush, Squeeze, V, Centre, 0, kFxGrowth | kFxHidesBackwards, VStrangePush) \
    X(101, SLIDELEFT, SlideLeft, Slide, Slide, None, West, 0, kFxPictureMove, SlideLeft)                                \
    X(102, SLIDERIGHT, SlideRight, Slide, Slide, None, East, 0, kFxPictureMove, SlideRight)                             \
    X(103, SLIDETOP, SlideTop, Slide, Slide, None, North, 0, kFxPictureMove, SlideTop)                                  \
    X(104, SLIDEBOTTOM, SlideBottom, Slide, Slide, None, South, 0, kFxPictureMove, SlideBottom)                         \
    X(105, SPIRAL, Spiral, Spiral, Sweep, None, Centre, 0, kFxWipe, Spiral)                                             \
    X(106, SWISS, Swiss, Swiss, Split, None, Centre, 0, kFxWipe, Swiss)                                                 \
    X(107, QUADRECT, QuadRect, QuadRect, Split, None, Centre, 0, kFxWipe, QuadRect)                                     \
    X(108, HSPLIT, HSplit, Split, Split, H, Centre, 0, kFxWipe, HSplit)                                                 \
    X(109, VSPLIT, VSplit, Split, Split, V, Centre, 0, kFxWipe, VSplit)                                                 \
    X(110, UPNDOWN, UpNDown, UpDown, Card, None, Centre, 0, kFxWipe, UpNDown)                                           \
    X(111, CARDTOP, CardTop, Card, Card, None, North, 0, kFxPictureMove, CardTop)                                       \
    X(112, CARDBOTTOM, CardBottom, Card, Card, None, South, 0, kFxPictureMove, CardBottom)                              \
    X(114, SUN, Sun, Sun, Shape, None, Centre, 0, kFxShape, Sun)                                                        \
    X(115, CROSSFADE, Crossfade, Crossfade, Crossfade, None, Centre, 0, kFxLevels | kFxSnapshotAlways, Crossfade)       \
    X(116, FADE, Fade, Fade, Fade, None, Centre, 0, kFxLevels | kFxMaskAware | kFxSnapshotPlain, Fade)                  \
    X(117, BLEND, Blend, Fade, Fade, None, Centre, 1, kFxLevels | kFxMaskAware | kFxSnapshotPlain, Blend)               \
    X(118, ZOOMIN, ZoomIn, ZoomInOut, Halves, None, Inwards, 0, kFxPictureMove, ZoomIn)                                 \
    X(119, ZOOMOUT, ZoomOut, ZoomInOut, Halves, None, Outwards, 0, kFxPictureMove, ZoomOut)                             \
    X(120, CRUSHLEFT, CrushLeft, Crush, Squeeze, None, West, 0, kFxPictureMove, CrushLeft)                              \
    X(121, CRUSHRIGHT, CrushRight, Crush, Squeeze, None, East, 0, kFxPictureMove, CrushRight)                           \
    X(122, CRUSHTOP, CrushTop, Crush, Squeeze, None, North, 0, kFxPictureMove, CrushTop)                                \
    X(123, CRUSHBOTTOM, CrushBottom, Crush, Squeeze, None, South, 0, kFxPictureMove, CrushBottom)                       \
    X(124, VFLIPCOIN, VFlipCoin, FlipCoin, Halves, V, Centre, 0, kFxPictureMove, VFlipCoin)                             \
    X(125, VLOWFLIPCOIN, VLowFlipCoin, FlipCoin, Halves, V, South, 0, kFxPictureMove, VLowFlipCoin)                     \
    X(126, HFLIPCOIN, HFlipCoin, FlipCoin, Halves, H, Centre, 0, kFxPictureMove, HFlipCoin)                             \
    X(127, HLOWFLIPCOIN, HLowFlipCoin, FlipCoin, Halves, H, East, 0, kFxPictureMove, HLowFlipCoin)                      \
    X(128, TURNDOWNTOP, TurnDownTop, TurnDown, Squeeze, None, North, 0, kFxPictureMove, TurnDownTop)                    \
    X(129, TURNDOWNBOTTOM, TurnDownBottom, TurnDown, Squeeze, None, South, 0, kFxPictureMove, TurnDownBottom)           \
    X(130, TURNDOWNLEFT, TurnDownLeft, TurnDown, Squeeze, None, West, 0, kFxPictureMove, TurnDownLeft)                  \
    X(131, TURNDOWNRIGHT, TurnDownRight, TurnDown, Squeeze, None, East, 0, kFxPictureMove, TurnDownRight)               \
    X(132, PIXELZOOM1, PixelZoom1, PixelZoom, Unused, None, Centre, 1, kFxGrowth | kFxHidesBackwards, PixelZoom1)       \
    X(133, PIXELZOOM2, PixelZoom2, PixelZoom, Unused, None, Centre, 2, kFxPictureMove | kFxMaskAware, PixelZoom2)       \
    X(134, WATER1, Water1, Water, Water, None, Centre, 1, kFxRipple, Water1)                                            \
    X(135, WATER2, Water2, Water, Water, None, Centre, 2, kFxRipple, Water2)                                            \
    X(136, WATER3, Water3, Water, Water, None, Centre, 3, kFxRipple, Water3)                                            \
    X(137, WATER4, Water4, Water, Water, None, Centre, 4, kFxRipple, Water4)                                            \
    X(138, STRUDEL, Strudel, Strudel, Strudel, None, Centre, 0, kFxRipple, Strudel)                                     \
    X(139, DISSOLVE, Dissolve, Dissolve, Dissolve, None, Centre, 0, kFxShape, Dissolve)
// clang-format on

#define VL_FX_ID(id, NAME, Name, Family, Speed, axis, direction, amount, sets, Reverse) constexpr int32_t kFx##Name = id;
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
    FxSpeedRule speed;
    FxVariant variant;
    uint32_t sets;
    int32_t reverse;
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
// The step the effect's speed rule gives for the script's speed (request->step) when the position runs across
// `along` (0 for a rule that needs none).
inline int32_t FxStepOf(const FxRequest *request, int32_t along = 0) {
    return FxSpeedStep(request->row->speed, request->step, along, request->width, request->height);
}
