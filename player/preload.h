// Preloading: the resources an applet declares are created before the script runs, by calling the script
// commands themselves by name, grouped by kind in a fixed order (LoadBGPic, LoadBrush, LoadAnim, OpenMusic,
// LoadSample, CreateButton, CreateKeyDown, LoadSprite, OpenFile, OpenFont), then CreateDisplay from the display
// settings. PreloadActive is 1 meanwhile.
#pragma once

#include <string>

#include "player/applet_loader.h"
#include "runtime/vm/vm.h"

// Calls the global command `name` (lower-case) in protected mode with the arguments. 0, the command's error, or
// LibraryNotRegistered(libraryName) when no such command is registered.
int CallCommandByName(VMState *vm, const char *name, const char *libraryName,
                      const std::vector<AppletArgument> &arguments);

// Runs every declaration; stops at the first error and returns it (0 when all succeeded).
int PreloadResources(VMState *vm, const LoadedApplet &applet);
