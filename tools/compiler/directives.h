// The "@" directives of a script: display settings, preload declarations and linked files for the applet.
#pragma once

#include <string>

#include "tools/applet/applet_file.h"
#include "tools/compiler/ast.h"
#include "tools/compiler/compile_error.h"

// Fills contents' display settings, preloads and linked files from script.directives. Linked files named by a
// relative path are read from baseDirectory. Returns false with error's position and message set.
bool CollectDirectives(const ScriptNode &script, const std::string &baseDirectory, AppletContents &contents,
                       CompileError &error);
