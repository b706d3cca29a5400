// Table utilities and iteration of the system library: list tools on 0-based lists (a list runs from key 0 to
// the first Nil, read raw), deep copies, metatables, raw access and the iterators behind generic loops.
#include <utility>
#include <vector>

#include "libs/system/system_commands.h"
#include "runtime/app/errors.h"

namespace {

// A handler's result count shares its channel with error codes (1000 up), so Unpack cannot return more.
constexpr int kMaxUnpackResults = 999;
// Nesting beyond this is refused with a stack overflow rather than exhausting the native stack.
constexpr int kMaxCopyDepth = 200;
// Sort's own stack use: pivot, two items and the comparator call.
constexpr int kSortStackSlots = 40;

// The list length: raw reads from key 0 up to the first Nil (and, when asked, the first empty string).
int64_t ListLength(VMState *vm, int table, bool stopAtEmptyString) {
    int64_t n = 0;
    for (;; ++n) {
        RawGetIndex(vm, table, n);
        int type = ValueType(vm, -1);
        bool end = type == TNIL;
        if (!end && stopAtEmptyString && type == TSTRING) {
            size_t length = 0;
            VMToString(vm, -1, &length);
            end = length == 0;
        }
        SetTop(vm, -2);
        if (end) return n;
    }
}

int AbsoluteIndex(VMState *vm, int index) {
    return index < 0 ? GetTop(vm) + 1 + index : index;
}

// ---- Sort ----------------------------------------------------------------------------------------------------

struct SortState {
    VMState *vm;
    bool hasComparator; // the comparison function is argument 2
};

// less(a, b) for two stack indices; a comparator's result counts as true when its integer value is non-zero,
// so a non-numeric answer is false.
bool SortLess(SortState &s, int a, int b) {
    VMState *vm = s.vm;
    a = AbsoluteIndex(vm, a);
    b = AbsoluteIndex(vm, b);
    if (!s.hasComparator) return LessThan(vm, a, b) != 0;
    PushValue(vm, 2);
    PushValue(vm, a);
    PushValue(vm, b);
    CallFunction(vm, 2, 1);
    bool less = SaturateToInt32(VMToNumber(vm, -1)) != 0;
    SetTop(vm, -2);
    return less;
}

void GetItem(VMState *vm, int64_t i) {
    RawGetIndex(vm, 1, i);
}

// a[i] = top, a[j] = the value below it; pops both.
void Set2(VMState *vm, int64_t i, int64_t j) {
    RawSetIndex(vm, 1, i);
    RawSetIndex(vm, 1, j);
}

// In-place quicksort with median of three on a[lo..up]. Recurses into the smaller part only, so the native
// depth stays logarithmic. A comparator that is not a strict order could run an index off the range: that is
// caught before the out-of-range item is read.
void SortRange(SortState &s, int64_t lo, int64_t up) {
    VMState *vm = s.vm;
    while (lo < up) {
        GetItem(vm, lo);
        GetItem(vm, up);
        if (SortLess(s, -1, -2)) Set2(vm, lo, up);
        else SetTop(vm, -3);
        if (up - lo == 1) break;
        int64_t i = lo + (up - lo) / 2;
        GetItem(vm, i);
        GetItem(vm, lo);
        if (SortLess(s, -2, -1)) {
            Set2(vm, i, lo);
        } else {
            SetTop(vm, -2);
            GetItem(vm, up);
            if (SortLess(s, -1, -2)) Set2(vm, i, up);
            else SetTop(vm, -3);
        }
        if (up - lo == 2) break;
        GetItem(vm, i); // the pivot stays on the stack during the partition
        PushValue(vm, -1);
        GetItem(vm, up - 1);
        Set2(vm, i, up - 1);
        i = lo;
        int64_t j = up - 1;
        for (;;) {
            for (;;) {
                GetItem(vm, ++i);
                if (!SortLess(s, -1, -2)) break;
                if (i >= up) RaiseError(vm, kErrInvalidSortFunction);
                SetTop(vm, -2);
            }
            for (;;) {
                GetItem(vm, --j);
                if (!SortLess(s, -3, -1)) break;
                if (j <= lo) RaiseError(vm, kErrInvalidSortFunction);
                SetTop(vm, -2);
            }
            if (j < i) {
                SetTop(vm, -4); // pivot, a[i], a[j]
                break;
            }
            Set2(vm, i, j);
        }
        GetItem(vm, up - 1);
        GetItem(vm, i);
        Set2(vm, up - 1, i);
        int64_t smallLo, smallUp;
        if (i - lo < up - i) {
            smallLo = lo;
            smallUp = i - 1;
            lo = i + 1;
        } else {
            smallLo = i + 1;
            smallUp = up;
            up = i - 1;
        }
        SortRange(s, smallLo, smallUp);
    }
}

// ---- CopyTable -----------------------------------------------------------------------------------------------

// The tables on the path from the root to the one being copied, with the stack index of each copy. A value that
// is one of them is a cycle and points at that copy; any other table, even one met before, is copied afresh.
using CopyPath = std::vector<std::pair<const void *, int>>;

void CopyInto(VMState *vm, int source, int depth, CopyPath &path) {
    if (depth > kMaxCopyDepth || !CheckStack(vm, 6)) RaiseError(vm, kErrStackOverflow);
    NewTable(vm);
    int copy = GetTop(vm);
    path.emplace_back(ToPointer(vm, source), copy);
    PushNil(vm);
    while (NextPair(vm, source)) {
        if (ValueType(vm, -1) == TTABLE) {
            const void *inner = ToPointer(vm, -1);
            int cycleCopy = 0;
            for (const auto &[table, index] : path)
                if (table == inner) cycleCopy = index;
            int value = GetTop(vm);
            if (cycleCopy) PushValue(vm, cycleCopy);
            else CopyInto(vm, value, depth + 1, path);
            RemoveValue(vm, value); // the copy takes the original's place
        }
        PushValue(vm, -2);
        PushValue(vm, -2);
        VMRawSet(vm, copy);
        SetTop(vm, -2); // keep the key for the next step
    }
    path.pop_back();
}

} // namespace

int CmdSort(VMState *vm) {
    CheckArgs(vm, 1, 2);
    CheckTableArg(vm, 1);
    if (!CheckStack(vm, kSortStackSlots)) return kErrStackOverflow;
    // An explicit Nil comparator counts as none, so wrappers can pass an optional one straight through.
    SortState state{vm, GetTop(vm) >= 2 && ValueType(vm, 2) != TNIL};
    if (state.hasComparator) CheckFunctionArg(vm, 2);
    int64_t n = ListLength(vm, 1, !state.hasComparator);
    if (!state.hasComparator && SortPlainList(vm, 1, n)) return 0;
    SortRange(state, 0, n - 1);
    return 0;
}

int CmdInsertItem(VMState *vm) {
    CheckArgs(vm, 2, 3);
    CheckTableArg(vm, 1);
    int64_t n = ListLength(vm, 1, false);
    int64_t pos = OptInt32Arg(vm, 3, -1);
    if (pos < 0 || pos > n) pos = n;
    for (int64_t i = n; i > pos; --i) {
        RawGetIndex(vm, 1, i - 1);
        RawSetIndex(vm, 1, i);
    }
    PushValue(vm, 2);
    RawSetIndex(vm, 1, pos);
    return 0;
}

int CmdRemoveItem(VMState *vm) {
    CheckArgs(vm, 1, 2);
    CheckTableArg(vm, 1);
    int64_t n = ListLength(vm, 1, false);
    int64_t pos = OptInt32Arg(vm, 2, -1);
    if (n == 0) return 0;
    if (pos < 0 || pos > n - 1) pos = n - 1;
    RawGetIndex(vm, 1, pos); // the result
    for (int64_t i = pos; i < n - 1; ++i) {
        RawGetIndex(vm, 1, i + 1);
        RawSetIndex(vm, 1, i);
    }
    PushNil(vm);
    RawSetIndex(vm, 1, n - 1);
    return 1;
}

int CmdUnpack(VMState *vm) {
    CheckArgs(vm, 1, 1);
    CheckTableArg(vm, 1);
    int64_t n = ListLength(vm, 1, false);
    if (n > kMaxUnpackResults || !CheckStack(vm, static_cast<int>(n))) return kErrStackOverflow;
    for (int64_t i = 0; i < n; ++i) RawGetIndex(vm, 1, i);
    return static_cast<int>(n);
}

int CmdListItems(VMState *vm) {
    CheckArgs(vm, 1, 1);
    CheckTableArg(vm, 1);
    PushNumber(vm, static_cast<double>(ListLength(vm, 1, false)));
    return 1;
}

int CmdCopyTable(VMState *vm) {
    CheckArgs(vm, 1, 1);
    CheckTableArg(vm, 1);
    CopyPath path;
    CopyInto(vm, 1, 0, path);
    return 1;
}

int CmdGetMetaTable(VMState *vm) {
    CheckArgs(vm, 1, 1);
    if (GetMetaField(vm, 1, "__metatable")) return 1;
    if (!VMGetMetatable(vm, 1)) PushNil(vm);
    return 1;
}

int CmdSetMetaTable(VMState *vm) {
    CheckArgs(vm, 2, 2);
    CheckTableArg(vm, 1);
    int type = ValueType(vm, 2);
    if (type != TTABLE && type != TNIL) return ArgumentTypeError(vm, kErrTableOrNilExpected, 2, 2);
    if (GetMetaField(vm, 1, "__metatable")) return kErrProtectedMetatable;
    PushValue(vm, 2);
    VMSetMetatable(vm, 1);
    PushValue(vm, 1);
    return 1;
}

int CmdRawEqual(VMState *vm) {
    CheckArgs(vm, 2, 2);
    PushNumber(vm, VMRawEqual(vm, 1, 2) ? 1 : 0);
    return 1;
}

int CmdRawGet(VMState *vm) {
    CheckArgs(vm, 2, 2);
    CheckTableArg(vm, 1);
    PushValue(vm, 2);
    VMRawGet(vm, 1);
    return 1;
}

int CmdRawSet(VMState *vm) {
    CheckArgs(vm, 3, 3);
    CheckTableArg(vm, 1);
    PushValue(vm, 2);
    PushValue(vm, 3);
    VMRawSet(vm, 1);
    PushValue(vm, 1);
    return 1;
}

int CmdPairs(VMState *vm) {
    CheckArgs(vm, 1, 1);
    CheckTableArg(vm, 1);
    GetGlobal(vm, "nextitem");
    PushValue(vm, 1);
    PushNil(vm);
    return 3;
}

int CmdNextItem(VMState *vm) {
    CheckArgs(vm, 1, 2);
    CheckTableArg(vm, 1);
    SetTop(vm, 2); // an absent key reads as Nil: start from the first
    if (NextPair(vm, 1)) return 2;
    PushNil(vm);
    return 1;
}

// Called as IPairs(t) it starts a loop (the iterator, t, -1); the loop then calls it with the last index and
// gets the next index and item, or nothing at the first Nil.
int CmdIPairs(VMState *vm) {
    CheckArgs(vm, 1, 2);
    CheckTableArg(vm, 1);
    if (GetTop(vm) < 2) {
        GetGlobal(vm, "ipairs");
        PushValue(vm, 1);
        PushNumber(vm, -1);
        return 3;
    }
    int64_t next = static_cast<int64_t>(CheckInt32Arg(vm, 2)) + 1;
    RawGetIndex(vm, 1, next);
    if (ValueType(vm, -1) == TNIL) return 0;
    PushNumber(vm, static_cast<double>(next));
    InsertValue(vm, -2);
    return 2;
}
