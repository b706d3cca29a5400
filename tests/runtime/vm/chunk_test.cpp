// Bytecode chunks: dump and load, the header checks, the verifier, and loading damaged chunks.
#include <cstdio>
#include <random>

#include "runtime/vm/bounded_reader.h"
#include "tests/runtime/vm/vm_test_support.h"
#include "tests/support/files.h"

namespace {

class ChunkTest : public VMTest {
protected:
    std::string Dump(int index) {
        std::string out;
        int code = DumpStackFunction(
            vm, index,
            [](VMState *, const void *bytes, size_t size, void *data) {
                static_cast<std::string *>(data)->append(static_cast<const char *>(bytes), size);
                return 0;
            },
            &out);
        EXPECT_EQ(code, 0);
        return out;
    }
};

int gSteps;

// Runs whatever a damaged chunk holds for a bounded number of lines.
void BudgetHook(VMState *vm) {
    if (++gSteps > 2000) RaiseError(vm, kErrUserAbort);
}

} // namespace

TEST_F(ChunkTest, DumpThenLoadBehavesTheSame) {
    ASSERT_EQ(PushProtoClosure(vm, FibMain(15)), 0);
    std::string bytes = Dump(-1);
    ASSERT_GT(bytes.size(), kChunkHeaderSize);
    EXPECT_EQ(bytes.compare(0, 4, "\x1bVLB"), 0);
    SetTop(vm, 0);
    ASSERT_EQ(LoadChunkBuffer(vm, bytes.data(), bytes.size(), "loaded"), 0);
    ASSERT_EQ(ProtectedCall(vm, 0, 1, 0), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 610);
}

TEST_F(ChunkTest, RoundTripThroughAFileIsByteForByte) {
    ASSERT_EQ(PushProtoClosure(vm, FibMain(10)), 0);
    std::string bytes = Dump(-1);
    ScratchDirectory scratch;
    std::string path = scratch.File("roundtrip.vlb");
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    struct Reader {
        FILE *file;
        char buffer[7]; // small pieces: the loader joins them
    } reader{f, {}};
    int code = LoadChunk(
        vm,
        [](VMState *, void *data, size_t *size) -> const char * {
            Reader *r = static_cast<Reader *>(data);
            *size = std::fread(r->buffer, 1, sizeof r->buffer, r->file);
            return *size ? r->buffer : nullptr;
        },
        &reader, "file");
    std::fclose(f);
    std::remove(path.c_str());
    ASSERT_EQ(code, 0);
    EXPECT_EQ(Dump(-1), bytes);
    ASSERT_EQ(ProtectedCall(vm, 0, 1, 0), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 55);
}

TEST_F(ChunkTest, LoadedFunctionsGetFreshNilUpvalues) {
    FunctionProto get = NewFunction(1);
    get.upvalues.push_back({true, 0, "n"});
    Code(get, 1, {ABC(OP_GETUPVAL, 0, 0, 0), ABC(OP_RETURN, 0, 2, 0)});
    FunctionProto m = NewFunction(2);
    m.protos = {get};
    Code(m, 1, {AsBx(OP_LOADINT, 0, 9), ABx(OP_CLOSURE, 1, 0), ABC(OP_RETURN, 1, 2, 0)});
    ASSERT_EQ(PushProtoClosure(vm, m), 0);
    ASSERT_EQ(ProtectedCall(vm, 0, 1, 0), 0);
    PushValue(vm, -1);
    CallFunction(vm, 0, 1);
    EXPECT_EQ(VMToNumber(vm, -1), 9);
    SetTop(vm, 1);
    std::string bytes = Dump(1);
    ASSERT_EQ(LoadChunkBuffer(vm, bytes.data(), bytes.size(), "x"), 0);
    CallFunction(vm, 0, 1);
    EXPECT_EQ(ValueType(vm, -1), TNIL);
}

TEST_F(ChunkTest, DumpingANativeFunctionIs1324) {
    PushNativeFunction(vm, [](VMState *) { return 0; }, "native");
    std::string out;
    EXPECT_EQ(DumpStackFunction(vm, -1, [](VMState *, const void *, size_t, void *) { return 0; }, &out),
              kErrNotUserFunction);
    PushNumber(vm, 1);
    EXPECT_EQ(DumpStackFunction(vm, -1, [](VMState *, const void *, size_t, void *) { return 0; }, &out),
              kErrNotUserFunction);
}

TEST_F(ChunkTest, AWriterErrorStopsTheDump) {
    ASSERT_EQ(PushProtoClosure(vm, FibMain(3)), 0);
    static int calls;
    calls = 0;
    EXPECT_EQ(DumpStackFunction(
                  vm, -1,
                  [](VMState *, const void *, size_t, void *) {
                      calls++;
                      return kErrOutOfMemory;
                  },
                  nullptr),
              kErrOutOfMemory);
    EXPECT_EQ(calls, 1);
}

TEST_F(ChunkTest, EveryTruncationIsRefused) {
    std::string bytes = DumpProto(FibMain(5));
    for (size_t n = 0; n < bytes.size(); n++) {
        EXPECT_NE(LoadChunkBuffer(vm, bytes.data(), n, "cut"), 0) << "length " << n;
        EXPECT_EQ(GetTop(vm), 0);
    }
    EXPECT_EQ(LoadChunkBuffer(vm, bytes.data(), bytes.size(), "whole"), 0);
}

TEST_F(ChunkTest, HeaderFieldsAreCheckedWithNamedCodes) {
    std::string good = DumpProto(FibMain(5));
    auto load = [&](std::string b) { return LoadChunkBuffer(vm, b.data(), b.size(), "h"); };
    std::string b = good;
    b[1] = 'X';
    EXPECT_EQ(load(b), kErrChunkSignature);
    b = good;
    b[kChunkEndianOffset] = 0;
    EXPECT_EQ(load(b), kErrChunkByteOrder);
    b = good;
    b[kChunkSizesOffset + 3] = 4;
    EXPECT_EQ(load(b), kErrChunkSizes);
    b = good;
    b[kChunkTestNumberOffset + 7] ^= 1;
    EXPECT_EQ(load(b), kErrChunkNumberFormat);
    b = good;
    b[kChunkVersionOffset] = char(kChunkFormatVersion + 1);
    EXPECT_EQ(load(b), kErrChunkVersion);
    b = good + "x";
    EXPECT_EQ(load(b), kErrBadChunk);
    EXPECT_EQ(GetTop(vm), 0);
}

TEST_F(ChunkTest, RandomBitFlipsAreRefusedOrRunSafely) {
    std::string good = DumpProto(FibMain(8));
    std::mt19937 rng(12345);
    int trials = GCStressRequested() ? 300 : 3000;
    int loaded = 0;
    SetLineHook(vm, BudgetHook);
    for (int t = 0; t < trials; t++) {
        std::string b = good;
        int flips = 1 + int(rng() % 3);
        for (int f = 0; f < flips; f++) {
            size_t at = kChunkHeaderSize + rng() % (b.size() - kChunkHeaderSize);
            b[at] = char(b[at] ^ (1 << (rng() % 8)));
        }
        SetTop(vm, 0);
        if (LoadChunkBuffer(vm, b.data(), b.size(), "flipped") != 0) continue;
        loaded++;
        gSteps = 0;
        ProtectedCall(vm, 0, -1, 0); // any error is fine; a crash is not
    }
    EXPECT_GT(loaded, 0);
    SetLineHook(vm, nullptr);
}

TEST_F(ChunkTest, SymbolicConstantsResolveAtLoad) {
    FunctionProto m = NewFunction(2);
    int answer = m.AddSymbol("answer"), greeting = m.AddSymbol("greeting");
    Code(m, 1, {ABx(OP_LOADK, 0, answer), ABx(OP_LOADK, 1, greeting), ABC(OP_RETURN, 0, 3, 0)});
    std::string bytes = DumpProto(m);
    EXPECT_EQ(LoadChunkBuffer(vm, bytes.data(), bytes.size(), "c"), kErrUnknownConstant);
    SetConstantResolver(vm, [](VMState *v, const char *name) {
        if (std::string(name) == "answer") PushNumber(v, 42);
        else if (std::string(name) == "greeting") PushString(v, "hi");
        else return kErrUnknownConstant;
        return 0;
    });
    ASSERT_EQ(LoadChunkBuffer(vm, bytes.data(), bytes.size(), "c"), 0);
    // a dump of the loaded function carries the resolved values
    std::string resolved = Dump(-1);
    ASSERT_EQ(ProtectedCall(vm, 0, -1, 0), 0);
    EXPECT_EQ(VMToNumber(vm, 1), 42);
    EXPECT_EQ(StringAt(2), "hi");
    SetTop(vm, 0);
    SetConstantResolver(vm, nullptr);
    ASSERT_EQ(LoadChunkBuffer(vm, resolved.data(), resolved.size(), "r"), 0);
    ASSERT_EQ(ProtectedCall(vm, 0, -1, 0), 0);
    EXPECT_EQ(VMToNumber(vm, 1), 42);
    // an unknown name refuses the chunk and names the constant
    FunctionProto u = NewFunction(1);
    int nope = u.AddSymbol("nope");
    Code(u, 1, {ABx(OP_LOADK, 0, nope), ABC(OP_RETURN, 0, 2, 0)});
    SetConstantResolver(vm, [](VMState *, const char *) { return kErrUnknownConstant; });
    EXPECT_EQ(PushProtoClosure(vm, u), kErrUnknownConstant);
    EXPECT_STREQ(GetErrorDetail(vm), "#nope");
}

// ---- Verifier --------------------------------------------------------------------------------------------------
namespace {
FunctionProto ReturnsOne() {
    FunctionProto f = NewFunction(2);
    Code(f, 1, {AsBx(OP_LOADINT, 0, 1), ABC(OP_RETURN, 0, 2, 0)});
    return f;
}
int Verify(const FunctionProto &f) { return VerifyProto(f); }
} // namespace

TEST(VerifierTest, AcceptsAWellFormedFunction) {
    EXPECT_EQ(Verify(ReturnsOne()), 0);
    EXPECT_EQ(Verify(FibMain(3)), 0);
}

TEST(VerifierTest, RefusesOutOfRangeOperands) {
    FunctionProto f = ReturnsOne();
    f.code[0] = AsBx(OP_LOADINT, 2, 1); // register 2 of 2
    EXPECT_EQ(Verify(f), kErrBadChunk);
    f = ReturnsOne();
    f.code[0] = ABx(OP_LOADK, 0, 0); // no constants
    EXPECT_EQ(Verify(f), kErrBadChunk);
    f = ReturnsOne();
    f.code[0] = ABC(OP_ADD, 0, 0, K(3));
    EXPECT_EQ(Verify(f), kErrBadChunk);
    f = ReturnsOne();
    f.code[0] = ABC(OP_GETUPVAL, 0, 0, 0); // no upvalues
    EXPECT_EQ(Verify(f), kErrBadChunk);
    f = ReturnsOne();
    f.code[0] = ABx(OP_CLOSURE, 0, 0); // no nested functions
    EXPECT_EQ(Verify(f), kErrBadChunk);
    f = ReturnsOne();
    f.code[0] = AsBx(OP_JMP, 0, 5);
    EXPECT_EQ(Verify(f), kErrBadChunk);
    f = ReturnsOne();
    f.code[0] = AsBx(OP_JMP, 0, -2);
    EXPECT_EQ(Verify(f), kErrBadChunk);
    f = ReturnsOne();
    f.code[0] = ABC(OP_CALL, 0, 3, 1); // arguments beyond the registers
    EXPECT_EQ(Verify(f), kErrBadChunk);
    f = ReturnsOne();
    f.code[0] = Instruction(63); // no such opcode
    EXPECT_EQ(Verify(f), kErrBadChunk);
}

TEST(VerifierTest, RefusesStructuralFaults) {
    FunctionProto f = ReturnsOne();
    f.code.back() = AsBx(OP_LOADINT, 0, 1); // does not end with RETURN
    EXPECT_EQ(Verify(f), kErrBadChunk);
    f = ReturnsOne();
    f.lines.pop_back();
    EXPECT_EQ(Verify(f), kErrBadChunk);
    f = ReturnsOne();
    f.code[0] = ABC(OP_EQ, 0, 0, 0); // a test must be followed by JMP
    EXPECT_EQ(Verify(f), kErrBadChunk);
    f = ReturnsOne();
    f.code[0] = AsBx(OP_GOSUB, 0, 0); // only in the main chunk
    EXPECT_EQ(Verify(f), kErrBadChunk);
    f = ReturnsOne();
    f.labels.push_back({"l", 0});
    EXPECT_EQ(Verify(f), kErrBadChunk);
    f = ReturnsOne();
    f.isVararg = false;
    f.code[0] = ABC(OP_VARARG, 0, 2, 0);
    EXPECT_EQ(Verify(f), kErrBadChunk);
    FunctionProto m = ReturnsOne();
    FunctionProto child = ReturnsOne();
    child.upvalues.push_back({true, 5, "x"}); // parent has 2 registers
    m.protos.push_back(child);
    EXPECT_EQ(Verify(m), kErrBadChunk);
}

TEST(VerifierTest, RefusesNestingBeyondTheLimit) {
    FunctionProto f = ReturnsOne();
    for (int i = 0; i < kMaxProtoNesting + 1; i++) {
        FunctionProto parent = ReturnsOne();
        parent.protos.push_back(std::move(f));
        f = std::move(parent);
    }
    EXPECT_EQ(Verify(f), kErrBadChunk);
}

TEST(DisassemblerTest, ListsEveryInstruction) {
    std::string text = DisassembleProto(FibMain(3));
    EXPECT_NE(text.find("GETGLOBAL R0 \"fib\""), std::string::npos);
    EXPECT_NE(text.find("CLOSURE"), std::string::npos);
    EXPECT_NE(text.find("main/0"), std::string::npos);
}

TEST(BoundedReaderTest, ReadsPastTheEndGiveZeroAndFail) {
    const uint8_t bytes[] = {0x12, 0x34, 0x56};
    BoundedReader r(bytes, sizeof bytes);
    EXPECT_EQ(r.U16BE(), 0x1234);
    EXPECT_FALSE(r.Failed());
    EXPECT_EQ(r.U32LE(), 0u);
    EXPECT_TRUE(r.Failed());
    EXPECT_EQ(r.U8(), 0);
    BoundedReader le(bytes, sizeof bytes);
    EXPECT_EQ(le.U16LE(), 0x3412);
    EXPECT_EQ(le.remaining(), 1u);
    EXPECT_EQ(le.U8(), 0x56);
    EXPECT_TRUE(le.AtEnd());
    EXPECT_FALSE(le.Failed());
    uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_FALSE(le.Bytes(out, 4));
    EXPECT_EQ(out[0], 0);
}

TEST(BoundedReaderTest, WhatTheWriterAppendsTheReaderReadsBack) {
    std::vector<uint8_t> bytes;
    ByteWriter(bytes).U8(7).U16BE(0xABCD).U16LE(0xABCD).U32BE(0x01020304).U32LE(0x01020304).U64BE(
        0x1122334455667788ull);
    const uint8_t head[] = {7, 0xAB, 0xCD, 0xCD, 0xAB, 1, 2, 3, 4, 4, 3, 2, 1};
    ASSERT_EQ(bytes.size(), sizeof head + 8);
    EXPECT_EQ(0, memcmp(bytes.data(), head, sizeof head));
    EXPECT_EQ(LoadU32BE(bytes.data() + 5), 0x01020304u);
    EXPECT_EQ(LoadU32LE(bytes.data() + 9), 0x01020304u);
    EXPECT_EQ(LoadU64BE(bytes.data() + 13), 0x1122334455667788ull);
    StoreU16LE(bytes.data(), 0xBEEF);
    StoreU32BE(bytes.data() + 2, 0xCAFEF00D);
    BoundedReader r(bytes);
    EXPECT_EQ(r.U16LE(), 0xBEEF);
    EXPECT_EQ(r.U32BE(), 0xCAFEF00Du);
    std::string text;
    ByteWriter(text).Bytes("AB", 2).Zeros(2).U16LE('C');
    EXPECT_EQ(text, std::string("AB\0\0C\0", 6));
}
