// The player's applet reading on arbitrary bytes, read in place as a file: OpenApplet takes the "VLA" records
// or unpacks a "VLZ" applet to a temporary file first. A loaded applet is installed (its chunk loaded, not run)
// and its linked files are looked up and read. Any outcome but a crash, a leak or a sanitizer report is fine.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "host/virtual_file.h"
#include "player/applet_loader.h"
#include "runtime/app/runtime_globals.h"
#include "tests/fuzz/fuzz_memory_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzMemoryFile file(data, size);
    std::string name = file.MemoryName();
    LoadedApplet applet;
    if (OpenApplet(name.c_str(), 0, "fuzz", &applet) == 0) {
        VMState *vm = NewVMState();
        if (vm) {
            InstallApplet(vm, &applet);
            UninstallApplet();
            CloseVMState(vm);
        }
        for (const AppletLinkedFileEntry &entry : applet.linkedFiles) {
            std::string chunkName;
            if (!FindLinkedAppletFile(applet, entry.name.c_str(), &chunkName, entry.font)) continue;
            if (VirtualFile *linked = OpenVirtualFile(chunkName.c_str(), kVirtualFileRead)) {
                uint8_t buffer[64];
                ReadVirtualFile(linked, buffer, sizeof buffer);
                CloseVirtualFile(linked);
            }
        }
    }
    if (!applet.temporaryFile.empty()) std::remove(applet.temporaryFile.c_str());
    return 0;
}
