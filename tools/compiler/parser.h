// Source text to syntax tree.
#pragma once

#include <string_view>

#include "tools/compiler/ast.h"
#include "tools/compiler/compile_error.h"

// Parses a whole script. Returns false with error's line, column and message set (error.file is left alone).
bool ParseScript(std::string_view source, ScriptNode &script, CompileError &error);
