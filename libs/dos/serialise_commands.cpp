// Bindings of the serialised function and table commands, and the conversion between VM tables and the plain
// trees the record formats are written from and read into.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "libs/dos/dos_library.h"
#include "libs/dos/file_object.h"
#include "libs/dos/serialised_format.h"
#include "runtime/app/errors.h"

namespace {

// Slots one nesting level of the conversions takes: the table, a key and a value, with one to spare.
constexpr int kSlotsPerLevel = 4;

int AbsoluteIndex(VMState *vm, int index) {
    return index < 0 ? GetTop(vm) + index + 1 : index;
}

int AppendPiece(VMState *, const void *bytes, size_t size, void *data) {
    static_cast<std::string *>(data)->append(static_cast<const char *>(bytes), size);
    return 0;
}

int DumpFunction(VMState *vm, int index, std::string *chunk) {
    chunk->clear();
    return DumpStackFunction(vm, index, AppendPiece, chunk);
}

int LoadFunction(VMState *vm, const std::string &chunk) {
    return LoadChunkBuffer(vm, chunk.data(), chunk.size(), "=ReadFunction");
}

// The table at index as a tree. ancestors holds the tables being converted, so a table that contains itself
// is found instead of recursed into forever; a table shared by two keys without a cycle is simply stored
// twice.
int BuildSerialTable(VMState *vm, int index, SerialTable *out, std::vector<const void *> *ancestors) {
    index = AbsoluteIndex(vm, index);
    const void *self = ToPointer(vm, index);
    if (std::find(ancestors->begin(), ancestors->end(), self) != ancestors->end()) return kErrWrongUsage;
    if (ancestors->size() >= static_cast<size_t>(kMaxTableDepth)) return kErrStackOverflow;
    if (!CheckStack(vm, kSlotsPerLevel)) return kErrStackOverflow;
    ancestors->push_back(self);
    int base = GetTop(vm);
    int error = 0;
    PushNil(vm);
    while (error == 0 && NextPair(vm, index)) {
        SerialPair pair;
        size_t length = 0;
        switch (ValueType(vm, -2)) {
        case TNUMBER:
            pair.key.number = VMToNumber(vm, -2);
            break;
        case TSTRING: {
            const char *text = VMToString(vm, -2, &length);
            pair.key.isString = true;
            pair.key.text.assign(text, length);
            break;
        }
        default:
            error = kErrWrongUsage; // tables, functions and handles cannot be keys in the format
        }
        if (error) break;
        switch (ValueType(vm, -1)) {
        case TNUMBER:
            pair.value.number = VMToNumber(vm, -1);
            break;
        case TSTRING: {
            const char *text = VMToString(vm, -1, &length);
            pair.value.tag = kTagString;
            pair.value.bytes.assign(text, length);
            break;
        }
        case TTABLE:
            pair.value.tag = kTagTable;
            pair.value.table = std::make_unique<SerialTable>();
            error = BuildSerialTable(vm, -1, pair.value.table.get(), ancestors);
            break;
        case TFUNCTION:
            pair.value.tag = kTagFunction;
            error = DumpFunction(vm, -1, &pair.value.bytes);
            break;
        case TLIGHTHANDLE:
        case TUSERDATA:
            pair.value.number = 0; // addresses mean nothing in another run
            break;
        default:
            error = kErrWrongType; // booleans and threads have no encoding
        }
        if (error == 0) out->pairs.push_back(std::move(pair));
        SetTop(vm, -2); // pops the value, keeps the key for the next step
    }
    SetTop(vm, base);
    ancestors->pop_back();
    return error;
}

// Pushes a new table built from the tree, or leaves the stack as it was and returns the error.
int PushSerialTable(VMState *vm, const SerialTable &table, int depth) {
    if (depth >= kMaxTableDepth || !CheckStack(vm, kSlotsPerLevel)) return kErrStackOverflow;
    int base = GetTop(vm);
    NewTable(vm);
    int index = GetTop(vm);
    for (const SerialPair &pair : table.pairs) {
        if (pair.key.isString)
            PushStringLen(vm, pair.key.text.data(), pair.key.text.size());
        else
            PushNumber(vm, pair.key.number);
        int error = 0;
        switch (pair.value.tag) {
        case kTagNumber:
            PushNumber(vm, pair.value.number);
            break;
        case kTagString:
            PushStringLen(vm, pair.value.bytes.data(), pair.value.bytes.size());
            break;
        case kTagTable:
            error = PushSerialTable(vm, *pair.value.table, depth + 1);
            break;
        case kTagFunction:
            error = LoadFunction(vm, pair.value.bytes);
            break;
        default:
            error = kErrWrongUsage;
        }
        if (error) {
            SetTop(vm, base);
            return error;
        }
        VMRawSet(vm, index);
    }
    return 0;
}

bool MagicIs(const uint8_t bytes[4], const char magic[4]) {
    return std::memcmp(bytes, magic, 4) == 0;
}

// The four-byte magic at the position; kErrReadBeyondEnd when fewer than four bytes are left.
int ReadMagic(FileObject *file, uint8_t magic[4]) {
    if (file->access == kAccessWrite) return kErrWriteOnlyFile;
    return FileReadBytes(file, magic, 4);
}

} // namespace

int CmdWriteFunction(VMState *vm) {
    CheckArgs(vm, 2, 3);
    bool text = OptInt32Arg(vm, 3, 0) != 0;
    CheckFunctionArg(vm, 2);
    FileObject *file = FileObjectArg(vm, 1);
    if (file->access == kAccessRead) return kErrReadOnlyFile;
    std::string chunk, record(text ? kFunctionTextMagic : kFunctionRawMagic, 4);
    int error = DumpFunction(vm, 2, &chunk);
    if (error) {
        // What a failed dump leaves behind: the magic and a zero length, which no reader takes for a
        // function.
        record.append(text ? 8 : 4, '\0');
        FileWriteBytes(file, record.data(), record.size());
        return error;
    }
    if ((error = EncodeFunctionRecord(
             std::span(reinterpret_cast<const uint8_t *>(chunk.data()), chunk.size()), text, &record)))
        return error;
    return FileWriteBytes(file, record.data(), record.size());
}

int CmdReadFunction(VMState *vm) {
    CheckArgs(vm, 1, 1);
    FileObject *file = FileObjectArg(vm, 1);
    uint8_t magic[4];
    if (int error = ReadMagic(file, magic)) return error;
    bool text = MagicIs(magic, kFunctionTextMagic);
    if (!text && !MagicIs(magic, kFunctionRawMagic)) return kErrNoFunctionHere;
    SerialSource source;
    source.file = file;
    std::string chunk;
    if (int error = DecodeFunctionRecord(&source, text, &chunk)) return error;
    if (int error = LoadFunction(vm, chunk)) return error;
    return 1;
}

int CmdWriteTable(VMState *vm) {
    CheckArgs(vm, 2, 3);
    CheckTableArg(vm, 2);
    bool text = OptInt32Arg(vm, 3, 0) != 0;
    FileObject *file = FileObjectArg(vm, 1);
    if (file->access == kAccessRead) return kErrReadOnlyFile;
    // The whole table is converted first, so a table that cannot be stored leaves the file untouched.
    SerialTable table;
    std::vector<const void *> ancestors;
    if (int error = BuildSerialTable(vm, 2, &table, &ancestors)) return error;
    std::string bytes(kTableMagic, 4);
    if (int error = EncodeTableBody(table, text, &bytes)) return error;
    return FileWriteBytes(file, bytes.data(), bytes.size());
}

int CmdReadTable(VMState *vm) {
    CheckArgs(vm, 1, 1);
    FileObject *file = FileObjectArg(vm, 1);
    uint8_t magic[4];
    if (int error = ReadMagic(file, magic)) return error;
    if (!MagicIs(magic, kTableMagic)) return kErrNoTableHere;
    SerialSource source;
    source.file = file;
    SerialTable table;
    if (int error = DecodeTableBody(&source, &table)) return error;
    if (int error = PushSerialTable(vm, table, 0)) return error;
    return 1;
}
