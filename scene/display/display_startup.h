// The first display at start-up, the backfill behind a full screen, and switching between window and full
// screen.
#pragma once

#include <cstdint>

#include "runtime/app/startup_config.h"
#include "scene/display/display_record.h"

extern int AutomaticBackfill;       // the start-up's modes 2 and 4 made the black backfill
extern ObjectId BackfillDisplayId;  // {0, handle}; handle null: none
extern ObjectId BackfillBGPicId;
extern ObjectId BackfillBrushId;

// Rebuilds of images loaded before a screen existed that later libraries supply; null: nothing to rebuild. Sprite
// frames are planes from the moment they are made, even while preloading, so the sprites' hook stays null.
extern int (*RebuildAllAnimsHook)();
extern int (*RebuildAllSpritesHook)();
extern int (*MakePendingFontBitmapsHook)();
// The colour depth of the current screen (tests replace it to meet a screen of another depth); null asks the
// host.
extern int32_t (*ScreenDepthHook)();

// The screen size a display needs with the configured screen; may make the display BORDERLESS so that it fits.
void ComputeDisplayScreenSize(const DisplayConfig &config, DisplayRecord *display, int32_t *width, int32_t *height);
// Called once after the preloads: display modes, rebuilds, backfill, "And Action!", opening the displays.
int OpenFirstDisplay(VMState *vm, DisplayConfig *config, StartupConfig *startup);
// The backfill display, its picture and (for TEXTURE and PICTURE) its brush.
int BuildDisplayBackground(VMState *vm, const BackfillSettings &backfill);
// fullScreen 1 opens the own screen at width x height, 0 returns to the desktop. 0, kErrColorResolution or an error.
int SwitchDisplayMode(VMState *vm, int fullScreen, int32_t width, int32_t height);
// The mode-switch key of the display: switches only while it is the only display; 1 when it switched.
int SwitchModeByKey(VMState *vm, DisplayRecord *display);
