#include "runtime/app/startup_config.h"

#include "runtime/app/runtime_globals.h"

namespace {

constexpr char kStartupKey[] = "clargs";
constexpr char kDisplayKey[] = "displayconfig";

} // namespace

DisplayConfig *GetAppletSettings(VMState *vm) {
    return static_cast<DisplayConfig *>(GetRegistryHandle(vm, kDisplayKey));
}

StartupConfig *GetStartupConfig(VMState *vm) {
    return static_cast<StartupConfig *>(GetRegistryHandle(vm, kStartupKey));
}

void SetStartupRecords(VMState *vm, StartupConfig *startup, DisplayConfig *display) {
    SetRegistryHandle(vm, kStartupKey, startup);
    SetRegistryHandle(vm, kDisplayKey, display);
}
