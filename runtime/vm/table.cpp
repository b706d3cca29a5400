// Tables: an array part for the keys 0..arraySize-1 and a hash part that keeps its keys in insertion order.
//
// Traversal (TableNext) is the array part in key order, then the hash part in insertion order, so it never
// depends on addresses or hash values. Writing a value to an existing key (Nil included) keeps the key's node, so
// a walk that assigns to the keys it visits is not disturbed. Nil-valued and dead nodes are dropped only when a
// new key needs a rehash.
#include <algorithm>
#include <cmath>

#include "runtime/vm/vm_internal.h"

namespace {

inline uint32_t Mix64(uint64_t x) {
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ull;
    x ^= x >> 33;
    return uint32_t(x);
}

inline uint32_t FullHash(const VMValue *k) {
    switch (k->tt) {
    case TSTRING: return StringHash(AsString(k));
    case TNUMBER: {
        double d = k->u.n;
        if (d == 0) d = 0; // -0 and 0 are one key
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        return Mix64(bits);
    }
    case TBOOLEAN: return k->u.b ? 0x9E3779B9u : 0x7F4A7C15u;
    default: return Mix64(uint64_t(reinterpret_cast<uintptr_t>(k->u.p)));
    }
}

// A key's hash as the tables use it (see TableHashOf).
inline uint32_t HashKey(const VMValue *k) { return TableHashOf(FullHash(k)); }

inline bool ArrayIndexOf(double d, uint32_t size, uint32_t *index) {
    if (d >= 0 && d < double(size)) {
        uint32_t i = uint32_t(d);
        if (double(i) == d) {
            *index = i;
            return true;
        }
    }
    return false;
}

inline int64_t FindNode(const Table *t, const VMValue *key, uint32_t hash) {
    if (t->indexCap == 0) return -1;
    uint32_t mask = t->indexCap - 1;
    for (uint32_t slot = hash & mask;; slot = (slot + 1) & mask) {
        uint32_t e = t->index[slot];
        if (e == 0) return -1;
        int64_t node = IndexMatch(e, hash, mask);
        if (node >= 0) {
            const TableNode &n = t->nodes[node];
            if (NodeKeyTag(n) == key->tt) {
                VMValue k = NodeKey(n);
                if (RawEqualValues(&k, key)) return node;
            }
        }
    }
}

// An index has at least 8 slots: at four fifths full, every node number then fits beside the two marks.
uint32_t IndexSize(uint32_t n) {
    uint32_t c = 8;
    while (c < n && c < 0x80000000u) c <<= 1;
    return c;
}

void BuildIndex(Table *t) {
    std::memset(t->index, 0, sizeof(uint32_t) * t->indexCap);
    uint32_t mask = t->indexCap - 1;
    for (uint32_t i = 0; i < t->nodeCount; i++) {
        uint32_t hash = NodeHash(t->nodes[i]);
        uint32_t slot = hash & mask;
        while (t->index[slot] != 0) slot = (slot + 1) & mask;
        t->index[slot] = IndexEntry(i, hash, mask);
    }
    t->indexUsed = t->nodeCount;
}

void GrowNodes(VMState *vm, Table *t, uint32_t needed) {
    if (needed <= t->nodeCap) return;
    uint32_t cap = std::max<uint32_t>(needed, t->nodeCap ? t->nodeCap * 2 : 4);
    t->nodes = static_cast<TableNode *>(
        VMRealloc(vm, t->nodes, sizeof(TableNode) * t->nodeCap, sizeof(TableNode) * size_t(cap)));
    t->nodeCap = cap;
}

// Makes room for one more key: drops Nil-valued and dead nodes (keeping the order of the rest) and rebuilds the
// index at twice the live count.
void Rehash(VMState *vm, Table *t) {
    uint32_t live = 0;
    for (uint32_t i = 0; i < t->nodeCount; i++) {
        TableNode &n = t->nodes[i];
        if (NodeKeyTag(n) == kTagDeadKey || n.value.tt == TNIL) continue;
        uint32_t aux = n.value.aux;
        t->nodes[live] = n;
        t->nodes[live++].value.aux = aux;
    }
    t->nodeCount = live;
    t->deadCount = 0;
    uint32_t cap = IndexSize((live + 1) * 2);
    if (cap != t->indexCap) {
        uint32_t *index = static_cast<uint32_t *>(VMAlloc(vm, sizeof(uint32_t) * size_t(cap)));
        VMFree(vm, t->index, sizeof(uint32_t) * t->indexCap);
        t->index = index;
        t->indexCap = cap;
    }
    BuildIndex(t);
}

void InsertNode(VMState *vm, Table *t, const VMValue *key, const VMValue *value, uint32_t hash) {
    // At most four fifths full: entries carry the hash, so probes are short runs of one cache line or two, and
    // a smaller index misses the cache less on big tables.
    // Nodes are bounded the same way (removed entries reused by new keys leave their dead nodes behind), which
    // keeps every node number below the index's marks.
    uint64_t limit = uint64_t(t->indexCap) * 4;
    if (uint64_t(t->indexUsed + 1) * 5 > limit || uint64_t(t->nodeCount + 1) * 5 > limit) Rehash(vm, t);
    GrowNodes(vm, t, t->nodeCount + 1);
    uint32_t nodeIndex = t->nodeCount++;
    TableNode &node = t->nodes[nodeIndex];
    node.key = key->u;
    if (key->tt == TNUMBER && key->u.n == 0) node.key.n = 0;
    node.value = *value;
    node.value.aux = hash << kNodeTagBits | uint32_t(key->tt);
    if (key->tt == TSTRING) AsString(key)->hintNode = nodeIndex;
    uint32_t mask = t->indexCap - 1;
    uint32_t slot = hash & mask;
    while ((t->index[slot] & mask) > kIndexRemoved) slot = (slot + 1) & mask;
    if (t->index[slot] == 0) t->indexUsed++;
    t->index[slot] = IndexEntry(nodeIndex, hash, mask);
    t->tmAbsent = 0;
}

void KillNode(Table *t, uint32_t nodeIndex) {
    uint32_t mask = t->indexCap - 1;
    uint32_t hash = NodeHash(t->nodes[nodeIndex]);
    for (uint32_t slot = hash & mask;; slot = (slot + 1) & mask) {
        if ((t->index[slot] & mask) == nodeIndex + 2) {
            t->index[slot] = kIndexRemoved;
            break;
        }
        if (t->index[slot] == 0) break;
    }
    SetNil(&t->nodes[nodeIndex].value);
    t->nodes[nodeIndex].value.aux = hash << kNodeTagBits | uint32_t(kTagDeadKey);
    t->deadCount++;
}

void PushArray(VMState *vm, Table *t, VMValue value) {
    if (t->arraySize == t->arrayCap) {
        if (t->arrayCap >= 0x7FFFFFF0u) RaiseError(vm, kErrOutOfMemory);
        uint32_t cap = t->arrayCap ? t->arrayCap * 2 : 4;
        t->array = static_cast<VMValue *>(
            VMRealloc(vm, t->array, sizeof(VMValue) * t->arrayCap, sizeof(VMValue) * size_t(cap)));
        t->arrayCap = cap;
    }
    t->array[t->arraySize++] = value;
}

// Appends a value at key arraySize, then pulls the following keys out of the hash part while they continue
// the run, so that a list built in any order ends up in the array part.
void ArrayAppend(VMState *vm, Table *t, VMValue value) {
    VMValue key;
    if (t->nodeCount > t->deadCount) { // a Nil-valued node of this key would otherwise shadow nothing but waste
        SetNumber(&key, double(t->arraySize));
        int64_t n = FindNode(t, &key, HashKey(&key));
        if (n >= 0) KillNode(t, uint32_t(n));
    }
    PushArray(vm, t, value);
    while (t->nodeCount > t->deadCount) {
        SetNumber(&key, double(t->arraySize));
        int64_t n = FindNode(t, &key, HashKey(&key));
        if (n < 0) return;
        VMValue moved = t->nodes[n].value;
        KillNode(t, uint32_t(n));
        if (moved.tt == TNIL) return;
        PushArray(vm, t, moved);
    }
}

// The value into node n, the key's node when the key is there (n >= 0); else a new node, unless the value is nil.
inline void SetNodeOrInsert(VMState *vm, Table *t, int64_t n, const VMValue *key, const VMValue *value,
                            uint32_t hash) {
    if (n >= 0) {
        VMValue &slot = t->nodes[n].value;
        if (slot.tt == TNIL && value->tt != TNIL) t->tmAbsent = 0;
        slot = *value;
        return;
    }
    if (value->tt == TNIL) return;
    InsertNode(vm, t, key, value, hash);
}

} // namespace

Table *NewTableObject(VMState *vm, uint32_t arrayHint, uint32_t hashHint) {
    Table *t = static_cast<Table *>(VMAlloc(vm, sizeof(Table)));
    std::memset(static_cast<void *>(t), 0, sizeof(Table));
    LinkObject(vm, t, kGCTable);
    if (arrayHint) {
        t->array = static_cast<VMValue *>(VMAlloc(vm, sizeof(VMValue) * size_t(arrayHint)));
        t->arrayCap = arrayHint;
    }
    if (hashHint) {
        t->nodes = static_cast<TableNode *>(VMAlloc(vm, sizeof(TableNode) * size_t(hashHint)));
        t->nodeCap = hashHint;
        t->indexCap = IndexSize(hashHint * 2);
        t->index = static_cast<uint32_t *>(VMAlloc(vm, sizeof(uint32_t) * size_t(t->indexCap)));
        std::memset(t->index, 0, sizeof(uint32_t) * t->indexCap);
    }
    return t;
}

void FreeTable(VMState *vm, Table *t) {
    VMFree(vm, t->array, sizeof(VMValue) * t->arrayCap);
    VMFree(vm, t->nodes, sizeof(TableNode) * t->nodeCap);
    VMFree(vm, t->index, sizeof(uint32_t) * t->indexCap);
    VMFree(vm, t, sizeof(Table));
}

const VMValue *TableGetInt(const Table *t, int64_t key) {
    if (key >= 0 && key < int64_t(t->arraySize)) return &t->array[key];
    if (t->nodeCount == t->deadCount) return &kNilValue;
    VMValue k;
    SetNumber(&k, double(key));
    int64_t n = FindNode(t, &k, HashKey(&k));
    return n < 0 ? &kNilValue : &t->nodes[n].value;
}

const VMValue *TableGet(const Table *t, const VMValue *key) {
    switch (key->tt) {
    case TSTRING: return TableGetStr(t, AsString(key));
    case TNIL: return &kNilValue;
    case TNUMBER: {
        uint32_t i;
        if (ArrayIndexOf(key->u.n, t->arraySize, &i)) return &t->array[i];
        if (std::isnan(key->u.n)) return &kNilValue;
        [[fallthrough]];
    }
    default: {
        if (t->nodeCount == t->deadCount) return &kNilValue;
        int64_t n = FindNode(t, key, HashKey(key));
        return n < 0 ? &kNilValue : &t->nodes[n].value;
    }
    }
}

void TableSet(VMState *vm, Table *t, const VMValue *key, const VMValue *value) {
    uint32_t hash;
    switch (key->tt) {
    case TNIL: RaiseError(vm, kErrBadTableKey);
    case TNUMBER: {
        double d = key->u.n;
        uint32_t i;
        if (ArrayIndexOf(d, t->arraySize, &i)) {
            VMValue *slot = &t->array[i];
            bool wasNil = slot->tt == TNIL, isNil = value->tt == TNIL;
            if (wasNil != isNil) t->arrayNils += isNil ? 1 : uint32_t(-1);
            *slot = *value;
            return;
        }
        if (std::isnan(d)) RaiseError(vm, kErrBadTableKey);
        if (d == double(t->arraySize) && value->tt != TNIL) {
            ArrayAppend(vm, t, *value);
            return;
        }
        hash = HashKey(key);
        break;
    }
    case TSTRING: hash = TableHashOf(StringHash(AsString(key))); break;
    default: hash = HashKey(key); break;
    }
    int64_t n = key->tt == TSTRING ? TableFindStringNode(t, AsString(key)) : FindNode(t, key, hash);
    SetNodeOrInsert(vm, t, n, key, value, hash);
}

void TableSetInt(VMState *vm, Table *t, int64_t key, const VMValue *value) {
    if (key >= 0 && key < int64_t(t->arraySize)) {
        VMValue *slot = &t->array[key];
        bool wasNil = slot->tt == TNIL, isNil = value->tt == TNIL;
        if (wasNil != isNil) t->arrayNils += isNil ? 1 : uint32_t(-1);
        *slot = *value;
        return;
    }
    VMValue k;
    SetNumber(&k, double(key));
    TableSet(vm, t, &k, value);
}

void TableSetStr(VMState *vm, Table *t, VMString *key, const VMValue *value) {
    VMValue k;
    SetObject(&k, key, TSTRING);
    SetNodeOrInsert(vm, t, TableFindStringNode(t, key), &k, value, TableHashOf(StringHash(key)));
}

bool TableNext(VMState *vm, const Table *t, const VMValue *key, VMValue *nextKey, VMValue *nextValue) {
    uint64_t i;
    uint32_t ai;
    if (key->tt == TNIL) {
        i = 0;
    } else if (key->tt == TNUMBER && ArrayIndexOf(key->u.n, t->arraySize, &ai)) {
        i = uint64_t(ai) + 1;
    } else {
        int64_t n = (key->tt == TNUMBER && std::isnan(key->u.n)) ? -1 : FindNode(t, key, HashKey(key));
        if (n < 0) RaiseError(vm, kErrBadNextKey);
        i = uint64_t(t->arraySize) + uint64_t(n) + 1;
    }
    for (; i < t->arraySize; i++) {
        if (t->array[i].tt != TNIL) {
            SetNumber(nextKey, double(i));
            *nextValue = t->array[i];
            return true;
        }
    }
    for (uint64_t j = i - t->arraySize; j < t->nodeCount; j++) {
        const TableNode &node = t->nodes[j];
        if (NodeKeyTag(node) == kTagDeadKey || node.value.tt == TNIL) continue;
        *nextKey = NodeKey(node);
        *nextValue = node.value;
        return true;
    }
    return false;
}

size_t TableListLength(const Table *t) {
    if (t->arrayNils == 0) return t->arraySize;
    for (uint32_t i = 0; i < t->arraySize; i++)
        if (t->array[i].tt == TNIL) return i;
    return t->arraySize;
}
