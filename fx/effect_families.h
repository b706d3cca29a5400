// The step and finish functions of the effect families, one file each; effect_table.cpp maps ids to them.
#pragma once

#include "fx/fx_engine.h"

// stripes.cpp: stripes, blinds, bars and quarters.
int HStripesStep(FxRequest *request, int *done);
int VStripesStep(FxRequest *request, int *done);
int HBlindsStep(FxRequest *request, int *done);
int VBlindsStep(FxRequest *request, int *done);
int BarsStep(FxRequest *request, int *done);
int QuartersStep(FxRequest *request, int *done);

// crossfade.cpp: CROSSFADE, FADE and BLEND.
int CrossfadeStep(FxRequest *request, int *done);
void CrossfadeFinish(FxRequest *request, int flag);
int FadeStep(FxRequest *request, int *done);
void FadeFinish(FxRequest *request, int flag);

// curtains.cpp: curtains (24..27), reveals (30..33) and line wipes (34..37).
int CurtainsStep(FxRequest *request, int *done);
int RevealsStep(FxRequest *request, int *done);
int LinesWipeStep(FxRequest *request, int *done);

// rect_wipes.cpp: RECT (38..46) and RECTBACK (88..96).
int RectStep(FxRequest *request, int *done);
int RectBackStep(FxRequest *request, int *done);

// puzzle.cpp: PUZZLE and DIAGONAL.
int PuzzleStep(FxRequest *request, int *done);
void PuzzleFinish(FxRequest *request, int flag);
int DiagonalStep(FxRequest *request, int *done);

// splits.cpp: HSPLIT, VSPLIT, QUADRECT and SWISS.
int SplitStep(FxRequest *request, int *done);
int QuadRectStep(FxRequest *request, int *done);
int SwissStep(FxRequest *request, int *done);

// spiral.cpp: SPIRAL.
int SpiralStep(FxRequest *request, int *done);

// cards.cpp: CARDTOP, CARDBOTTOM and UPNDOWN.
int CardStep(FxRequest *request, int *done);
int UpDownStep(FxRequest *request, int *done);

// pushes.cpp, gates.cpp, slides.cpp: whole pictures at moving offsets.
int PushStep(FxRequest *request, int *done);
int GatesStep(FxRequest *request, int *done);
int SlideStep(FxRequest *request, int *done);

// flows.cpp and strange_push.cpp: frames composed in a work bitmap of the area.
int FlowStep(FxRequest *request, int *done);
void FlowFinish(FxRequest *request, int flag);
int StrangePushStep(FxRequest *request, int *done);
void StrangePushFinish(FxRequest *request, int flag);

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

// turn_downs.cpp, zoom_in_out.cpp, flip_coins.cpp, stretches.cpp: whole pictures or halves squeezed each frame.
int TurnDownStep(FxRequest *request, int *done);
int ZoomInOutStep(FxRequest *request, int *done);
int FlipCoinStep(FxRequest *request, int *done);
int CrushStep(FxRequest *request, int *done);
int StretchZoomStep(FxRequest *request, int *done);
void StretchZoomFinish(FxRequest *request, int flag);

// scrolls.cpp: SCROLLLEFT..SCROLLNORTHWEST, a move of the move engine stepped once a frame.
int ScrollStep(FxRequest *request, int *done);
void ScrollFinish(FxRequest *request, int flag);

// dissolve.cpp: DISSOLVE.
int DissolveStep(FxRequest *request, int *done);
void DissolveFinish(FxRequest *request, int flag);

// pixel_zoom.cpp: PIXELZOOM1 and PIXELZOOM2.
int PixelZoomStep(FxRequest *request, int *done);
void PixelZoomFinish(FxRequest *request, int flag);

// water.cpp: WATER1..WATER4 and STRUDEL.
int WaterStep(FxRequest *request, int *done);
void WaterFinish(FxRequest *request, int flag);
int StrudelStep(FxRequest *request, int *done);
void StrudelFinish(FxRequest *request, int flag);

// sun_star.cpp: SUN and STAR.
int SunStep(FxRequest *request, int *done);
int StarStep(FxRequest *request, int *done);
void ShapeFinish(FxRequest *request, int flag);

// roll.cpp: ROLLTOP, ROLLLEFT, WALLPAPERTOP and WALLPAPERLEFT.
int RollStep(FxRequest *request, int *done);
void RollFinish(FxRequest *request, int flag);

// clock_wipe.cpp: CLOCKWIPE.
int ClockWipeStep(FxRequest *request, int *done);
void ClockWipeFinish(FxRequest *request, int flag);
