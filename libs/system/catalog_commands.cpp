// The script's message catalog, OpenURL and SetWBIcon of the system library.
#include "libs/system/system_commands.h"

#include "host/catalog.h"
#include "host/icon.h"
#include "host/url.h"

#include <string>

// The name for the program's desktop icon. Kept only: nothing on this host shows a desktop icon for the program.
std::string WBIconPath;

int CmdOpenCatalog(VMState *vm) {
    CheckArgs(vm, 1, 2);
    const char *name = CheckStringArg(vm, 1);
    // Without a matching catalog the script's own texts serve; that is no error.
    OpenScriptCatalog(name, OptInt32Arg(vm, 2, 0));
    return 0;
}

int CmdCloseCatalog(VMState *vm) {
    CheckArgs(vm, 0, 0);
    CloseScriptCatalog();
    return 0;
}

int CmdGetCatalogString(VMState *vm) {
    CheckArgs(vm, 2, 2);
    uint32_t id = CheckUnsignedArg(vm, 1);
    size_t length = 0;
    const char *fallback = CheckStringArg(vm, 2, &length);
    const char *text = GetScriptCatalogString(id, nullptr);
    if (text) PushString(vm, text);
    else PushStringLen(vm, fallback, length);
    return 1;
}

int CmdOpenURL(VMState *vm) {
    CheckArgs(vm, 1, 1);
    return LaunchUrl(CheckStringArg(vm, 1));
}

int CmdSetWBIcon(VMState *vm) {
    CheckArgs(vm, 1, 1);
    WBIconPath = IconBaseName(CheckStringArg(vm, 1));
    return 0;
}
