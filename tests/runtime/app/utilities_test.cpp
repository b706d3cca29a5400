#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/app/applet_format.h"
#include "runtime/app/hooks.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/app/utilities.h"

namespace {

struct Item {
    ListNode node; // first, so a node pointer is the item's
    int value;
};

std::vector<int> Walk(ListHeader &list) {
    std::vector<int> out;
    for (ListNode *n = list.headNode.next; n->next; n = n->next) out.push_back(reinterpret_cast<Item *>(n)->value);
    return out;
}

TEST(Lists, AddHeadAndTailKeepOrder) {
    ListHeader list;
    InitList(&list);
    EXPECT_TRUE(IsListEmpty(&list));
    Item a{{}, 1}, b{{}, 2}, c{{}, 3};
    AddTailNode(&list, &a.node);
    AddTailNode(&list, &b.node);
    AddTailNode(&list, &c.node);
    EXPECT_EQ(Walk(list), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(FirstNode(&list), &a.node);
    EXPECT_EQ(LastNode(&list), &c.node);
    EXPECT_EQ(NextNode(&c.node), nullptr);
    EXPECT_EQ(PreviousNode(&a.node), nullptr);
}

TEST(Lists, NewHeaderIsEmptyWithoutInit) {
    ListHeader list;
    EXPECT_TRUE(IsListEmpty(&list));
    Item a{{}, 1};
    AddTailNode(&list, &a.node);
    EXPECT_EQ(Walk(list), (std::vector<int>{1}));
}

TEST(Lists, InsertLinksAfterPredecessor) {
    ListHeader list;
    InitList(&list);
    Item a{{}, 1}, b{{}, 2}, c{{}, 3};
    AddTailNode(&list, &a.node);
    AddTailNode(&list, &c.node);
    InsertNode(&list, &b.node, &a.node);
    EXPECT_EQ(Walk(list), (std::vector<int>{1, 2, 3}));
}

TEST(Lists, RemoveUnlinksFromAnyPosition) {
    ListHeader list;
    InitList(&list);
    Item a{{}, 1}, b{{}, 2}, c{{}, 3};
    AddTailNode(&list, &a.node);
    AddTailNode(&list, &b.node);
    AddTailNode(&list, &c.node);
    RemoveNode(&b.node);
    EXPECT_EQ(Walk(list), (std::vector<int>{1, 3}));
    RemoveNode(&a.node);
    RemoveNode(&c.node);
    EXPECT_TRUE(IsListEmpty(&list));
    EXPECT_EQ(FirstNode(&list), nullptr);
}

TEST(Names, BaseNameAfterLastSeparator) {
    EXPECT_STREQ(ChunkBaseName("fonts:vera/12"), "12");
    EXPECT_STREQ(ChunkBaseName("dir\\file.txt"), "file.txt");
    EXPECT_STREQ(ChunkBaseName("plain"), "plain");
    EXPECT_STREQ(ChunkBaseName("dir/"), "");
}

TEST(Names, CuttingAtFileNamePartLeavesDirectory) {
    char path[] = "data/gfx/pic.png";
    *GetFileNamePart(path) = 0;
    EXPECT_STREQ(path, "data/gfx/");
}

TEST(Names, JoinPathInsertsSeparatorOnlyWhenNeeded) {
    char path[64] = "data";
    EXPECT_EQ(JoinPath(path, "pic.png", sizeof path), 1);
    EXPECT_STREQ(path, "data/pic.png");
    char device[64] = "PROGDIR:";
    JoinPath(device, "a", sizeof device);
    EXPECT_STREQ(device, "PROGDIR:a");
    char empty[64] = "";
    JoinPath(empty, "a", sizeof empty);
    EXPECT_STREQ(empty, "a");
}

TEST(Names, JoinPathRefusesOverflowAndKeepsPath) {
    char path[8] = "abc";
    EXPECT_EQ(JoinPath(path, "defg", sizeof path), 0); // "abc/defg" needs 9 bytes
    EXPECT_STREQ(path, "abc");
    EXPECT_EQ(JoinPath(path, "def", sizeof path), 1); // exactly 8 with the terminator
    EXPECT_STREQ(path, "abc/def");
}

TEST(Names, ChunkNameLayout) {
    EXPECT_EQ(MakeChunkName("font.ttf", 4096, 1200, "/apps/demo"), ":::chunk4096:1200*font.ttf//apps/demo");
    // Offsets beyond 32 bits are written whole.
    EXPECT_EQ(MakeChunkName("a", 0x100000000ull, 1, "c"), ":::chunk4294967296:1*a/c");
}

TEST(Case, AsciiLowerLeavesOtherBytes) { EXPECT_EQ(AsciiLower("DebugPrint\xC4"), "debugprint\xC4"); }

TEST(Case, Latin1Classes) {
    EXPECT_TRUE(IsLatin1Upper(0xC4));
    EXPECT_FALSE(IsLatin1Upper(0xD7)); // multiplication sign
    EXPECT_TRUE(IsLatin1Lower(0xE4));
    EXPECT_FALSE(IsLatin1Lower(0xF7)); // division sign
    EXPECT_EQ(Latin1ToLower(0xC4), 0xE4);
    EXPECT_EQ(Latin1ToUpper(0xE4), 0xC4);
    EXPECT_EQ(Latin1ToUpper('q'), 'Q');
    EXPECT_EQ(Latin1ToUpper(0xD7), 0xD7);
}

TEST(Case, SharpSAndYDiaeresisHaveNoUpperPartner) {
    // 0xDF - 32 would be an inverted question mark; 0xFF - 32 would be sharp s.
    EXPECT_EQ(Latin1ToUpper(0xDF), 0xDF);
    EXPECT_EQ(Latin1ToUpper(0xFF), 0xFF);
}

std::string g_console;
void CaptureConsole(const char *bytes, size_t length) { g_console.append(bytes, length); }

struct Console : ::testing::Test {
    void SetUp() override {
        ResetRuntimeGlobals();
        g_console.clear();
        ConsoleWriteHook = CaptureConsole;
    }
    void TearDown() override { ConsoleWriteHook = nullptr; }
};

TEST_F(Console, ProgressLineAndDone) {
    PrintConsoleMessage("Loading brush %s", "ball.png", 1);
    PrintDoneMessage();
    EXPECT_EQ(g_console, "Loading brush ball.png...done\n");
}

TEST_F(Console, QuietModePrintsNothing) {
    QuietMode = 1;
    PrintConsoleMessage("Preparing display", nullptr, 1);
    PrintDoneMessage();
    EXPECT_EQ(g_console, "");
}

} // namespace
