// The script author's reference for a command library: one row per command, beside the library's registration
// table, and the meaning of each constant. tools/reference turns these rows into docs/commands/*.md and the name
// list the compiler checks calls against; a test fails when either differs from what the tables give.
#pragma once

// One command: its name as registered, how a call looks ("id = LoadBrush(id, file[, options])"), what it does in
// a sentence or three, the keys of its options table (comma-separated, or null), the error codes it raises
// itself beside the argument checks every command makes, and a short example (or null).
struct CommandDoc {
    const char *name;
    const char *synopsis;
    const char *text;
    const char *options = nullptr;
    int errors[8] = {};
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
