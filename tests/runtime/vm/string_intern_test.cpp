// Interning and joining at every short length, where the word-at-a-time byte handling has its edge cases.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/runtime/vm/vm_test_support.h"

namespace {

class StringInternTest : public VMTest {};

std::string Pattern(size_t length, char fill) {
    std::string s;
    for (size_t i = 0; i < length; i++) s.push_back(char(fill + i % 7));
    return s;
}

} // namespace

TEST_F(StringInternTest, StringsDifferingInOneByteAreDistinctAtEveryLength) {
    for (size_t length = 1; length <= 40; length++) {
        std::string base = Pattern(length, 'a');
        base[length / 2] = 0; // a zero byte inside
        PushStringLen(vm, base.data(), base.size());
        for (size_t at = 0; at < length; at++) {
            std::string other = base;
            other[at] = char(other[at] + 1);
            PushStringLen(vm, other.data(), other.size());
            EXPECT_FALSE(VMRawEqual(vm, -1, -2)) << "length " << length << " byte " << at;
            SetTop(vm, -2);
        }
        std::string same = base;
        PushStringLen(vm, same.data(), same.size());
        EXPECT_TRUE(VMRawEqual(vm, -1, -2)) << "length " << length; // one object: strings compare by address
        SetTop(vm, 0);
    }
}

TEST_F(StringInternTest, JoinsOfPiecesOfEveryShortLengthKeepEveryByte) {
    for (size_t left = 0; left <= 20; left++) {
        for (size_t right = 0; right <= 20; right++) {
            std::string a = Pattern(left, 'A'), b = Pattern(right, 'a');
            PushStringLen(vm, a.data(), a.size());
            PushStringLen(vm, b.data(), b.size());
            PushNumber(vm, -1234567);
            ConcatValues(vm, 3);
            EXPECT_EQ(StringAt(-1), a + b + "-1234567");
            SetTop(vm, 0);
        }
    }
}

TEST_F(StringInternTest, ConcatOfTwoValuesGivesTheSameStringsAsTheGeneralJoin) {
    // CONCAT R2 R0 R1 for the pairs the instruction joins by itself (text .. number, text .. text, short
    // text) and for those it leaves to the general join; each result must be the interned string of the bytes.
    struct Case {
        std::string left;
        bool rightIsNumber;
        double number;
        std::string right;
        std::string expected;
    };
    std::string longText(100, 'x');
    std::vector<Case> cases = {
        {"key", true, 123456, "", "key123456"},
        {"key", true, -0.5, "", "key-0.5"},
        {std::string("a\0b", 3), false, 0, std::string("\0c", 2), std::string("a\0b\0c", 5)},
        {"", false, 0, "", ""},
        {longText, true, 7, "", longText + "7"},
        {"x", false, 0, longText + longText, "x" + longText + longText},
    };
    for (const Case &c : cases) {
        FunctionProto f = NewFunction(3);
        int kl = f.AddString(c.left);
        int kr = c.rightIsNumber ? f.AddNumber(c.number) : f.AddString(c.right);
        Code(f, 1, {ABx(OP_LOADK, 0, kl), ABx(OP_LOADK, 1, kr), ABC(OP_CONCAT, 2, 0, 1), ABC(OP_RETURN, 2, 2, 0)});
        ASSERT_EQ(PushProtoClosure(vm, f), 0);
        ASSERT_EQ(ProtectedCall(vm, 0, 1, 0), 0);
        EXPECT_EQ(StringAt(-1), c.expected);
        PushStringLen(vm, c.expected.data(), c.expected.size());
        EXPECT_TRUE(VMRawEqual(vm, -1, -2)); // interned: the very same object (raw equality compares addresses)
        SetTop(vm, 0);
    }
}

TEST_F(StringInternTest, ManyStringsStayOneObjectEachThroughGrowthAndSweeps) {
    // Enough strings to grow the interning table many times near its fullest and fill several slabs of blocks,
    // at every interned length; then a sweep of half of them, whose blocks the same strings made again reuse
    // beside the survivors.
    const int kCount = GCStressRequested() ? 1500 : 30000; // a collection per allocation makes it quadratic
    auto text = [](int i) { // distinct, 2 to 40 bytes
        std::string t = std::to_string(i * 7919) + "#";
        t.resize(std::max(t.size(), size_t(i % 41)), char('a' + i % 26));
        return t;
    };
    NewTable(vm); // 1: keeps the strings alive
    for (int i = 0; i < kCount; i++) {
        std::string t = text(i);
        PushStringLen(vm, t.data(), t.size());
        RawSetIndex(vm, 1, i);
    }
    for (int i = 0; i < kCount; i += 2) { // drop the even ones
        PushNil(vm);
        RawSetIndex(vm, 1, i);
    }
    CollectGarbage(vm);
    for (int round = 0; round < 2; round++) {
        for (int i = 0; i < kCount; i++) {
            std::string t = text(i);
            PushStringLen(vm, t.data(), t.size());
            EXPECT_EQ(StringAt(-1), t);
            if (i % 2) {
                RawGetIndex(vm, 1, i);
                EXPECT_TRUE(VMRawEqual(vm, -1, -2)) << t;
                EXPECT_EQ(StringAt(-1), t);
            } else if (round == 0) {
                PushValue(vm, -1);
                RawSetIndex(vm, 1, i); // kept for the second round, which finds the same objects again
            } else {
                RawGetIndex(vm, 1, i);
                EXPECT_TRUE(VMRawEqual(vm, -1, -2)) << t;
            }
            SetTop(vm, 1);
        }
    }
}

// Appends that grow a shared buffer in place overwrite the zero after the shorter strings in it: each one handed
// out as a C string is still terminated, and one handed out before is never appended past.
TEST_F(StringInternTest, StringsGrownInPlaceStayTerminatedWhenHandedOut) {
    std::string text(100, 'a');
    PushStringLen(vm, text.data(), text.size());
    for (int i = 0; i < 5; i++) {
        PushValue(vm, -1);
        PushString(vm, "b");
        ConcatValues(vm, 2);
    }
    for (int i = 5; i >= 1; i--) {
        size_t length = 0;
        const char *bytes = VMToString(vm, i + 1, &length);
        EXPECT_EQ(length, text.size() + i);
        EXPECT_EQ(std::strlen(bytes), length) << i;
    }
    const char *handed = VMToString(vm, -1);
    PushValue(vm, -1);
    PushString(vm, "c");
    ConcatValues(vm, 2);
    EXPECT_EQ(std::strlen(handed), text.size() + 5);
    EXPECT_EQ(StringAt(-1), text + "bbbbbc");
    EXPECT_EQ(StringAt(-2), text + "bbbbb");
}
