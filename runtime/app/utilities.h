// Small utilities shared by every subsystem: intrusive doubly linked lists, endian readers and writers, file and
// chunk names, case rules, console progress messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// ---- Lists ---------------------------------------------------------------------------------------------------
// Nodes are embedded in the records they link. The header holds a head and a tail sentinel, so a walk runs
// `for (n = list.headNode.next; n->next; n = n->next)` and insertion never tests for an empty list.
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

// ---- Endian readers and writers ------------------------------------------------------------------------------
// Built on a byte source whose get() returns 0..255, or -1 at the end. The -1 of an exhausted source is
// combined into the value as it is, without an error (callers check the source's end or failure flag).
template <class GetByte> int32_t ReadU16BEWith(GetByte &&get) {
    int32_t hi = get(), lo = get();
    return static_cast<int16_t>(static_cast<uint16_t>((hi << 8) | (lo & 0xFF)));
}
template <class GetByte> uint32_t ReadU32BEWith(GetByte &&get) {
    uint32_t v = 0;
    for (int i = 0; i < 4; i++) v = (v << 8) | static_cast<uint32_t>(get() & 0xFF);
    return v;
}
template <class GetByte> int32_t ReadU16LEWith(GetByte &&get) {
    int32_t lo = get(), hi = get();
    return static_cast<int16_t>(static_cast<uint16_t>(((hi & 0xFF) << 8) | (lo & 0xFF)));
}
template <class GetByte> uint32_t ReadU32LEWith(GetByte &&get) {
    uint32_t v = 0;
    for (int i = 0; i < 4; i++) v |= static_cast<uint32_t>(get() & 0xFF) << (8 * i);
    return v;
}
// put(byte) returns 0 on failure; the writers return 1 when every byte was written.
template <class PutByte> int WriteU16BEWith(PutByte &&put, uint32_t v) {
    int ok = put(static_cast<uint8_t>(v >> 8)) != 0;
    ok &= put(static_cast<uint8_t>(v)) != 0;
    return ok;
}
template <class PutByte> int WriteU32BEWith(PutByte &&put, uint32_t v) {
    int ok = 1;
    for (int shift = 24; shift >= 0; shift -= 8) ok &= put(static_cast<uint8_t>(v >> shift)) != 0;
    return ok;
}
template <class PutByte> int WriteU16LEWith(PutByte &&put, uint32_t v) {
    int ok = put(static_cast<uint8_t>(v)) != 0;
    ok &= put(static_cast<uint8_t>(v >> 8)) != 0;
    return ok;
}
template <class PutByte> int WriteU32LEWith(PutByte &&put, uint32_t v) {
    int ok = 1;
    for (int shift = 0; shift <= 24; shift += 8) ok &= put(static_cast<uint8_t>(v >> shift)) != 0;
    return ok;
}

// A cursor over a byte span; reads past the end give -1.
struct ByteCursor {
    std::span<const uint8_t> bytes;
    size_t position = 0;
    int GetByte() { return position < bytes.size() ? bytes[position++] : (position++, -1); }
};
// A cursor over a writable span; writes past the end fail.
struct ByteWriteCursor {
    std::span<uint8_t> bytes;
    size_t position = 0;
    int PutByte(uint8_t b) {
        if (position >= bytes.size()) return 0;
        bytes[position++] = b;
        return 1;
    }
};
int32_t ReadU16BE(ByteCursor *cursor);
uint32_t ReadU32BE(ByteCursor *cursor);
int32_t ReadU16LE(ByteCursor *cursor);
uint32_t ReadU32LE(ByteCursor *cursor);
int WriteU16BE(ByteWriteCursor *cursor, uint32_t value);
int WriteU32BE(ByteWriteCursor *cursor, uint32_t value);
int WriteU16LE(ByteWriteCursor *cursor, uint32_t value);
int WriteU32LE(ByteWriteCursor *cursor, uint32_t value);

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
// Ends the progress line with "done".
void PrintDoneMessage();
