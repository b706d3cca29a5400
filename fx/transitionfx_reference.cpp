// Reference rows of the transitionfx library: what tools/reference writes into docs/commands/transitionfx.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "DisplayBrushFX", .synopsis = "DisplayBrushFX(id, x, y[, options | effect, speed, parameter])",
     .arguments = {3, 6},
     .text = "Draws a brush at (x, y) with a transition effect (#CROSSFADE, #SCROLLWEST, #RANDOMEFFECT, "
             "...). The effect, its speed and a parameter some effects use are given as arguments or in the "
             "options table; with Async the command returns at once and AsyncDrawFrame plays the effect.\n"
             "\n"
             "Input while an effect plays (without Async), the same for DisplayTransitionFX: keys and clicks "
             "that come then wait in the queue, and the first WaitEvent or CheckEvent after the effect handles them, except those that "
             "have waited longer than the event timeout by then (1500 ms unless SetEventTimeout sets another), "
             "which are dropped. So in a slide show that starts a 1.4 s transition at each key, three quick "
             "presses move two slides: the first starts a transition, the second waits for its end and starts "
             "the next, and the third, waiting for that one too, is too old by then. A longer SetEventTimeout "
             "keeps such presses.\n"
             "\n"
             "Speed, the same for every command of this page: left out it is #NORMALSPEED; #FASTSPEED and "
             "#SLOWSPEED are the other named speeds, each giving a step of the effect's own. A number is the "
             "step the effect makes each frame, and frames come 60 a second (SetFPSLimit sets another rate; "
             "with Async each AsyncDrawFrame draws one). A higher speed is faster, except for the WATER "
             "effects; a speed below 1 counts as 1, the slowest (as #NORMALSPEED for CROSSFADE, FADE and "
             "BLEND), and a speed past an effect's limit as that limit. What a step is differs by effect, so "
             "one speed gives very different times: at 640 x 400, Speed 10 plays #CROSSFADE in 26 frames "
             "(0.4 s), #HSTRIPES in 64 (1.1 s) and #PUZZLE in 2665 (44 s). Where the step is pixels the time "
             "grows with the size. RECT, RECTBACK and DIAGONAL effects go back to a step of 1, the slowest, "
             "when Speed passes a quarter of the way, as HCLOSECURTAIN does past half of it. Each family's "
             "step, and speeds measured to take about a second (50 to 70 frames) at 640 x 400:\n"
             "\n"
             "| effects | the step | about 1 s at 640 x 400 |\n"
             "|---|---|---|\n"
             "| HSTRIPES..., VSTRIPES... | pixels | HSTRIPES 10, VSTRIPES 7 |\n"
             "| HBLINDS8 ... VBLINDS128 | pixels of each blind, as wide as the name's number, so that many "
             "frames at most | BLINDS64 1, BLINDS128 2 |\n"
             "| VOPENCURTAIN, VCLOSECURTAIN, HOPENCURTAIN, HCLOSECURTAIN | pixels | V 5, H 2 |\n"
             "| BARS | pixels, 13 frames at most | none (0.2 s at Speed 1) |\n"
             "| QUARTERS | pixels | 2 |\n"
             "| REVEALLEFT, REVEALRIGHT, REVEALTOP, REVEALBOTTOM | pixels | LEFT 10, TOP 5 |\n"
             "| VLINES, HLINES, VLINES2, HLINES2 | none: Speed is ignored | none: VLINES 641 frames (10.7 s), "
             "HLINES 401, VLINES2 321, HLINES2 201 |\n"
             "| RECT..., RECTBACK... | pixels of the longer side | 10 |\n"
             "| SCROLL... | pixels | LEFT and the diagonals 10, TOP 7 |\n"
             "| STRETCH..., HSTRETCHCENTER, VSTRETCHCENTER, ZOOMCENTER, ZOOMNORTH ... | pixels | STRETCHLEFT, "
             "VSTRETCHCENTER and ZOOMCENTER 10, STRETCHTOP 7 |\n"
             "| HFLOWTOP, HFLOWBOTTOM, VFLOWLEFT, VFLOWRIGHT | pixels, at most 30 | HFLOWTOP 7, VFLOWLEFT 10 |\n"
             "| HOPENGATE, HCLOSEGATE, VOPENGATE, VCLOSEGATE | pixels | HOPENGATE and HCLOSEGATE 3, VOPENGATE 5 "
             "|\n"
             "| PUSH..., CRUSH..., TURNDOWN... | pixels | LEFT 10, TOP 7 |\n"
             "| SLIDE... | pixels, at most 30 | SLIDELEFT 20, SLIDETOP 13 |\n"
             "| CARDTOP, CARDBOTTOM | pixels, at most 30 | CARDTOP 7 |\n"
             "| ZOOMIN, ZOOMOUT, HFLIPCOIN, VFLIPCOIN, HLOWFLIPCOIN, VLOWFLIPCOIN | pixels | ZOOMIN, ZOOMOUT and "
             "HFLIPCOIN 20, VFLIPCOIN 13 |\n"
             "| HSTRANGEPUSH, VSTRANGEPUSH | pixels | H 10, V 6 |\n"
             "| PUZZLE | the side of a square piece in pixels, at least 5; one piece a frame, so the time falls "
             "with the square of Speed | 80 (Speed 10: 44 s, 5 and below: 174 s) |\n"
             "| DIAGONAL | pixels | 17 |\n"
             "| ROLLTOP, ROLLLEFT, WALLPAPERTOP, WALLPAPERLEFT | fifths of a pixel (Speed 5 is one pixel), at "
             "most 8 pixels | TOP 40 and up (50 frames); LEFT 40 and up takes 80 |\n"
             "| CLOCKWIPE, SPIRAL | the sweep's step, at most 30 | CLOCKWIPE 30 (70 frames); SPIRAL 30 takes 123 "
             "|\n"
             "| STAR, SUN | the shape's growth, at most 100 | STAR 40, SUN 15 |\n"
             "| SWISS, QUADRECT, HSPLIT, VSPLIT, UPNDOWN | pixels, at most 30 | SWISS 5, QUADRECT 10, HSPLIT 3, "
             "VSPLIT 2, UPNDOWN 27 |\n"
             "| CROSSFADE | levels of 255, at most 120 | 4 |\n"
             "| FADE, BLEND | levels of 255, twice over, at most 255 | 8 |\n"
             "| DISSOLVE | 1 to 8 | 4 |\n"
             "| STRUDEL | 2 to 16 | 12 |\n"
             "| WATER1 ... WATER4 | none: Speed is the frames of each half, 5 to 100, so higher is slower | 30 "
             "|\n"
             "| PIXELZOOM1, PIXELZOOM2 | none: Speed is ignored | none: 25 and 49 frames |",
     .options = "Type, Speed, Parameter, Async, DX, DY, ForceRealtimeLayers, layers, UndoLevel",
     .errors = {kErrBrushNotFound},
     .example = "CreateBrush(1, 200, 120, $3060C0)\n"
                "DisplayBrushFX(1, #CENTER, #CENTER, {Type = #CROSSFADE, Speed = 10})"},
    {.name = "DisplayTextObjectFX",
     .synopsis = "DisplayTextObjectFX(id, x, y[, options | effect, speed, parameter])", .arguments = {3, 6},
     .text = "Draws a text object with a transition effect, as DisplayBrushFX (whose page says what Speed "
             "means).",
     .options = "Type, Speed, Parameter, Async, DX, DY, ForceRealtimeLayers, layers, UndoLevel",
     .errors = {kErrTextObjectNotFound}},
    {.name = "DisplayTransitionFX",
     .synopsis = "DisplayTransitionFX(id[, options | effect, speed, parameter])", .arguments = {1, 4},
     .text = "Shows a new background picture on the display through a transition effect from the current one, as "
             "DisplayBGPic does, at the position X, Y of the options when given. It always plays the whole "
             "effect before it returns: Async is refused with 1055, even Async = False. DisplayBrushFX's page says "
             "what Speed means and how long each effect takes. Keys and clicks that come while the effect plays "
             "wait for its end, and those older than the event timeout by then (1500 ms unless SetEventTimeout "
             "sets another) are dropped, as DisplayBrushFX's page shows in a slide show.\n"
             "\n"
             "The new picture brings its own layers, as with DisplayBGPic: the layers of the picture shown before "
             "leave with it, and the picture's own come back as they were when it was last shown. DisplayBGPic's "
             "page has an example that keeps a clock on every slide.",
     .options = "Type, Speed, Parameter, Async, X, Y, Active, BGPic, Borderless, Color, DragRegion, DX, DY, "
                "FillStyle, FitScale, Fixed, ForceRealtimeLayers, Height, HidePointer, KeepProportions, "
                "layers, NoClose, NoHide, NoModeSwitch, ScaleHeight, ScaleMode, ScaleWidth, Sizeable, "
                "SizeRegion, SmoothScale, Title, UndoLevel, UseQuartz, Width",
     .errors = {kErrWrongUsage, kErrBGPicNotFound},
     .example = "LoadBGPic(2, \"next.png\")\n"
                "DisplayTransitionFX(2, #HSTRIPES, 10)"},
    {.name = "DisplayBGPicPartFX",
     .synopsis = "DisplayBGPicPartFX(id, x, y, width, height[, options | effect, speed, parameter, dx, dy, "
                 "layers])",
     .arguments = {5, 11},
     .text = "Draws a rectangle of a background picture with a transition effect, as DisplayBGPicPart; "
             "Speed as DisplayBrushFX says.",
     .options = "Type, Speed, Parameter, Async, DX, DY, Layers, ForceRealtimeLayers, UndoLevel",
     .errors = {kErrWrongUsage, kErrBGPicNotFound}},
    {.name = "UndoFX", .synopsis = "UndoFX(type, id[, options | effect, speed, parameter, level])",
     .arguments = {2, 6},
     .text = "Removes an object drawn earlier (for example #BRUSH and its id) with a transition effect; "
             "needs layers. level picks which drawing of the object when there are several. Speed as "
             "DisplayBrushFX says.",
     .options = "Type, Speed, Parameter, Async, UndoLevel, DX, DY, ForceRealtimeLayers, layers",
     .errors = {kErrLayersRequired, kErrObjectNotFound}},
    {.name = "ShowLayerFX", .synopsis = "ShowLayerFX(layer[, options | effect, speed, parameter])",
     .arguments = {1, 4},
     .text = "Shows a hidden layer with a transition effect; Speed as DisplayBrushFX says.",
     .options = "Type, Speed, Parameter, Async, BGPic, BGPicEmu, DX, DY, ForceRealtimeLayers, layers, "
                "UndoLevel",
     .errors = {kErrLayerOutOfRange, kErrLayerHasAsyncDraw}},
    {.name = "HideLayerFX", .synopsis = "HideLayerFX(layer[, options | effect, speed, parameter])",
     .arguments = {1, 4},
     .text = "Hides a layer with a transition effect; Speed as DisplayBrushFX says.",
     .options = "Type, Speed, Parameter, Async, DX, DY, ForceRealtimeLayers, layers, UndoLevel",
     .errors = {kErrLayersRequired, kErrLayerOutOfRange, kErrLayerNameNotFound, kErrLayerHasAsyncDraw}},
    {.name = "RemoveLayerFX", .synopsis = "RemoveLayerFX(layer[, options | effect, speed, parameter])",
     .arguments = {1, 4},
     .text = "Removes a layer with a transition effect; Speed as DisplayBrushFX says.",
     .options = "Type, Speed, Parameter, Async, DX, DY, ForceRealtimeLayers, layers, UndoLevel",
     .errors = {kErrLayerOutOfRange}},
    {.name = "GetRandomFX", .synopsis = "effect = GetRandomFX(forbackground)", .arguments = {1, 1},
     .text = "Returns a randomly chosen effect; with forbackground set to True only effects that suit "
             "DisplayTransitionFX."},
    {},
};

const ConstantDoc kConstantDocs[] = {
    {"HSTRIPES", "Transition effect: stripes wipe, horizontal, centre."},
    {"HSTRIPES2", "Transition effect: stripes wipe, horizontal, centre, variant 2."},
    {"HSTRIPES4", "Transition effect: stripes wipe, horizontal, centre, variant 4."},
    {"HSTRIPES8", "Transition effect: stripes wipe, horizontal, centre, variant 8."},
    {"HSTRIPES16", "Transition effect: stripes wipe, horizontal, centre, variant 16."},
    {"HSTRIPES32", "Transition effect: stripes wipe, horizontal, centre, variant 32."},
    {"HSTRIPES64", "Transition effect: stripes wipe, horizontal, centre, variant 64."},
    {"VSTRIPES", "Transition effect: stripes wipe, vertical, centre."},
    {"VSTRIPES2", "Transition effect: stripes wipe, vertical, centre, variant 2."},
    {"VSTRIPES4", "Transition effect: stripes wipe, vertical, centre, variant 4."},
    {"VSTRIPES8", "Transition effect: stripes wipe, vertical, centre, variant 8."},
    {"VSTRIPES16", "Transition effect: stripes wipe, vertical, centre, variant 16."},
    {"VSTRIPES32", "Transition effect: stripes wipe, vertical, centre, variant 32."},
    {"VSTRIPES64", "Transition effect: stripes wipe, vertical, centre, variant 64."},
    {"HBLINDS8", "Transition effect: blinds, horizontal, centre, variant 8."},
    {"HBLINDS16", "Transition effect: blinds, horizontal, centre, variant 16."},
    {"HBLINDS32", "Transition effect: blinds, horizontal, centre, variant 32."},
    {"HBLINDS64", "Transition effect: blinds, horizontal, centre, variant 64."},
    {"HBLINDS128", "Transition effect: blinds, horizontal, centre, variant 128."},
    {"VBLINDS8", "Transition effect: blinds, vertical, centre, variant 8."},
    {"VBLINDS16", "Transition effect: blinds, vertical, centre, variant 16."},
    {"VBLINDS32", "Transition effect: blinds, vertical, centre, variant 32."},
    {"VBLINDS64", "Transition effect: blinds, vertical, centre, variant 64."},
    {"VBLINDS128", "Transition effect: blinds, vertical, centre, variant 128."},
    {"VOPENCURTAIN", "Transition effect: curtains, vertical, outwards."},
    {"VCLOSECURTAIN", "Transition effect: curtains, vertical, inwards."},
    {"HOPENCURTAIN", "Transition effect: curtains, horizontal, outwards."},
    {"HCLOSECURTAIN", "Transition effect: curtains, horizontal, inwards."},
    {"BARS", "Transition effect: bars, centre."},
    {"QUARTERS", "Transition effect: quarters, centre."},
    {"REVEALLEFT", "Transition effect: reveal, west."},
    {"REVEALRIGHT", "Transition effect: reveal, east."},
    {"REVEALTOP", "Transition effect: reveal, north."},
    {"REVEALBOTTOM", "Transition effect: reveal, south."},
    {"VLINES2", "Transition effect: line wipe, vertical, centre."},
    {"HLINES2", "Transition effect: line wipe, horizontal, centre."},
    {"HLINES", "Transition effect: line wipe, horizontal, centre."},
    {"VLINES", "Transition effect: line wipe, vertical, centre."},
    {"RECTCENTER", "Transition effect: rectangles opening, centre."},
    {"RECTNORTH", "Transition effect: rectangles opening, north."},
    {"RECTNORTHEAST", "Transition effect: rectangles opening, north east."},
    {"RECTEAST", "Transition effect: rectangles opening, east."},
    {"RECTSOUTHEAST", "Transition effect: rectangles opening, south east."},
    {"RECTSOUTH", "Transition effect: rectangles opening, south."},
    {"RECTSOUTHWEST", "Transition effect: rectangles opening, south west."},
    {"RECTWEST", "Transition effect: rectangles opening, west."},
    {"RECTNORTHWEST", "Transition effect: rectangles opening, north west."},
    {"SCROLLLEFT", "Transition effect: scroll in, west."},
    {"SCROLLRIGHT", "Transition effect: scroll in, east."},
    {"SCROLLTOP", "Transition effect: scroll in, north."},
    {"SCROLLBOTTOM", "Transition effect: scroll in, south."},
    {"SCROLLNORTHEAST", "Transition effect: scroll in, north east."},
    {"SCROLLSOUTHEAST", "Transition effect: scroll in, south east."},
    {"SCROLLSOUTHWEST", "Transition effect: scroll in, south west."},
    {"SCROLLNORTHWEST", "Transition effect: scroll in, north west."},
    {"STRETCHLEFT", "Transition effect: stretch, west."},
    {"STRETCHRIGHT", "Transition effect: stretch, east."},
    {"STRETCHTOP", "Transition effect: stretch, north."},
    {"STRETCHBOTTOM", "Transition effect: stretch, south."},
    {"HSTRETCHCENTER", "Transition effect: stretch, horizontal, centre."},
    {"VSTRETCHCENTER", "Transition effect: stretch, vertical, centre."},
    {"ZOOMCENTER", "Transition effect: zoom, centre."},
    {"ZOOMNORTH", "Transition effect: zoom, north."},
    {"ZOOMNORTHEAST", "Transition effect: zoom, north east."},
    {"ZOOMEAST", "Transition effect: zoom, east."},
    {"ZOOMSOUTHEAST", "Transition effect: zoom, south east."},
    {"ZOOMSOUTH", "Transition effect: zoom, south."},
    {"ZOOMSOUTHWEST", "Transition effect: zoom, south west."},
    {"ZOOMWEST", "Transition effect: zoom, west."},
    {"ZOOMNORTHWEST", "Transition effect: zoom, north west."},
    {"HFLOWTOP", "Transition effect: flow, horizontal, north."},
    {"HFLOWBOTTOM", "Transition effect: flow, horizontal, south."},
    {"VFLOWLEFT", "Transition effect: flow, vertical, west."},
    {"VFLOWRIGHT", "Transition effect: flow, vertical, east."},
    {"HOPENGATE", "Transition effect: gates, horizontal, outwards."},
    {"HCLOSEGATE", "Transition effect: gates, horizontal, inwards."},
    {"VOPENGATE", "Transition effect: gates, vertical, outwards."},
    {"VCLOSEGATE", "Transition effect: gates, vertical, inwards."},
    {"PUSHLEFT", "Transition effect: push out the old picture, west."},
    {"PUSHRIGHT", "Transition effect: push out the old picture, east."},
    {"PUSHTOP", "Transition effect: push out the old picture, north."},
    {"PUSHBOTTOM", "Transition effect: push out the old picture, south."},
    {"PUZZLE", "Transition effect: puzzle pieces, centre."},
    {"DIAGONAL", "Transition effect: diagonal wipe, centre."},
    {"ROLLTOP", "Transition effect: roll, north."},
    {"ROLLLEFT", "Transition effect: roll, west."},
    {"WALLPAPERTOP", "Transition effect: wallpaper roll, north."},
    {"WALLPAPERLEFT", "Transition effect: wallpaper roll, west."},
    {"RECTBACKCENTER", "Transition effect: rectangles closing, centre."},
    {"RECTBACKNORTH", "Transition effect: rectangles closing, north."},
    {"RECTBACKNORTHEAST", "Transition effect: rectangles closing, north east."},
    {"RECTBACKEAST", "Transition effect: rectangles closing, east."},
    {"RECTBACKSOUTHEAST", "Transition effect: rectangles closing, south east."},
    {"RECTBACKSOUTH", "Transition effect: rectangles closing, south."},
    {"RECTBACKSOUTHWEST", "Transition effect: rectangles closing, south west."},
    {"RECTBACKWEST", "Transition effect: rectangles closing, west."},
    {"RECTBACKNORTHWEST", "Transition effect: rectangles closing, north west."},
    {"CLOCKWIPE", "Transition effect: clock wipe, centre."},
    {"STAR", "Transition effect: star, centre."},
    {"HSTRANGEPUSH", "Transition effect: twisted push, horizontal, centre."},
    {"VSTRANGEPUSH", "Transition effect: twisted push, vertical, centre."},
    {"SLIDELEFT", "Transition effect: slide in, west."},
    {"SLIDERIGHT", "Transition effect: slide in, east."},
    {"SLIDETOP", "Transition effect: slide in, north."},
    {"SLIDEBOTTOM", "Transition effect: slide in, south."},
    {"SPIRAL", "Transition effect: spiral, centre."},
    {"SWISS", "Transition effect: swiss cross, centre."},
    {"QUADRECT", "Transition effect: four rectangles, centre."},
    {"HSPLIT", "Transition effect: split, horizontal, centre."},
    {"VSPLIT", "Transition effect: split, vertical, centre."},
    {"UPNDOWN", "Transition effect: up and down, centre."},
    {"CARDTOP", "Transition effect: card turn, north."},
    {"CARDBOTTOM", "Transition effect: card turn, south."},
    {"SUN", "Transition effect: sun rays, centre."},
    {"CROSSFADE", "Transition effect: crossfade, centre."},
    {"FADE", "Transition effect: fade through a colour, centre."},
    {"BLEND", "Transition effect: fade through a colour, centre, variant 1."},
    {"ZOOMIN", "Transition effect: zoom in and out, inwards."},
    {"ZOOMOUT", "Transition effect: zoom in and out, outwards."},
    {"CRUSHLEFT", "Transition effect: crush, west."},
    {"CRUSHRIGHT", "Transition effect: crush, east."},
    {"CRUSHTOP", "Transition effect: crush, north."},
    {"CRUSHBOTTOM", "Transition effect: crush, south."},
    {"VFLIPCOIN", "Transition effect: coin flip, vertical, centre."},
    {"VLOWFLIPCOIN", "Transition effect: coin flip, vertical, south."},
    {"HFLIPCOIN", "Transition effect: coin flip, horizontal, centre."},
    {"HLOWFLIPCOIN", "Transition effect: coin flip, horizontal, east."},
    {"TURNDOWNTOP", "Transition effect: page turn, north."},
    {"TURNDOWNBOTTOM", "Transition effect: page turn, south."},
    {"TURNDOWNLEFT", "Transition effect: page turn, west."},
    {"TURNDOWNRIGHT", "Transition effect: page turn, east."},
    {"PIXELZOOM1", "Transition effect: pixel zoom, centre, variant 1."},
    {"PIXELZOOM2", "Transition effect: pixel zoom, centre, variant 2."},
    {"WATER1", "Transition effect: water, centre, variant 1."},
    {"WATER2", "Transition effect: water, centre, variant 2."},
    {"WATER3", "Transition effect: water, centre, variant 3."},
    {"WATER4", "Transition effect: water, centre, variant 4."},
    {"STRUDEL", "Transition effect: whirl, centre."},
    {"DISSOLVE", "Transition effect: dissolve, centre."},
    {"RANDOMPARAMETER", "Transition effects: pick the parameter at random."},
    {"RANDOMEFFECT", "Transition effects: pick an effect at random."},
    {"SCROLLWEST", "Transition effect: the same as #SCROLLLEFT."},
    {"SCROLLEAST", "Transition effect: the same as #SCROLLRIGHT."},
    {"SCROLLNORTH", "Transition effect: the same as #SCROLLTOP."},
    {"SCROLLSOUTH", "Transition effect: the same as #SCROLLBOTTOM."},
    {nullptr, nullptr},
};

} // namespace

extern const LibraryReference kTransitionFxReference;
const LibraryReference kTransitionFxReference = {
    "Transition effects: showing brushes, text, background pictures and layers with wipes, fades, "
    "scrolls and more than a hundred other effects.",
    kCommandDocs, kConstantDocs};
