// The one registration of every kind of script object a library keeps a list of: its kind number, the name the
// object statistics print, its counter and its attribute reader. GetAttribute answers and DumpObjects counts
// through it, so a kind registered once is never counted in one place and forgotten in the other.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/app/command.h"

// An attribute reader pushes its results and returns their count, an error code (>= 1000), or
// kAttributeUnanswered. firstExtraArg is the index of the argument after the attribute.
constexpr int kAttributeUnanswered = -1;
using AttributeReader = int (*)(VMState *vm, ObjectId id, int32_t attribute, int firstExtraArg);
using ObjectCounter = int32_t (*)();

struct ObjectKindEntry {
    int32_t kind = 0;          // the program-wide object kind; 0 for a count no kind stands for (TIMER, ...)
    const char *name = "";     // as the object statistics print it: "BRUSH", "SPRITE ON SCREEN", ...
    ObjectCounter count = nullptr;        // ATTRCOUNT and the statistics; null: not counted
    AttributeReader attributes = nullptr; // every other attribute; null: ATTRCOUNT only
};

// A library calls this from its register function, once per kind it owns. Registering a name again replaces
// the entry (a library registered twice, tests).
void RegisterObjectKind(const ObjectKindEntry &entry);
// The entry of a kind number (never for kind 0), or null.
const ObjectKindEntry *FindObjectKind(int32_t kind);
// Every entry, in the statistics' fixed order (DISPLAY, BGPIC, LAYER, BRUSH, SPRITE, SPRITE ON SCREEN,
// TEXTOBJECT, FONT, ANIM, SAMPLE, MUSIC, FILE, DIRECTORY, MEMORY, TIMER, INTERVAL, TIMEOUT, CLIPREGION, POINTER,
// ASYNCDRAW); names outside that list follow in the order they were registered.
std::vector<ObjectKindEntry> RegisteredObjectKinds();
// Forgets every entry (tests, shutdown).
void ClearObjectKinds();
