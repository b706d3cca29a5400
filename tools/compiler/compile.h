// The applet compiler's entry points: script source to a function prototype, or to a whole applet.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/vm/proto.h"
#include "tools/applet/applet_file.h"
#include "tools/compiler/compile_error.h"

// Compiles source (named fileName in errors and in the chunk) into the main function. Returns false with error
// filled (file, line, column, message). Warnings (calls to unknown commands) go to warnings when it is given.
bool CompileScript(std::string_view source, const std::string &fileName, FunctionProto &main, CompileError &error,
                   std::vector<CompileError> *warnings = nullptr);

// Compiles source into applet contents: the script name, the dumped chunk, its labels and what the directives
// declare. Linked files are read relative to baseDirectory.
bool CompileApplet(std::string_view source, const std::string &fileName, const std::string &baseDirectory,
                   AppletContents &contents, CompileError &error, std::vector<CompileError> *warnings = nullptr);

// The whole file for an applet: "VLA", or "VLZ" when compressed. Returns false with a message.
bool BuildAppletFile(const AppletContents &contents, bool compressed, std::vector<uint8_t> &out, std::string &error);
