// The dos and memblock commands called through the VM as a script calls them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/debug_output.h"
#include "libs/dos/dos_library.h"
#include "libs/dos/file_object.h"
#include "libs/dos/serialised_format.h"
#include "libs/memblock/memblock_library.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/vm/proto.h"
#include "tests/fuzz/regression_files.h"
#include "tests/runtime/app/vm_harness.h"
#include "tests/support/files.h"

namespace fs = std::filesystem;

namespace {

using vmtest::Nil;

struct DosCommands : ::testing::Test {
    VMState *vm = nullptr;
    ScratchDirectory scratch;
    fs::path dir = scratch.path;

    void SetUp() override {
        QuietMode = 1;
        vm = NewVMState();
        InitRuntimeSupport(vm);
        kDosLibrary.registerLibrary(vm);
        kMemBlockLibrary.registerLibrary(vm);
    }
    void TearDown() override {
        kDosLibrary.freeAll(vm);
        kMemBlockLibrary.freeAll(vm);
        IOMode = kIOBuffered;
        CloseVMState(vm);
        ClearCommandRegistry();
    }
    std::string Path(const char *name) const { return (dir / name).string(); }
    std::string Contents(const char *name) const { return ReadFileText(Path(name)); }

    // Calls a command by its global name on an empty stack; 0 or the error code. Results stay on the stack.
    int Call(const char *name, std::initializer_list<vmtest::Arg> args) {
        SetTop(vm, 0);
        return vmtest::CallGlobal(vm, name, args);
    }
    double Number(int index = 1) { return VMToNumber(vm, index); }
    std::string String(int index = 1) {
        size_t length = 0;
        const char *text = VMToString(vm, index, &length);
        return text ? std::string(text, length) : std::string("<not a string>");
    }
    void OpenNumbered(double id, const std::string &path, double mode) {
        ASSERT_EQ(Call("openfile", {id, path, mode}), 0);
    }
};

TEST_F(DosCommands, EveryCommandIsCallableByItsLowerCaseName) {
    for (const CommandEntry *row = kDosCommands; row->name; ++row) {
        std::string lower(row->name);
        for (char &c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        GetGlobal(vm, lower.c_str());
        EXPECT_EQ(ValueType(vm, -1), TFUNCTION) << row->name;
        SetTop(vm, 0);
    }
    ASSERT_NE(FindConstant("mode_readwrite"), nullptr);
    EXPECT_EQ(FindConstant("mode_readwrite")->number, 1004);
    EXPECT_EQ(FindConstant("io_unbuffered")->number, 1);
}

TEST_F(DosCommands, WriteIntSaturatesTheNumber) {
    OpenNumbered(1, Path("out"), kModeWrite);
    EXPECT_EQ(Call("writeint", {1.0, 3e9}), 0);
    EXPECT_EQ(Call("writeint", {1.0, -3e9}), 0);
    EXPECT_EQ(Call("closefile", {1.0}), 0);
    EXPECT_EQ(Contents("out"), std::string("\x7F\xFF\xFF\xFF\x80\0\0\0", 8));
}

TEST_F(DosCommands, AutomaticHandleOpensAndCloses) {
    ASSERT_EQ(Call("openfile", {Nil{}, Path("auto"), double(kModeWrite)}), 0);
    ASSERT_EQ(ValueType(vm, 1), TLIGHTHANDLE);
    void *handle = ToHandle(vm, 1);
    EXPECT_EQ(Call("writestring", {handle, std::string("hi")}), 0);
    EXPECT_EQ(Call("closefile", {handle}), 0);
    EXPECT_EQ(Contents("auto"), "hi");
    EXPECT_EQ(Call("closefile", {handle}), kErrObjectNotFound);
}

// A file's number names whichever file holds it now: reads that alternate between files, a closed number, a
// number opened again on another file and one reopened over an open file.
TEST_F(DosCommands, FileNumbersFollowOpensAndCloses) {
    std::ofstream(Path("a"), std::ios::binary) << "a1\na2\na3\n";
    std::ofstream(Path("b"), std::ios::binary) << "b1\nb2\n";
    const double read = kModeRead;
    struct Step {
        const char *command;
        std::vector<vmtest::Arg> args;
        int error;
        const char *line; // ReadLine's result, or null
    };
    const Step steps[] = {
        {"openfile", {1.0, Path("a"), read}, 0, nullptr},
        {"readline", {1.0}, 0, "a1"},
        {"openfile", {2.0, Path("b"), read}, 0, nullptr},
        {"readline", {2.0}, 0, "b1"},
        {"readline", {1.0}, 0, "a2"},
        {"readline", {2.0}, 0, "b2"},
        {"closefile", {1.0}, 0, nullptr},
        {"readline", {1.0}, kErrFileHandleNotFound, nullptr},
        {"readline", {1.0000001}, kErrFileHandleNotFound, nullptr},
        {"openfile", {1.0, Path("b"), read}, 0, nullptr},
        {"readline", {1.0}, 0, "b1"},
        {"openfile", {1.0, Path("a"), read}, 0, nullptr},
        {"readline", {1.0}, 0, "a1"},
        {"readline", {2.0}, kErrReadBeyondEnd, nullptr},
    };
    for (const Step &step : steps) {
        SetTop(vm, 0);
        GetGlobal(vm, step.command);
        for (const vmtest::Arg &arg : step.args) vmtest::PushArg(vm, arg);
        ASSERT_EQ(ProtectedCall(vm, int(step.args.size()), -1, 0), step.error) << step.command << " " << &step - steps;
        if (step.line) {
            EXPECT_EQ(String(), step.line) << &step - steps;
        }
    }
}

TEST_F(DosCommands, ReadPastTheEndKeepsFilePos) {
    std::ofstream(Path("in"), std::ios::binary) << "1234567";
    OpenNumbered(1, Path("in"), kModeRead);
    ASSERT_EQ(Call("seek", {1.0, 4.0}), 0);
    EXPECT_EQ(Call("readint", {1.0}), kErrReadBeyondEnd);
    ASSERT_EQ(Call("filepos", {1.0}), 0);
    EXPECT_EQ(Number(), 4);
    ASSERT_EQ(Call("seek", {1.0, -1.0}), 0);
    ASSERT_EQ(Call("eof", {1.0}), 0);
    EXPECT_EQ(Number(), 1);
    EXPECT_EQ(Call("seek", {1.0, 8.0}), 1076);
}

TEST_F(DosCommands, WritesToAFullDiskRaise1005) {
    if (!fs::exists("/dev/full")) GTEST_SKIP();
    OpenNumbered(1, "/dev/full", kModeWrite);
    EXPECT_EQ(Call("writeline", {1.0, std::string("abc")}), 0); // buffered: not yet written
    EXPECT_EQ(Call("flushfile", {1.0}), kErrWriteFailed);
    ASSERT_EQ(Call("setiomode", {1.0}), 0);
    EXPECT_EQ(Call("writestring", {1.0, std::string("abc")}), kErrWriteFailed);
    EXPECT_EQ(Call("writeline", {1.0, std::string("abc")}), kErrWriteFailed);
}

TEST_F(DosCommands, CompressAndDecompressReturnSizes) {
    std::string data(100000, 'z');
    std::ofstream(Path("src"), std::ios::binary) << data;
    ASSERT_EQ(Call("compressfile", {Path("src"), Path("packed")}), 0);
    EXPECT_EQ(Number(), static_cast<double>(fs::file_size(Path("packed"))));
    ASSERT_EQ(Call("decompressfile", {Path("packed"), Path("out")}), 0);
    EXPECT_EQ(Number(), 100000);
    EXPECT_EQ(Call("decompressfile", {Path("missing"), Path("out")}), kErrCannotReadFile);
    EXPECT_EQ(ErrorArgString(), Path("missing"));
}

// ---- Tables
// ------------------------------------------------------------------------------------------------

// Builds {[1]="a"} style tables on the stack through the API.
void SetNumberKey(VMState *vm, double key, const std::string &value) {
    PushNumber(vm, key);
    PushStringLen(vm, value.data(), value.size());
    VMRawSet(vm, -3);
}

TEST_F(DosCommands, TableLayoutOfOnePair) {
    OpenNumbered(1, Path("t"), kModeWrite);
    SetTop(vm, 0);
    GetGlobal(vm, "writetable");
    PushNumber(vm, 1);
    NewTable(vm);
    SetNumberKey(vm, 1, "a");
    ASSERT_EQ(ProtectedCall(vm, 2, 0, 0), 0);
    ASSERT_EQ(Call("closefile", {1.0}), 0);
    EXPECT_EQ(Contents("t"), std::string("VLT0\x02\x3F\xF0\0\0\0\0\0\0\x03\0\0\0\x01"
                                         "a\0",
                                         20));
}

// Writes the table on top of the stack with WriteTable; 0 or the error.
int WriteTop(DosCommands &t, double id) {
    int table = GetTop(t.vm);
    GetGlobal(t.vm, "writetable");
    PushNumber(t.vm, id);
    PushValue(t.vm, table);
    return ProtectedCall(t.vm, 2, 0, 0);
}

TEST_F(DosCommands, TablesRoundTripByteExact) {
    OpenNumbered(1, Path("t"), kModeReadWrite);
    SetTop(vm, 0);
    NewTable(vm);
    SetNumberKey(vm, 0, std::string("zero\0byte", 9));
    SetNumberKey(vm, -2.5, std::string(300, 'v'));
    PushStringLen(vm, "k\0y", 3);
    NewTable(vm);
    SetNumberKey(vm, 1e300, "deep");
    PushString(vm, "neg");
    PushNumber(vm, -0.0);
    VMRawSet(vm, -3);
    VMRawSet(vm, -3);
    PushString(vm, std::string(257, 'K').c_str());
    PushNumber(vm, 42);
    VMRawSet(vm, -3);
    ASSERT_EQ(WriteTop(*this, 1), 0);
    int64_t firstEnd = FileList.front()->size;
    ASSERT_EQ(Call("seek", {1.0, 0.0}), 0);
    ASSERT_EQ(Call("readtable", {1.0}), 0);
    ASSERT_EQ(GetTop(vm), 1);
    ASSERT_EQ(ValueType(vm, 1), TTABLE);
    // Writing what was read gives the same bytes.
    ASSERT_EQ(FileSeek(FileList.front(), -1), 0);
    ASSERT_EQ(WriteTop(*this, 1), 0);
    ASSERT_EQ(Call("closefile", {1.0}), 0);
    std::string all = Contents("t");
    ASSERT_EQ(all.size(), static_cast<size_t>(firstEnd * 2));
    EXPECT_EQ(all.substr(0, firstEnd), all.substr(firstEnd));
}

TEST_F(DosCommands, CyclicTablesAreRefusedBeforeWriting) {
    OpenNumbered(1, Path("t"), kModeWrite);
    SetTop(vm, 0);
    NewTable(vm); // a
    NewTable(vm); // b
    PushString(vm, "a");
    PushValue(vm, 1);
    VMRawSet(vm, 2); // b.a = a
    PushString(vm, "b");
    PushValue(vm, 2);
    VMRawSet(vm, 1); // a.b = b
    SetTop(vm, 1);
    EXPECT_EQ(WriteTop(*this, 1), kErrWrongUsage);
    PushString(vm, "self");
    PushValue(vm, 1);
    VMRawSet(vm, 1);
    EXPECT_EQ(WriteTop(*this, 1), kErrWrongUsage);
    ASSERT_EQ(Call("filelength", {1.0}), 0);
    EXPECT_EQ(Number(), 0);
}

TEST_F(DosCommands, SharedSubtablesAreWrittenTwice) {
    OpenNumbered(1, Path("t"), kModeWrite);
    SetTop(vm, 0);
    NewTable(vm);
    NewTable(vm);
    PushNumber(vm, 1);
    PushValue(vm, 2);
    VMRawSet(vm, 1);
    PushNumber(vm, 2);
    PushValue(vm, 2);
    VMRawSet(vm, 1);
    SetTop(vm, 1);
    EXPECT_EQ(WriteTop(*this, 1), 0);
}

TEST_F(DosCommands, BooleansAndTableKeysAreRefusedBeforeWriting) {
    OpenNumbered(1, Path("t"), kModeWrite);
    SetTop(vm, 0);
    NewTable(vm);
    PushNumber(vm, 1);
    PushBoolean(vm, 1);
    VMRawSet(vm, 1);
    EXPECT_EQ(WriteTop(*this, 1), kErrWrongType);
    SetTop(vm, 0);
    NewTable(vm);
    NewTable(vm);
    PushNumber(vm, 1);
    VMRawSet(vm, 1); // t[{}] = 1
    EXPECT_EQ(WriteTop(*this, 1), kErrWrongUsage);
    ASSERT_EQ(Call("filelength", {1.0}), 0);
    EXPECT_EQ(Number(), 0);
}

TEST_F(DosCommands, LightHandlesAreStoredAsZero) {
    OpenNumbered(1, Path("t"), kModeReadWrite);
    SetTop(vm, 0);
    NewTable(vm);
    PushNumber(vm, 1);
    PushHandle(vm, this);
    VMRawSet(vm, 1);
    ASSERT_EQ(WriteTop(*this, 1), 0);
    ASSERT_EQ(Call("seek", {1.0, 0.0}), 0);
    ASSERT_EQ(Call("readtable", {1.0}), 0);
    RawGetIndex(vm, 1, 1);
    EXPECT_EQ(ValueType(vm, -1), TNUMBER);
    EXPECT_EQ(VMToNumber(vm, -1), 0);
}

TEST_F(DosCommands, WrongMagicsAreRefused) {
    std::ofstream(Path("t"), std::ios::binary) << std::string("VLT0\0VLF0\0\0\0\0", 13);
    OpenNumbered(1, Path("t"), kModeRead);
    EXPECT_EQ(Call("readfunction", {1.0}), kErrNoFunctionHere);
    ASSERT_EQ(Call("filepos", {1.0}), 0);
    EXPECT_EQ(Number(), 4);
    ASSERT_EQ(Call("seek", {1.0, 5.0}), 0);
    EXPECT_EQ(Call("readtable", {1.0}), kErrNoTableHere);
}

TEST_F(DosCommands, HugeFunctionLengthInASmallFileIsRefused) {
    std::ofstream(Path("f"), std::ios::binary) << std::string("VLF0\xFF\xFF\xFF\xFF\x1B"
                                                              "abcdefghijk",
                                                              20);
    OpenNumbered(1, Path("f"), kModeRead);
    EXPECT_EQ(Call("readfunction", {1.0}), kErrReadBeyondEnd);
}

TEST_F(DosCommands, StarInBase64TextIsRefused) {
    std::ofstream(Path("f"), std::ios::binary) << "VLF10000000cG0x*QUJDREVG";
    OpenNumbered(1, Path("f"), kModeRead);
    EXPECT_EQ(Call("readfunction", {1.0}), kErrInvalidBase64);
}

TEST_F(DosCommands, EveryTruncatedTableFileIsAnError) {
    OpenNumbered(1, Path("t"), kModeWrite);
    SetTop(vm, 0);
    NewTable(vm);
    SetNumberKey(vm, 1, "one");
    PushString(vm, "nested");
    NewTable(vm);
    SetNumberKey(vm, 2, std::string(40, 'x'));
    VMRawSet(vm, 1);
    ASSERT_EQ(WriteTop(*this, 1), 0);
    ASSERT_EQ(Call("closefile", {1.0}), 0);
    std::string full = Contents("t");
    for (size_t cut = 0; cut < full.size(); ++cut) {
        std::ofstream(Path("cut"), std::ios::binary | std::ios::trunc) << full.substr(0, cut);
        OpenNumbered(2, Path("cut"), kModeRead);
        EXPECT_EQ(Call("readtable", {2.0}), kErrReadBeyondEnd) << "cut at " << cut;
    }
}

// ---- Functions
// ---------------------------------------------------------------------------------------------

// function (x) return x + step end, built directly so no compiler is needed.
FunctionProto IncrementProto(double step) {
    FunctionProto proto;
    proto.source = "=test";
    proto.numParams = 1;
    proto.maxStack = 2;
    int k = proto.AddNumber(step);
    proto.Emit(CreateABC(OP_ADD, 1, 0, RKConstant(k)), 1);
    proto.Emit(CreateABC(OP_RETURN, 1, 2, 0), 1);
    return proto;
}

// Calls the function on top of the stack with x and returns its number.
double CallWith(VMState *vm, double x) {
    PushValue(vm, -1);
    PushNumber(vm, x);
    EXPECT_EQ(ProtectedCall(vm, 1, 1, 0), 0);
    double result = VMToNumber(vm, -1);
    SetTop(vm, -2);
    return result;
}

int WriteFunctionTop(DosCommands &t, double id, double text) {
    int function = GetTop(t.vm);
    GetGlobal(t.vm, "writefunction");
    PushNumber(t.vm, id);
    PushValue(t.vm, function);
    PushNumber(t.vm, text);
    return ProtectedCall(t.vm, 3, 0, 0);
}

TEST_F(DosCommands, FunctionsRoundTripInBothForms) {
    for (double text : {0.0, 1.0}) {
        OpenNumbered(1, Path("f"), kModeReadWrite);
        SetTop(vm, 0);
        ASSERT_EQ(PushProtoClosure(vm, IncrementProto(5)), 0);
        ASSERT_EQ(WriteFunctionTop(*this, 1, text), 0);
        ASSERT_EQ(WriteFunctionTop(*this, 1, text), 0); // two records back to back
        ASSERT_EQ(Call("seek", {1.0, 0.0}), 0);
        for (int record = 0; record < 2; ++record) {
            ASSERT_EQ(Call("readfunction", {1.0}), 0) << text;
            ASSERT_EQ(ValueType(vm, 1), TFUNCTION);
            EXPECT_EQ(CallWith(vm, 10), 15);
        }
        ASSERT_EQ(Call("eof", {1.0}), 0);
        EXPECT_EQ(Number(), 1);
        ASSERT_EQ(Call("closefile", {1.0}), 0);
        std::string file = Contents("f");
        ASSERT_GE(file.size(), 12u);
        EXPECT_EQ(file.substr(0, 4), text ? "VLF1" : "VLF0");
        if (!text) {
            uint32_t length = uint32_t(uint8_t(file[4])) << 24 | uint32_t(uint8_t(file[5])) << 16 |
                              uint32_t(uint8_t(file[6])) << 8 | uint8_t(file[7]);
            EXPECT_EQ(size_t(length) * 2 + 16, file.size());
            EXPECT_EQ(file[8], '\x1B');
        }
    }
}

TEST_F(DosCommands, RecordsRoundTripUnbuffered) {
    ASSERT_EQ(Call("setiomode", {1.0}), 0);
    OpenNumbered(1, Path("f"), kModeReadWrite);
    SetTop(vm, 0);
    NewTable(vm);
    PushString(vm, "inc");
    ASSERT_EQ(PushProtoClosure(vm, IncrementProto(3)), 0);
    VMRawSet(vm, 1);
    ASSERT_EQ(WriteTop(*this, 1), 0);
    SetTop(vm, 0);
    ASSERT_EQ(PushProtoClosure(vm, IncrementProto(4)), 0);
    ASSERT_EQ(WriteFunctionTop(*this, 1, 1), 0);
    ASSERT_EQ(Call("seek", {1.0, 0.0}), 0);
    ASSERT_EQ(Call("readtable", {1.0}), 0);
    GetField(vm, 1, "inc");
    EXPECT_EQ(CallWith(vm, 1), 4);
    ASSERT_EQ(Call("readfunction", {1.0}), 0);
    EXPECT_EQ(CallWith(vm, 1), 5);
}

TEST_F(DosCommands, CommandsCannotBeWrittenAsFunctions) {
    OpenNumbered(1, Path("f"), kModeWrite);
    SetTop(vm, 0);
    GetGlobal(vm, "openfile");
    EXPECT_EQ(WriteFunctionTop(*this, 1, 0), kErrNotUserFunction);
    ASSERT_EQ(Call("closefile", {1.0}), 0);
    EXPECT_EQ(Contents("f"), std::string("VLF0\0\0\0\0", 8));
}

TEST_F(DosCommands, TableFunctionsInEitherFormStillRun) {
    for (double text : {0.0, 1.0}) {
        OpenNumbered(1, Path("t"), kModeReadWrite);
        SetTop(vm, 0);
        NewTable(vm);
        PushString(vm, "inc");
        ASSERT_EQ(PushProtoClosure(vm, IncrementProto(2)), 0);
        VMRawSet(vm, 1);
        int table = GetTop(vm);
        GetGlobal(vm, "writetable");
        PushNumber(vm, 1);
        PushValue(vm, table);
        PushNumber(vm, text);
        ASSERT_EQ(ProtectedCall(vm, 3, 0, 0), 0);
        ASSERT_EQ(Call("seek", {1.0, 0.0}), 0);
        ASSERT_EQ(Call("readtable", {1.0}), 0) << text;
        GetField(vm, 1, "inc");
        ASSERT_EQ(ValueType(vm, -1), TFUNCTION);
        EXPECT_EQ(CallWith(vm, 1), 3);
        ASSERT_EQ(Call("closefile", {1.0}), 0);
    }
}

TEST_F(DosCommands, EveryTruncatedFunctionFileIsAnError) {
    OpenNumbered(1, Path("f"), kModeWrite);
    SetTop(vm, 0);
    ASSERT_EQ(PushProtoClosure(vm, IncrementProto(1)), 0);
    ASSERT_EQ(WriteFunctionTop(*this, 1, 0), 0);
    ASSERT_EQ(Call("closefile", {1.0}), 0);
    std::string full = Contents("f");
    for (size_t cut = 0; cut < full.size(); ++cut) {
        std::ofstream(Path("cut"), std::ios::binary | std::ios::trunc) << full.substr(0, cut);
        OpenNumbered(2, Path("cut"), kModeRead);
        EXPECT_NE(Call("readfunction", {2.0}), 0) << "cut at " << cut;
    }
}

// Files the serialised fuzz target once found harmful, as it reads them: the first byte picks ReadTable (bit 0
// clear) or ReadFunction, the rest is the file. Each is read or refused with an error, and what is read is a
// table or a function; on the sanitizer build nothing is read or written out of bounds.
TEST_F(DosCommands, SerialisedFuzzRegressionFilesAreReadOrRefused) {
    const std::vector<std::filesystem::path> files = RegressionFiles("serialised");
    EXPECT_FALSE(files.empty());
    double id = 1;
    for (const auto &path : files) {
        SCOPED_TRACE(path.string());
        const std::string bytes = ReadFileText(path);
        ASSERT_FALSE(bytes.empty());
        const bool table = (bytes[0] & 1) == 0;
        std::ofstream(Path("in"), std::ios::binary | std::ios::trunc) << bytes.substr(1);
        OpenNumbered(++id, Path("in"), kModeRead);
        if (Call(table ? "readtable" : "readfunction", {id}) == 0) {
            EXPECT_EQ(ValueType(vm, -1), table ? TTABLE : TFUNCTION);
        }
        CollectGarbage(vm);
    }
}

TEST_F(DosCommands, FlippedChunkBytesNeverCrash) {
    OpenNumbered(1, Path("f"), kModeWrite);
    SetTop(vm, 0);
    ASSERT_EQ(PushProtoClosure(vm, IncrementProto(1)), 0);
    ASSERT_EQ(WriteFunctionTop(*this, 1, 0), 0);
    ASSERT_EQ(Call("closefile", {1.0}), 0);
    std::string full = Contents("f");
    for (size_t i = 8; i < full.size(); ++i) {
        std::string flipped = full;
        flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
        std::ofstream(Path("flip"), std::ios::binary | std::ios::trunc) << flipped;
        OpenNumbered(2, Path("flip"), kModeRead);
        Call("readfunction", {2.0}); // an error or a (verified) function; never a crash
    }
}

// ---- Memory blocks
// -----------------------------------------------------------------------------------------

TEST_F(DosCommands, PeekAndPokeThroughTheCommands) {
    ASSERT_EQ(Call("allocmem", {1.0, 16.0}), 0);
    ASSERT_EQ(Call("poke", {1.0, 0.0, double(0x12345678)}), 0);
    ASSERT_EQ(Call("peek", {1.0, 0.0, 6.0}), 0);
    EXPECT_EQ(Number(), 0x1234);
    ASSERT_EQ(Call("peek", {1.0, 12.0}), 0);
    EXPECT_EQ(Call("peek", {1.0, 13.0}), kErrOffsetOutOfRange);
    EXPECT_EQ(Call("fillmem", {1.0, 255.0, 16.0, 2147483647.0}), kErrOffsetOutOfRange);
    EXPECT_EQ(Call("copymem", {1.0, 1.0, 4.0}), kErrWrongUsage);
    EXPECT_EQ(Call("freemem", {9.0}), kErrMemoryBlockNotFound);
    EXPECT_EQ(GetErrorText(kErrMemoryBlockNotFound), "Could not find memory block 9!");
}

TEST_F(DosCommands, DumpMemGoesToTheDebugTarget) {
    ASSERT_EQ(Call("allocmem", {1.0, 20.0}), 0);
    ASSERT_EQ(SetDebugDevice(Path("debug").c_str()), 0);
    EXPECT_EQ(Call("dumpmem", {1.0}), 0);
    CloseDebugConsole();
    SetDebugDevice(nullptr);
    std::string text = Contents("debug");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    EXPECT_NE(text.find("00000010: 00 00 00 00 " + std::string(36, ' ') + "....\n"), std::string::npos);
}

} // namespace
