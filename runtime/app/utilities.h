// Small utilities shared by every subsystem: intrusive doubly linked lists, endian readers and writers, file and
// chunk names, case rules, console progress messages.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// ---- Lists ---------------------------------------------------------------------------------------------------
// Nodes are embedded in the records they link. The header holds a head and a tail sentinel, so a walk runs
// `for (n = list.headNode.next; n->next; n = n->next)` and insertion never tests for an empty list.
// Counts every change of any list and every new header, so that a cache built from a list sees it is stale.
extern std::atomic<uint64_t> ListChangeCount;
struct ListNode {
    ListNode *next = nullptr;
    ListNode *prev = nullptr;
};
struct ListHeader {
    ListNode headNode; // headNode.prev is always null
    ListNode tailNode; // tailNode.next is always null
    ListHeader() { // born empty; InitList empties it again
        headNode.next = &tailNode;
        tailNode.prev = &headNode;
        ListChangeCount.fetch_add(1, std::memory_order_relaxed);
    }
    ListHeader(const ListHeader &) = delete; // the nodes point into the header
    ListHeader &operator=(const ListHeader &) = delete;
};

void InitList(ListHeader *list);
void AddTailNode(ListHeader *list, ListNode *node);
// Links node after predecessor (null: at the head).
void InsertNode(ListHeader *list, ListNode *node, ListNode *predecessor);
void RemoveNode(ListNode *node);
bool IsListEmpty(const ListHeader *list);
ListNode *FirstNode(ListHeader *list); // null when empty
ListNode *LastNode(ListHeader *list);  // null when empty
ListNode *NextNode(ListNode *node);    // null after the last
ListNode *PreviousNode(ListNode *node);

// ---- Names and paths -----------------------------------------------------------------------------------------
// The text after the last "/", "\" or ":", or the name itself when it has none.
const char *ChunkBaseName(const char *name);
// The same as a writable pointer: storing a zero there leaves the directory part.
char *GetFileNamePart(char *path);
// Appends name in place, with "/" between unless path is empty or ends in "/", "\" or ":". The result must fit
// in limit bytes with its terminator; returns 1, or 0 (path unchanged) when it would not fit.
constexpr size_t kMaxPathLength = 1024;
int JoinPath(char *path, const char *name, size_t limit = kMaxPathLength);

// ---- Case ----------------------------------------------------------------------------------------------------
// Names of commands, constants and labels: ASCII lower-casing only.
inline char AsciiToLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
std::string AsciiLower(std::string_view text);
// ISO-8859-1 classes used by the string library.
bool IsLatin1Upper(uint8_t c); // A-Z, 0xC0-0xDE except 0xD7
bool IsLatin1Lower(uint8_t c); // a-z, 0xDF-0xFF except 0xF7
uint8_t Latin1ToUpper(uint8_t c);
uint8_t Latin1ToLower(uint8_t c);

// ---- Console progress ----------------------------------------------------------------------------------------
// Prints format with "%s" filled by argument (null: none), followed by "..." when withDots is set and no line
// end; nothing while QuietMode is set.
void PrintConsoleMessage(const char *format, const char *argument, int withDots);
// Ends the progress line with text (the catalog's "done"; the runtime sits below the catalog).
void PrintDoneMessage(const char *text = "done");
