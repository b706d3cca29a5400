// Syntax tree to function prototypes for the VM (instruction set in runtime/vm/opcodes.h).
#pragma once

#include <string>

#include "runtime/vm/proto.h"
#include "tools/compiler/ast.h"
#include "tools/compiler/compile_error.h"

// Compiles the script's main function and every function inside it into main (marked as the main chunk, with
// its labels). Returns false with error's line, column and message set (error.file is left alone).
// Calls to a global that the script never assigns and that is no registered command add a warning (with
// error.file as their file) to warnings when it is given.
bool GenerateCode(const ScriptNode &script, const std::string &chunkName, FunctionProto &main, CompileError &error,
                  std::vector<CompileError> *warnings = nullptr);
