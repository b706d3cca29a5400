#include "player/preload.h"

#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"
#include "scene/display/create_display.h"

namespace {

// The library that registers each kind's command, named when it is missing.
const char *LibraryOf(AppletPreloadKind kind) {
    switch (kind) {
    case kPreloadBGPic: return "bgpic";
    case kPreloadBrush: return "brush";
    case kPreloadAnim: return "anim";
    case kPreloadMusic:
    case kPreloadSample: return "sound";
    case kPreloadButton:
    case kPreloadKeyDown: return "event";
    case kPreloadSprite: return "sprite";
    case kPreloadFile: return "dos";
    case kPreloadFont: return "text";
    case kPreloadDisplay: return "display";
    }
    return "";
}

void PushScalar(VMState *vm, const AppletArgument &argument) {
    if (argument.type == kAppletValueNumber) PushNumber(vm, argument.number);
    else if (argument.type == kAppletValueString) PushStringLen(vm, argument.text.data(), argument.text.size());
    else PushNil(vm);
}

// An option table is built as the script's constructor would build it; the loader keeps tables flat, so the
// pairs are scalars and need two slots above the table.
void PushArgument(VMState *vm, const AppletArgument &argument) {
    if (argument.type != kAppletValueTable) {
        PushScalar(vm, argument);
        return;
    }
    NewTable(vm);
    int table = GetTop(vm);
    for (const AppletTablePair &pair : argument.table) {
        if (pair.value.type == kAppletValueNil) continue;
        PushScalar(vm, pair.key);
        PushScalar(vm, pair.value);
        VMRawSet(vm, table);
    }
}

} // namespace

int CallCommandByName(VMState *vm, const char *name, const char *libraryName,
                      const std::vector<AppletArgument> &arguments) {
    int base = GetTop(vm);
    // The function, the arguments, and two slots for a table argument's key and value.
    if (!CheckStack(vm, static_cast<int>(arguments.size()) + 3)) return kErrStackOverflow;
    GetGlobal(vm, name);
    if (ValueType(vm, -1) != TFUNCTION) {
        SetTop(vm, base);
        return LibraryNotRegistered(libraryName);
    }
    for (const AppletArgument &argument : arguments) PushArgument(vm, argument);
    int result = ProtectedCall(vm, static_cast<int>(arguments.size()), 0, 0);
    SetTop(vm, base);
    return result;
}

int PreloadResources(VMState *vm, const LoadedApplet &applet) {
    PreloadActive = 1;
    int result = 0;
    for (const AppletPreloadRow &row : kAppletPreloadRows) {
        if (row.kind == kPreloadDisplay) {
            if (!applet.hasDisplaySettings) continue;
            // CreateDisplay(1, settings): the first display, from the declared settings table.
            int base = GetTop(vm);
            if (!CheckStack(vm, 4)) {
                result = kErrStackOverflow;
                break;
            }
            GetGlobal(vm, row.command);
            if (ValueType(vm, -1) != TFUNCTION) {
                SetTop(vm, base);
                result = LibraryNotRegistered(LibraryOf(row.kind));
                break;
            }
            PushNumber(vm, 1);
            NewTable(vm);
            for (const auto &[key, value] : applet.displaySettings) {
                // Directives cannot name constants, so the scale mode may come as its constant's name.
                if (key == "scalemode" && value.isString) {
                    const int32_t mode = ScaleModeByName(value.text.c_str());
                    if (mode < 0) {
                        SetErrorArgString(value.text[0] == '#' ? value.text : "#" + value.text);
                        result = kErrUnknownConstant;
                        break;
                    }
                    SetTableDouble(vm, key.c_str(), mode);
                } else if (value.isString) SetTableString(vm, key.c_str(), value.text.c_str());
                else SetTableDouble(vm, key.c_str(), value.number);
            }
            if (!result) result = ProtectedCall(vm, 2, 0, 0);
            SetTop(vm, base);
            if (result) break;
            continue;
        }
        for (const AppletPreloadDeclaration &declaration : applet.preloads) {
            if (declaration.kind != row.kind) continue;
            result = CallCommandByName(vm, row.command, LibraryOf(row.kind), declaration.arguments);
            if (result) break;
        }
        if (result) break;
    }
    PreloadActive = 0;
    return result;
}
