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
