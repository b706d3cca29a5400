#include "runtime/app/hooks.h"

#include <cstdio>

int (*RefreshDisplayHook)(DisplayRecord *, int) = nullptr;
int (*OpenFirstDisplayHook)(VMState *, StartupConfig *) = nullptr;
int (*DisplayScalesItselfHook)(DisplayRecord *) = nullptr;
void (*StopAllSoundsHook)() = nullptr;
void (*FreeAllSoundsHook)() = nullptr;
int (*LayerPositionHook)(VMState *, const char *, int32_t *) = nullptr;
int (*LinkedFileHook)(VMState *, const char *, int, std::string *) = nullptr;
void (*WakeMainThreadHook)() = nullptr;
void (*DebugWriteHook)(const char *, size_t) = nullptr;
void (*DebugDeviceWriteHook)(const char *, size_t) = nullptr;
void (*ConsoleWriteHook)(const char *, size_t) = nullptr;

int RefreshDisplay(DisplayRecord *display, int flags) {
    return RefreshDisplayHook ? RefreshDisplayHook(display, flags) : 0;
}

int OpenFirstDisplay(VMState *vm, StartupConfig *config) {
    return OpenFirstDisplayHook ? OpenFirstDisplayHook(vm, config) : 0;
}

void StopAllSounds() {
    if (StopAllSoundsHook) StopAllSoundsHook();
}

void FreeAllSounds() {
    if (FreeAllSoundsHook) FreeAllSoundsHook();
}

void WriteDebugOutput(const char *bytes, size_t length) {
    if (DebugWriteHook) {
        DebugWriteHook(bytes, length);
        return;
    }
    if (DebugDeviceWriteHook) {
        DebugDeviceWriteHook(bytes, length);
        return;
    }
    fwrite(bytes, 1, length, stdout);
    fflush(stdout);
}
