// A compile error: where it is and what is wrong. The compiler stops at the first one.
#pragma once

#include <string>

struct CompileError {
    std::string file;
    int line = 0;
    int column = 0;
    std::string message;
};

// "file:line:column: message", the form editors jump to.
inline std::string FormatCompileError(const CompileError &error) {
    return error.file + ":" + std::to_string(error.line) + ":" + std::to_string(error.column) + ": " + error.message;
}

// Expressions and blocks nest at most this deep; deeper source is refused so the recursive parser and the
// code generator stay within a small, fixed C++ stack.
constexpr int kMaxNesting = 200;
