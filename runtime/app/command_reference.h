// The script author's reference for a command library: one row per command, beside the library's registration
// table, and the meaning of each constant. tools/reference turns these rows into docs/commands/*.md and the name
// list the compiler checks calls against; a test fails when either differs from what the tables give.
#pragma once

// The argument counts a handler's CheckArgs lets through: from minimum to maximum, or any number from minimum on
// when the maximum is kNoMaximum. tools/reference asks each handler for them and compares.
constexpr int kNoMaximum = -1;
struct ArgumentRange {
    int minimum = -1;
    int maximum = -1;
};

// One command, written with designated initializers: its name as registered; how a call looks ("id =
// LoadBrush(id, file[, options])"), allowing the row's most arguments and at least its fewest; the argument counts;
// whether it can observe or change the display (a batch of deferred drawing is drawn before such a command runs);
// what it does in a sentence or three; the keys of its options table (comma-separated, or null); the error codes
// it raises itself beside the argument checks every command makes; and a short example (or null).
struct CommandDoc {
    const char *name = nullptr;
    const char *synopsis = nullptr;
    ArgumentRange arguments;
    bool display = true;
    const char *text = nullptr;
    const char *options = nullptr;
    int errors[16] = {};
    const char *example = nullptr;
};

// One constant: its name as registered and what it stands for.
struct ConstantDoc {
    const char *name;
    const char *meaning;
};

// A library's reference: a one-line summary and its rows, each list ending with a row whose name is null.
struct LibraryReference {
    const char *summary;
    const CommandDoc *commands;
    const ConstantDoc *constants;
};
