// The command libraries script tests run with. Add a library's register function here when its scripts need it.
#include "libs/math/math_library.h"
#include "libs/string/string_library.h"
#include "libs/system/system_commands.h"
#include "runtime/app/command.h"
#include "tests/scripts/script_runner.h"

const std::vector<ScriptLibraryRegister> &ScriptTestLibraries() {
    static const std::vector<ScriptLibraryRegister> libraries = {
        kStringLibrary.registerLibrary,
        kMathLibrary.registerLibrary,
        kSystemLibrary.registerLibrary,
    };
    return libraries;
}

const std::vector<ScriptLibraryFree> &ScriptTestLibraryFrees() {
    static const std::vector<ScriptLibraryFree> frees = {kSystemLibrary.freeAll};
    return frees;
}
