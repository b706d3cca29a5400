// Interning and joining at every short length, where the word-at-a-time byte handling has its edge cases.
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
        EXPECT_TRUE(VMRawEqual(vm, -1, -2)) << "length " << length;
        EXPECT_EQ(ToPointer(vm, -1), ToPointer(vm, -2));
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
