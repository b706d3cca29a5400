// The effect families, one file each (or a few to a file), and the drawing helpers they share. A family is named
// in the rows of effect_table.h; it reads its variant there (FxVariantOf) and never compares effect ids.
#pragma once

#include "fx/effect_table.h"
#include "fx/fx_engine.h"

#define VL_FX_FAMILIES(X)                                                                                     \
    X(Stripes) X(Blinds) X(Bars) X(Quarters)            /* stripes.cpp */                                   \
    X(Crossfade) X(Fade)                                /* crossfade.cpp */                                 \
    X(Curtains) X(Reveals) X(Lines) X(Lines2)           /* curtains.cpp */                                  \
    X(Rect) X(RectBack)                                 /* rect_wipes.cpp */                                \
    X(Puzzle) X(Diagonal)                               /* puzzle.cpp */                                    \
    X(Split) X(QuadRect) X(Swiss)                       /* splits.cpp */                                    \
    X(Spiral)                                           /* spiral.cpp */                                    \
    X(Card) X(UpDown)                                   /* cards.cpp */                                     \
    X(Push) X(Gates) X(Slide)                           /* pushes.cpp, gates.cpp, slides.cpp */             \
    X(Flow) X(StrangePush)                              /* flows.cpp, strange_push.cpp */                   \
    X(TurnDown) X(ZoomInOut) X(FlipCoin) X(Crush)       /* turn_downs.cpp, zoom_in_out.cpp, flip_coins.cpp */ \
    X(Stretch) X(Zoom)                                  /* stretches.cpp */                                 \
    X(Scroll)                                           /* scrolls.cpp */                                   \
    X(Dissolve)                                         /* dissolve.cpp */                                  \
    X(PixelZoom)                                        /* pixel_zoom.cpp */                                \
    X(Water) X(Strudel)                                 /* water.cpp */                                     \
    X(Sun) X(Star)                                      /* sun_star.cpp */                                  \
    X(Roll) X(Wallpaper)                                /* roll.cpp */                                      \
    X(ClockWipe)                                        /* clock_wipe.cpp */

#define VL_FX_DECLARE_FAMILY(F) extern const FxFamily F##Family;
VL_FX_FAMILIES(VL_FX_DECLARE_FAMILY)
#undef VL_FX_DECLARE_FAMILY

// moving_pictures.cpp: the rectangle (sx, sy, width, height) of an area-sized picture at (dx, dy) of the effect's
// area, cut to the area, opaque, into the output with the request's blit flags, and uploaded.
void DrawFxPictureRect(FxRequest *request, const HostBitmap *picture, int32_t sx, int32_t sy, int32_t dx, int32_t dy,
                       int32_t width, int32_t height);

// scaled_pictures.cpp: the rectangle (sx, sy) of a picture scaled (unsmoothed) to width x height at (dx, dy) of
// the area, through an area-sized scratch bitmap kept between frames. With a mask or alpha and a work bitmap it is
// composed over the old picture there first. Returns ScaleImage's error; an empty size draws nothing.
struct FxScratch {
    HostBitmap *bitmap;
};
int DrawFxScaled(FxRequest *request, FxScratch *scratch, const HostBitmap *picture, const MaskPlane *mask,
                 const AlphaPlane *alpha, int32_t sx, int32_t sy, int32_t sourceWidth, int32_t sourceHeight,
                 int32_t dx, int32_t dy, int32_t width, int32_t height, HostBitmap *work);
// The finish of a family whose state begins with its FxScratch.
void FreeFxScratch(FxRequest *request, int flag);

