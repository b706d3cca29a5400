// Every file under tests/fuzz/regressions/load_chunk/ (inputs a fuzzer once found harmful) and the fuzz seeds
// load without a crash, and what loads runs within a budget.
#include <filesystem>

#include "tests/fuzz/regression_files.h"
#include "tests/runtime/vm/vm_test_support.h"
#include "tests/support/files.h"

namespace {

int gBudget;

void RunFile(const std::filesystem::path &path) {
    const std::string bytes = ReadFileText(path);
    VMState *vm = NewVMState();
    ASSERT_NE(vm, nullptr);
    SetConstantResolver(vm, [](VMState *v, const char *name) {
        if (std::string(name) == "answer") PushNumber(v, 42);
        else if (std::string(name) == "text") PushString(v, "text");
        else return kErrUnknownConstant;
        return 0;
    });
    PushNativeFunction(
        vm,
        [](VMState *v) {
            PushNumber(v, GetTop(v));
            return 1;
        },
        "print");
    SetGlobal(vm, "print");
    if (LoadChunkBuffer(vm, bytes.data(), bytes.size(), path.filename().c_str()) == 0) {
        gBudget = 5000;
        SetLineHook(vm, [](VMState *v) {
            if (--gBudget < 0) RaiseError(v, kErrUserAbort);
        });
        ProtectedCall(vm, 0, -1, 0);
    }
    CloseVMState(vm);
}

void RunFolder(const char *folder) {
    std::filesystem::path dir = std::filesystem::path(VL_SOURCE_DIR) / folder;
    if (!std::filesystem::is_directory(dir)) return;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        SCOPED_TRACE(entry.path().string());
        if (entry.is_regular_file()) RunFile(entry.path());
    }
}

} // namespace

TEST(FuzzRegressionTest, LoadChunkRegressionFilesAreHandled) {
    for (const auto &path : RegressionFiles("load_chunk")) {
        SCOPED_TRACE(path.string());
        RunFile(path);
    }
}

TEST(FuzzRegressionTest, LoadChunkSeedsLoadAndRun) {
    std::filesystem::path dir = std::filesystem::path(VL_SOURCE_DIR) / "tests/fuzz/corpus/load_chunk";
    int loaded = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        const std::string bytes = ReadFileText(entry.path());
        VMState *vm = NewVMState();
        SetConstantResolver(vm, [](VMState *v, const char *) {
            PushNumber(v, 1);
            return 0;
        });
        if (LoadChunkBuffer(vm, bytes.data(), bytes.size(), "seed") == 0) loaded++;
        CloseVMState(vm);
    }
    RunFolder("tests/fuzz/corpus/load_chunk");
    EXPECT_GE(loaded, 4); // the seeds still match the format
}
