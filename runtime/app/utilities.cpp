#include "runtime/app/utilities.h"

#include <cstdio>
#include <cstring>

#include "runtime/app/hooks.h"
#include "runtime/app/runtime_globals.h"

// ---- Lists ---------------------------------------------------------------------------------------------------
std::atomic<uint64_t> ListChangeCount{0};

void InitList(ListHeader *list) {
    ListChangeCount.fetch_add(1, std::memory_order_relaxed);
    list->headNode.prev = nullptr;
    list->headNode.next = &list->tailNode;
    list->tailNode.prev = &list->headNode;
    list->tailNode.next = nullptr;
}

void InsertNode(ListHeader *list, ListNode *node, ListNode *predecessor) {
    ListChangeCount.fetch_add(1, std::memory_order_relaxed);
    if (!predecessor) predecessor = &list->headNode;
    ListNode *successor = predecessor->next;
    node->prev = predecessor;
    node->next = successor;
    predecessor->next = node;
    successor->prev = node;
}

void AddTailNode(ListHeader *list, ListNode *node) { InsertNode(list, node, list->tailNode.prev); }

void RemoveNode(ListNode *node) {
    ListChangeCount.fetch_add(1, std::memory_order_relaxed);
    node->prev->next = node->next;
    node->next->prev = node->prev;
    node->next = nullptr;
    node->prev = nullptr;
}

bool IsListEmpty(const ListHeader *list) { return list->headNode.next == &list->tailNode; }
ListNode *FirstNode(ListHeader *list) { return IsListEmpty(list) ? nullptr : list->headNode.next; }
ListNode *LastNode(ListHeader *list) { return IsListEmpty(list) ? nullptr : list->tailNode.prev; }
ListNode *NextNode(ListNode *node) { return node->next && node->next->next ? node->next : nullptr; }
ListNode *PreviousNode(ListNode *node) { return node->prev && node->prev->prev ? node->prev : nullptr; }

// ---- Names and paths -----------------------------------------------------------------------------------------
static bool IsPathSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }

const char *ChunkBaseName(const char *name) {
    const char *part = name;
    for (const char *p = name; *p; p++)
        if (IsPathSeparator(*p)) part = p + 1;
    return part;
}

char *GetFileNamePart(char *path) { return const_cast<char *>(ChunkBaseName(path)); }

int JoinPath(char *path, const char *name, size_t limit) {
    size_t pathLength = strlen(path);
    size_t nameLength = strlen(name);
    bool separator = pathLength > 0 && !IsPathSeparator(path[pathLength - 1]);
    size_t total = pathLength + (separator ? 1 : 0) + nameLength;
    if (total + 1 > limit) return 0;
    if (separator) path[pathLength++] = '/';
    memcpy(path + pathLength, name, nameLength + 1);
    return 1;
}

// ---- Case ----------------------------------------------------------------------------------------------------
std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char &c : out) c = AsciiToLower(c);
    return out;
}

bool IsLatin1Upper(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7); }
bool IsLatin1Lower(uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 0xDF && c != 0xF7); }

// 0xDF (sharp s) and 0xFF (y diaeresis) are lower case without an upper case partner in this set.
uint8_t Latin1ToUpper(uint8_t c) {
    return (IsLatin1Lower(c) && c != 0xDF && c != 0xFF) ? static_cast<uint8_t>(c - 32) : c;
}
uint8_t Latin1ToLower(uint8_t c) { return IsLatin1Upper(c) ? static_cast<uint8_t>(c + 32) : c; }

// ---- Console progress ----------------------------------------------------------------------------------------
static void WriteConsole(const std::string &text) {
    if (ConsoleWriteHook) {
        ConsoleWriteHook(text.data(), text.size());
        return;
    }
    fwrite(text.data(), 1, text.size(), stdout);
    fflush(stdout);
}

void PrintConsoleMessage(const char *format, const char *argument, int withDots) {
    if (QuietMode || !format) return;
    std::string text;
    for (const char *p = format; *p;) {
        if (p[0] == '%' && p[1] == 's') {
            text += argument ? argument : "";
            p += 2;
        } else {
            text += *p++;
        }
    }
    if (withDots) text += "...";
    WriteConsole(text);
}

void PrintDoneMessage(const char *text) {
    if (QuietMode) return;
    WriteConsole(std::string(text ? text : "") + "\n");
}
