// The list of one kind of script object, in creation order, and the life cycle every kind shares: lookup by id
// (the first match wins), automatic ids, freeing by id with the lock and active-output refusals, a free that
// waits while a layer still shows the object, and the flush of those pending frees. A kind states its own part
// once in an ObjectRules; the list applies the rule the same way for all of them.
//
// A record type has an `ObjectId id`; optionally `lockCount` (non-zero: running moves, the object can be
// neither changed nor freed) and `freePending` (freed by the script, still shown by layers, renamed to
// {0, own address} so its number is free at once). Only the list changes a record's id or marks it pending: an
// index by id and one by record keep a numbered lookup, create or free from walking the list, which scripts
// that number many objects, and commands that run for every object of a frame, would otherwise do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/vm/vm.h"

struct vlLayer;

// Find flags: kFindModify refuses a locked object and first gives the layers that show it their own copy (not
// with kFindNoUnshare); kFindPending also finds objects whose free waits for a layer.
constexpr int kFindModify = 1;
constexpr int kFindPending = 2;
constexpr int kFindNoUnshare = 4;

// The error of a missing object: handleError for a handle, else numberError with the number as the error argument.
inline int ObjectNotFound(ObjectId id, int numberError, int handleError = kErrObjectNotFound) {
    if (id.handle) return handleError;
    SetErrorArgNumber(id.number);
    return numberError;
}

// Frees the pending records of every list that nothing shows any more. A release that frees more (a picture's
// layers) makes the walk go round again; a call from inside a release only asks for that round.
void FlushPendingFrees();
// Lists with free-pending records register themselves (their constructor does it).
void RegisterPendingFlush(void *list, bool (*flush)(void *list));

// What the layer code (above this folder) does for a kind that layers show. The scene fills one table.
struct ObjectLayerServices {
    // Calls copy(argument, &newId) once when any layer shows the object and points those layers at the copy.
    int (*forEachReferrer)(int32_t kind, ObjectId id, int (*copy)(void *argument, ObjectId *newId), void *argument,
                           ObjectId *outNewHandle, int flags);
    int (*isUsedByLayers)(int32_t kind, ObjectId id, const vlLayer *except);
    // Points the layers that show the object at handle; non-zero when there were any.
    int (*detachLayerReferences)(int32_t kind, ObjectId id, void *handle);
};

template <typename T> struct ObjectRules {
    int notFoundError = 0;          // a missing numbered id; the number becomes the error argument
    void (*release)(T *) = nullptr; // frees what the record owns, just before the record goes
    // Kinds that layers show: the kind layers name them by, the layer code, and the copy layers keep when the
    // script changes the object (argument is the record; *newId asks for the copy's id).
    int32_t layerKind = 0;
    const ObjectLayerServices *layers = nullptr;
    int (*copyForLayers)(void *record, ObjectId *newId) = nullptr;
    // Something else still shows the object (a display showing a picture): its free waits as for a layer.
    bool (*shownElsewhere)(const T *) = nullptr;
    // The current output draws into the object: freeing it is refused with activeOutputError.
    bool (*isActiveOutput)(const T *) = nullptr;
    int activeOutputError = 0;
    // Runs when the script frees the object, before the list decides whether the free waits (a region that
    // outputs stop drawing through at once).
    void (*onFree)(T *) = nullptr;
};

template <typename T> class ObjectList {
    using Records = std::list<std::unique_ptr<T>>;

  public:
    // The records are never destroyed with the list: at exit they stay reachable, as the release of one kind
    // may walk the list of another that is gone already.
    explicit ObjectList(const ObjectRules<T> *rules) : rules_(rules), state_(*new State) {
        if constexpr (requires(T *record) { record->freePending; })
            RegisterPendingFlush(this, [](void *list) { return static_cast<ObjectList *>(list)->FlushPending(); });
    }
    ObjectList(const ObjectList &) = delete;
    ObjectList &operator=(const ObjectList &) = delete;

    // Every record, free-pending ones included, as T *. Erasing the record the walk stands on ends the walk.
    struct Iterator {
        typename Records::const_iterator at;
        T *operator*() const { return at->get(); }
        Iterator &operator++() {
            ++at;
            return *this;
        }
        bool operator==(const Iterator &) const = default;
    };
    Iterator begin() const { return Iterator{state_.records.begin()}; }
    Iterator end() const { return Iterator{state_.records.end()}; }
    size_t size() const { return state_.records.size(); }
    bool empty() const { return state_.records.empty(); }
    T *front() const { return state_.records.empty() ? nullptr : state_.records.front().get(); }
    T *back() const { return state_.records.empty() ? nullptr : state_.records.back().get(); }

    // Takes the record (made with new) over: an automatic id ({0, kAutoHandleRequest}) becomes {0, record}.
    // Null when memory is short: the record stays the caller's.
    T *Add(T *record, ObjectId id) {
        if (!record) return nullptr;
        State &s = state_;
        try {
            s.records.emplace_back();
        } catch (const std::bad_alloc &) {
            return nullptr;
        }
        s.records.back().reset(record);
        record->id = IsAutoHandleRequest(id) ? ObjectId{0, record} : id;
        if (s.indexed) {
            try {
                s.places.emplace(record, std::prev(s.records.end()));
            } catch (const std::bad_alloc &) {
                DropIndex();
            }
        }
        Index(record);
        if (IsPending(record)) NotePending(record);
        return record;
    }

    // The first record with the id. A free-pending record has an id of its own ({0, itself}), so skipping it
    // never uncovers another.
    T *Find(ObjectId id, bool withPending = false) const {
        State &s = state_;
        // Commands that take the same object again and again (a file read line by line) skip the index probe.
        if (s.last != nullptr && s.lastId == id) return withPending || !IsPending(s.last) ? s.last : nullptr;
        T *record = nullptr;
        if (s.indexed) {
            auto it = s.index.find(id);
            if (it != s.index.end()) record = it->second;
        } else {
            record = FirstWithId(id, nullptr);
        }
        if (record) {
            s.last = record;
            s.lastId = id;
        }
        return record && (withPending || !IsPending(record)) ? record : nullptr;
    }

    // kErrObjectNotFound for a handle; the kind's error with the number as error argument for a number.
    int NotFound(ObjectId id) const { return ObjectNotFound(id, rules_->notFoundError); }

    // Find with flags (see kFindModify): 0, NotFound's error, or kErrObjectLocked (locked, with kFindModify).
    int Find(ObjectId id, T **out, int flags) {
        *out = nullptr;
        T *record = Find(id, (flags & kFindPending) != 0);
        if (!record) return NotFound(id);
        if (flags & kFindModify) {
            if (IsLocked(record)) return kErrObjectLocked;
            if (!(flags & kFindNoUnshare))
                if (int error = ShareWithLayers(record)) return error;
        }
        *out = record;
        return 0;
    }

    // Layers that show the record keep a copy of it as it is now; the copy goes with the last of them.
    int ShareWithLayers(T *record) {
        if (!rules_->layers || !rules_->copyForLayers) return 0;
        ObjectId made{};
        if (int error = rules_->layers->forEachReferrer(rules_->layerKind, record->id, rules_->copyForLayers, record,
                                                         &made, 0))
            return error;
        if (made.handle) MarkPending(static_cast<T *>(made.handle));
        return 0;
    }

    // reportMissing false: a missing object is no error (the lock and the active output still are).
    int Free(ObjectId id, bool reportMissing) {
        T *record = Find(id);
        if (record && rules_->isActiveOutput && rules_->isActiveOutput(record)) return rules_->activeOutputError;
        if (!record) return reportMissing ? NotFound(id) : 0;
        if (IsLocked(record)) return kErrObjectLocked;
        FreeRecord(record);
        return 0;
    }

    // Frees the record now, or renames it and marks it free-pending while layers or a display still show it.
    void FreeRecord(T *record) {
        if (rules_->onFree) rules_->onFree(record);
        if constexpr (requires { record->freePending; }) {
            // Both are asked: layers must stop naming the number even when a display still shows the object.
            const bool elsewhere = rules_->shownElsewhere && rules_->shownElsewhere(record);
            const bool layers = rules_->layers &&
                                rules_->layers->detachLayerReferences(rules_->layerKind, record->id, record) != 0;
            if (elsewhere || layers) {
                Unindex(record);
                record->id = ObjectId{0, record};
                Index(record);
                MarkPending(record);
                return;
            }
        }
        Erase(record);
    }

    // A record that goes with the last layer showing it (a copy made for layers): its free waits from now on.
    void MarkPending(T *record) {
        if constexpr (requires { record->freePending; }) {
            if (IsPending(record)) return;
            record->freePending = 1;
            NotePending(record);
        }
    }

    // Frees the pending records nothing shows any more; true when it freed any. FlushPendingFrees calls it for
    // every list.
    bool FlushPending() {
        State &s = state_;
        bool freed = false;
        if (s.pendingUnlisted) {
            // Memory ran short while a record was marked: look at every record once.
            s.pendingUnlisted = false;
            s.pending.clear();
            for (auto it = s.records.begin(); it != s.records.end(); ++it)
                if (IsPending(it->get())) NotePending(it->get());
        }
        // A release may free or mark other records of this list: the walk goes on from where it stood, and a
        // record it passes over waits for the next round.
        for (size_t i = 0; i < s.pending.size();) {
            T *record = s.pending[i];
            if (StillShown(record)) {
                i++;
                continue;
            }
            Erase(record);
            freed = true;
        }
        return freed;
    }

    // Unlinks and frees the record at once, whoever shows it; false when it is not in the list.
    bool Erase(T *record) {
        State &s = state_;
        typename Records::iterator at = s.records.end();
        if (s.indexed) {
            auto place = s.places.find(record);
            if (place == s.places.end()) return false;
            at = place->second;
            s.places.erase(place);
        } else {
            for (auto it = s.records.begin(); it != s.records.end() && at == s.records.end(); ++it)
                if (it->get() == record) at = it;
            if (at == s.records.end()) return false;
        }
        std::unique_ptr<T> owned = std::move(*at);
        s.records.erase(at);
        Unindex(record);
        if (IsPending(record)) ForgetPending(record);
        if (rules_->release) rules_->release(owned.get());
        return true;
    }

    // Frees every record at once, the newest first.
    void Clear() {
        State &s = state_;
        s.last = nullptr;
        s.index.clear();
        s.places.clear();
        s.pending.clear();
        s.shadowed = 0;
        s.pendingUnlisted = false;
        while (!s.records.empty()) {
            std::unique_ptr<T> owned = std::move(s.records.back());
            s.records.pop_back();
            if (rules_->release) rules_->release(owned.get());
        }
        // A list whose index was dropped for want of memory gets it back when it starts again empty.
        s.indexed = true;
    }

    // Records the script still owns (free-pending ones left out).
    size_t CountLive() const {
        if (!state_.pendingUnlisted) return state_.records.size() - state_.pending.size();
        size_t n = 0;
        for (const auto &record : state_.records) n += IsPending(record.get()) ? 0 : 1;
        return n;
    }

    static bool IsPending(const T *record) {
        if constexpr (requires { record->freePending; }) return record->freePending != 0;
        else return false;
    }
    static bool IsLocked(const T *record) {
        if constexpr (requires { record->lockCount; }) return record->lockCount != 0;
        else return false;
    }

  private:
    struct IdHash {
        size_t operator()(const ObjectId &id) const {
            return std::hash<void *>()(id.handle) ^ (size_t(uint32_t(id.number)) * 0x9E3779B97F4A7C15ull);
        }
    };

    // Everything on the heap, so that it outlives the list (see the constructor).
    struct State {
        Records records;
        std::unordered_map<ObjectId, T *, IdHash> index; // the first record of each id
        std::unordered_map<const T *, typename Records::iterator> places;
        size_t shadowed = 0; // records that are not the first of their id
        bool indexed = true; // false once memory ran short: lookups walk the list
        std::vector<T *> pending;
        bool pendingUnlisted = false;
        // The last record Find returned and the id it was asked by; any change of ids or records forgets it.
        T *last = nullptr;
        ObjectId lastId{};
    };

    bool StillShown(const T *record) const {
        if (rules_->shownElsewhere && rules_->shownElsewhere(record)) return true;
        return rules_->layers && rules_->layers->isUsedByLayers(rules_->layerKind, record->id, nullptr) != 0;
    }

    T *FirstWithId(ObjectId id, const T *except) const {
        for (const auto &r : state_.records)
            if (r.get() != except && r->id == id) return r.get();
        return nullptr;
    }

    void NotePending(T *record) {
        try {
            state_.pending.push_back(record);
        } catch (const std::bad_alloc &) {
            state_.pendingUnlisted = true;
        }
    }
    void ForgetPending(T *record) {
        std::vector<T *> &pending = state_.pending;
        for (size_t i = pending.size(); i-- > 0;)
            if (pending[i] == record) {
                pending.erase(pending.begin() + ptrdiff_t(i));
                return;
            }
    }

    void DropIndex() {
        state_.indexed = false;
        state_.index.clear();
        state_.places.clear();
        state_.shadowed = 0;
    }

    // The index keeps the first record of each id; a record that leaves it hands the id to the next one.
    void Index(T *record) {
        State &s = state_;
        s.last = nullptr;
        if (!s.indexed) return;
        try {
            if (!s.index.try_emplace(record->id, record).second) s.shadowed++;
        } catch (const std::bad_alloc &) {
            DropIndex();
        }
    }
    void Unindex(T *record) {
        State &s = state_;
        s.last = nullptr;
        if (!s.indexed) return;
        auto it = s.index.find(record->id);
        if (it == s.index.end() || it->second != record) {
            if (s.shadowed) s.shadowed--;
            return;
        }
        s.index.erase(it);
        if (s.shadowed == 0) return;
        if (T *next = FirstWithId(record->id, record)) {
            s.shadowed--;
            Index(next);
        }
    }

    const ObjectRules<T> *rules_;
    State &state_;
};
