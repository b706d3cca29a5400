// The table's hash index (entries carry hash bits, nodes keep the whole hash for rehashing) against a plain map as the
// oracle, key strings shared by tables of different orders (each string remembers one node number), and the
// integer fast path of number formatting against printf.
#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/runtime/vm/vm_test_support.h"

namespace {

class TableIndexTest : public VMTest {};

// Pushes key number `id` of a mixed population: strings, integers, fractions and negative numbers.
void PushKey(VMState *vm, int id) {
    switch (id % 4) {
    case 0: PushString(vm, ("k" + std::to_string(id)).c_str()); break;
    case 1: PushNumber(vm, 100000 + id); break; // past the array part
    case 2: PushNumber(vm, id + 0.5); break;
    default: PushNumber(vm, -id); break;
    }
}

} // namespace

TEST_F(TableIndexTest, InsertsOverwritesAndRemovalsMatchAMapThroughRehashes) {
    NewTable(vm);
    std::map<int, int> oracle;
    std::mt19937 random(7);
    for (int step = 0; step < 8000; step++) {
        int id = int(random() % 1500);
        bool remove = random() % 4 == 0;
        PushKey(vm, id);
        if (remove) {
            PushNil(vm);
            oracle.erase(id);
        } else {
            PushNumber(vm, step);
            oracle[id] = step;
        }
        VMRawSet(vm, 1);
    }
    for (int id = 0; id < 1500; id++) {
        PushKey(vm, id);
        VMRawGet(vm, 1);
        if (oracle.count(id))
            EXPECT_EQ(VMToNumber(vm, -1), oracle[id]) << "key " << id;
        else
            EXPECT_EQ(ValueType(vm, -1), TNIL) << "key " << id;
        SetTop(vm, 1);
    }
    size_t visited = 0;
    PushNil(vm);
    while (NextPair(vm, 1)) {
        visited++;
        SetTop(vm, -2);
    }
    EXPECT_EQ(visited, oracle.size());
}

TEST_F(TableIndexTest, ReinsertedKeysAfterRemovalAreFoundAndWalkedOnce) {
    NewTable(vm);
    for (int round = 0; round < 3; round++) {
        for (int i = 0; i < 500; i++) {
            PushKey(vm, i);
            PushNumber(vm, round * 1000 + i);
            VMRawSet(vm, 1);
        }
        for (int i = 0; i < 500; i += 2) { // leaves Nil-valued nodes and tombstones behind
            PushKey(vm, i);
            PushNil(vm);
            VMRawSet(vm, 1);
        }
    }
    for (int i = 0; i < 500; i++) {
        PushKey(vm, i);
        VMRawGet(vm, 1);
        if (i % 2)
            EXPECT_EQ(VMToNumber(vm, -1), 2000 + i);
        else
            EXPECT_EQ(ValueType(vm, -1), TNIL);
        SetTop(vm, 1);
    }
    int visited = 0;
    PushNil(vm);
    while (NextPair(vm, 1)) {
        visited++;
        SetTop(vm, -2);
    }
    EXPECT_EQ(visited, 250);
}

TEST_F(TableIndexTest, KeysPulledIntoTheArrayLeaveNoNodesThatOutgrowTheIndex) {
    // Each round files three number keys past the array's end and a string key, then fills the gap: the three
    // move to the array and leave removed entries that the next keys reuse, while their dead nodes stay.
    constexpr int kRounds = 3000;
    NewTable(vm);
    for (int r = 0; r < kRounds; r++) {
        for (int j : {3, 1, 2}) {
            PushNumber(vm, 4 * r + j);
            PushNumber(vm, 4 * r + j);
            VMRawSet(vm, 1);
        }
        PushString(vm, ("s" + std::to_string(r)).c_str());
        PushNumber(vm, -r);
        VMRawSet(vm, 1);
        PushNumber(vm, 4 * r);
        PushNumber(vm, 4 * r);
        VMRawSet(vm, 1);
    }
    EXPECT_EQ(TableListLength(vm, 1), size_t(4 * kRounds));
    double sum = 0;
    int pairs = 0;
    PushNil(vm);
    while (NextPair(vm, 1)) {
        sum += VMToNumber(vm, -1);
        pairs++;
        SetTop(vm, -2);
    }
    EXPECT_EQ(pairs, 5 * kRounds);
    EXPECT_EQ(sum, double(4 * kRounds) * (4 * kRounds - 1) / 2 - double(kRounds) * (kRounds - 1) / 2);
    for (int r = 0; r < kRounds; r += 7) {
        PushString(vm, ("s" + std::to_string(r)).c_str());
        VMRawGet(vm, 1);
        EXPECT_EQ(VMToNumber(vm, -1), -r);
        SetTop(vm, 1);
    }
}

TEST_F(TableIndexTest, KeysOfEveryKindHeldOnlyByTheTableSurviveCollectionsAndRehashes) {
    // Tables and long strings that nothing but the table holds as keys, beside handles, booleans and numbers;
    // collections between the rehashes must keep each key with its kind and its value.
    constexpr int kEach = 700;
    auto longKey = [](int i) { return "a key too long to be interned, number " + std::to_string(i) + " of them"; };
    NewTable(vm);
    for (int i = 0; i < kEach; i++) {
        NewTable(vm);
        PushNumber(vm, i);
        VMRawSet(vm, 1);
        std::string text = longKey(i);
        PushStringLen(vm, text.data(), text.size());
        PushNumber(vm, kEach + i);
        VMRawSet(vm, 1);
        PushHandle(vm, reinterpret_cast<void *>(uintptr_t(16 * i + 8)));
        PushNumber(vm, 2 * kEach + i);
        VMRawSet(vm, 1);
        if (i % 100 == 0) CollectGarbage(vm);
    }
    PushBoolean(vm, 1);
    PushNumber(vm, -1);
    VMRawSet(vm, 1);
    CollectGarbage(vm);
    std::vector<int> seen(3 * kEach, 0);
    int booleans = 0;
    PushNil(vm);
    while (NextPair(vm, 1)) {
        int value = int(VMToNumber(vm, -1));
        int kind = ValueType(vm, -2);
        if (value == -1) {
            booleans += kind == TBOOLEAN;
        } else if (value >= 0 && value < 3 * kEach) {
            int expected = value < kEach ? TTABLE : value < 2 * kEach ? TSTRING : TLIGHTHANDLE;
            EXPECT_EQ(kind, expected) << value;
            if (kind == TSTRING) {
                EXPECT_EQ(StringAt(-2), longKey(value - kEach));
            } else if (kind == TLIGHTHANDLE) {
                EXPECT_EQ(ToHandle(vm, -2), reinterpret_cast<void *>(uintptr_t(16 * (value - 2 * kEach) + 8)));
            }
            seen[size_t(value)]++;
        }
        SetTop(vm, -2);
    }
    EXPECT_EQ(booleans, 1);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 3 * kEach);
    for (int i = 0; i < kEach; i += 13) { // equal long strings made anew find their entries
        std::string text = longKey(i);
        PushStringLen(vm, text.data(), text.size());
        VMRawGet(vm, 1);
        EXPECT_EQ(VMToNumber(vm, -1), kEach + i);
        SetTop(vm, 1);
    }
}

TEST_F(TableIndexTest, KeyStringsSharedByTablesOfDifferentOrdersFindTheirOwnEntries) {
    constexpr int kKeys = 300;
    // Insertion orders: forward, backward, even keys first; the third table then loses every third key.
    auto order = [](int table, int i) { return table == 0 ? i : table == 1 ? kKeys - 1 - i : (i * 2 + i / 150) % kKeys; };
    for (int table = 0; table < 3; table++) {
        NewTable(vm);
        for (int i = 0; i < kKeys; i++) {
            PushKey(vm, order(table, i) * 4); // the string keys of the mixed population
            PushNumber(vm, table * 1000 + order(table, i));
            VMRawSet(vm, table + 1);
        }
    }
    for (int i = 0; i < kKeys; i += 3) {
        PushKey(vm, i * 4);
        PushNil(vm);
        VMRawSet(vm, 3);
    }
    for (int round = 0; round < 2; round++)
        for (int i = 0; i < kKeys; i++)
            for (int table = 0; table < 3; table++) { // alternating, so each lookup follows another table's
                PushKey(vm, i * 4);
                VMRawGet(vm, table + 1);
                if (table == 2 && i % 3 == 0)
                    EXPECT_EQ(ValueType(vm, -1), TNIL) << "key " << i;
                else
                    EXPECT_EQ(VMToNumber(vm, -1), table * 1000 + i) << "table " << table << " key " << i;
                SetTop(vm, 3);
            }
}

TEST(NumberFormatTest, WholeNumbersMatchPrintf) {
    std::vector<double> values = {1, -1, 9, 10, 99, 100, 101, 4294967295.0, 4294967296.0, -4294967297.0,
                                  99999999999999.0, -99999999999999.0, 1e14, -1e14, 1e15, 0, -0.0, 0.5, 1e300};
    for (long i = -100000; i <= 100000; i += 7) values.push_back(double(i) * 1234567);
    for (double p = 1; p <= 1e14; p *= 10) values.insert(values.end(), {p - 1, p, p + 1, -p, 1 - p}); // digit counts
    for (double v : values) {
        char ours[64], theirs[64];
        int n = FormatNumber(v, ours, sizeof ours);
        std::snprintf(theirs, sizeof theirs, "%.14g", v);
        EXPECT_STREQ(ours, theirs);
        EXPECT_EQ(size_t(n), std::string(theirs).size());
    }
    char small[4];
    EXPECT_EQ(FormatNumber(123456, small, sizeof small), 3); // cut like printf
    EXPECT_STREQ(small, "123");
}
