// The command libraries script tests run with. Add a library's register function here when its scripts need it.
#include "tests/scripts/script_runner.h"

const std::vector<ScriptLibraryRegister> &ScriptTestLibraries() {
    static const std::vector<ScriptLibraryRegister> libraries = {};
    return libraries;
}
