// Serialised tables and functions as ReadTable and ReadFunction read them from a file. The first byte picks
// the command (bit 0 clear: table; set: function, bit 1 the text form for the parser alone); the rest is the
// file with its magic, reached through a ":::memory" name so no disk is involved.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "host/virtual_file.h"
#include "libs/dos/dos_library.h"
#include "libs/dos/file_object.h"
#include "libs/dos/serialised_format.h"
#include "runtime/app/command.h"
#include "runtime/app/runtime_globals.h"

namespace {

// One VM for all inputs (making one per input is a hundred times slower): each input leaves an empty stack and
// a full collection behind, and the VM is closed at exit so nothing it holds counts as leaked.
VMState *FuzzVM() {
    static VMState *vm = [] {
        QuietMode = 1; // no progress line per opened file
        VMState *state = NewVMState();
        InitRuntimeSupport(state);
        kDosLibrary.registerLibrary(state);
        std::atexit([] { CloseVMState(vm); });
        return state;
    }();
    return vm;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    std::vector<uint8_t> file(data + 1, data + size);
    const bool table = (data[0] & 1) == 0;

    // The parser alone, without a VM, on what follows the magic.
    SerialSource source;
    source.bytes = std::span<const uint8_t>(file).subspan(file.size() < 4 ? file.size() : 4);
    if (table) {
        SerialTable parsed;
        DecodeTableBody(&source, &parsed);
    } else {
        std::string chunk;
        DecodeFunctionRecord(&source, (data[0] & 2) != 0, &chunk);
    }

    // The whole command: magic, record, the chunk loader and the table rebuilt in the VM.
    uint8_t empty = 0;
    const void *base = file.empty() ? &empty : file.data();
    RegisterMemoryRange(base, file.size(), 0);
    char name[64];
    MakeMemoryFileName(name, sizeof name, base, file.size());
    FileObject *object = nullptr;
    if (OpenFileObject(ObjectId{1, nullptr}, name, kModeRead, &object) == 0) {
        VMState *vm = FuzzVM();
        int top = GetTop(vm);
        PushNativeFunction(vm, table ? CmdReadTable : CmdReadFunction, table ? "ReadTable" : "ReadFunction");
        PushNumber(vm, 1);
        ProtectedCall(vm, 1, 0, 0);
        SetTop(vm, top);
        CollectGarbage(vm);
        CloseFileObject(object);
    }
    UnregisterMemoryRange(base);
    return 0;
}
