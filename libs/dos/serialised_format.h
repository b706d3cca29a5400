// The byte formats of serialised functions ("VLF0" raw, "VLF1" Base64 text) and tables ("VLT0"), kept apart
// from the VM: a table is read into and written from a plain tree, which the bindings convert to and from VM
// tables. Building the whole tree before writing means a table that cannot be stored (a cycle, a boolean, a
// table key) is refused before any byte reaches the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "runtime/app/errors.h"

struct FileObject;

inline constexpr char kFunctionRawMagic[4] = {'V', 'L', 'F', '0'};
inline constexpr char kFunctionTextMagic[4] = {'V', 'L', 'F', '1'};
inline constexpr char kTableMagic[4] = {'V', 'L', 'T', '0'};

constexpr uint8_t kTagEnd = 0;
constexpr uint8_t kTagNumber = 2;
constexpr uint8_t kTagString = 3;
constexpr uint8_t kTagTable = 4;
constexpr uint8_t kTagFunction = 5;

// Nesting deeper than this is refused when writing and when reading (kErrStackOverflow): the VM converts trees
// recursively and each level takes a few stack slots of the command's frame, which holds kMaxFrameSlots.
constexpr int kMaxTableDepth = 256;

// Where serialised bytes are read from: an open file (position and size kept by the file operations) or
// memory.
struct SerialSource {
    FileObject *file = nullptr;
    std::span<const uint8_t> bytes;
    size_t offset = 0;
};
// Exactly count bytes, or kErrReadBeyondEnd (nothing read) when fewer are left, or the file's read error.
int SourceRead(SerialSource *source, void *buffer, size_t count);
uint64_t SourceRemaining(const SerialSource *source);

struct SerialTable;
struct SerialKey {
    bool isString = false;
    double number = 0;
    std::string text;
};
struct SerialValue {
    uint8_t tag = kTagNumber;
    double number = 0;
    std::string bytes; // a string, or a function's bytecode chunk
    std::unique_ptr<SerialTable> table;
};
struct SerialPair {
    SerialKey key;
    SerialValue value;
};
struct SerialTable {
    std::vector<SerialPair> pairs;
};

// A function record without its magic: the length field and the body (the chunk, or its Base64 text).
// kErrWrongUsage when the body does not fit the 32-bit length field.
int EncodeFunctionRecord(std::span<const uint8_t> chunk, bool text, std::string *out);
// Appends a table body (pairs, then the end byte); functions in text form when textFunctions is set.
int EncodeTableBody(const SerialTable &table, bool textFunctions, std::string *out);

// Reads a function record without its magic in the given form: kErrReadBeyondEnd when the length passes the bytes
// left (checked before anything is allocated), kErrInvalidBase64 for bad hexadecimal digits or Base64.
int DecodeFunctionRecord(SerialSource *source, bool text, std::string *chunk);
// The same for a function inside a table, in either form: a raw body starts with the chunk's ESC byte, a text
// length field with eight hexadecimal digits, so the fifth byte tells them apart.
int DecodeTableFunctionRecord(SerialSource *source, std::string *chunk);
// Reads a table body: kErrReadBeyondEnd at a premature end, kErrWrongUsage for an unknown tag or a NaN key (no table
// can hold it), kErrStackOverflow beyond kMaxTableDepth.
int DecodeTableBody(SerialSource *source, SerialTable *table, int depth = 0);
