// The list of one kind of script object, in creation order, and the life cycle every kind shares: lookup by id
// (the first match wins), automatic ids, freeing by id with the lock and active-output refusals, a free that
// waits while a layer still shows the object, and the flush of those pending frees. A kind states its own part
// once in an ObjectRules; the list applies the rule the same way for all of them.
//
// A record type has an `ObjectId id`; optionally `lockCount` (non-zero: running moves, the object can be
// neither changed nor freed) and `freePending` (freed by the script, still shown by layers, renamed to
// {0, own address} so its number is free at once). Only the list changes a record's id: an index by id keeps
// lookups from walking the list, which commands that run for every object of a frame would otherwise do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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
};

template <typename T> class ObjectList {
  public:
    // The records are never destroyed with the list: at exit they stay reachable, as the release of one kind
    // may walk the list of another that is gone already.
    explicit ObjectList(const ObjectRules<T> *rules) : rules_(rules), records_(*new Records) {}
    ObjectList(const ObjectList &) = delete;
    ObjectList &operator=(const ObjectList &) = delete;

    // Every record, free-pending ones included, as T *. Adding or erasing records ends the walk.
    struct Iterator {
        typename std::vector<std::unique_ptr<T>>::const_iterator at;
        T *operator*() const { return at->get(); }
        Iterator &operator++() {
            ++at;
            return *this;
        }
        bool operator==(const Iterator &) const = default;
    };
    Iterator begin() const { return Iterator{records_.begin()}; }
    Iterator end() const { return Iterator{records_.end()}; }
    size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    T *front() const { return records_.empty() ? nullptr : records_.front().get(); }

    // Takes the record (made with new) over: an automatic id ({0, kAutoHandleRequest}) becomes {0, record}.
    // Null when memory is short: the record stays the caller's.
    T *Add(T *record, ObjectId id) {
        if (!record) return nullptr;
        try {
            records_.push_back(nullptr);
        } catch (const std::bad_alloc &) {
            return nullptr;
        }
        records_.back().reset(record);
        record->id = IsAutoHandleRequest(id) ? ObjectId{0, record} : id;
        Index(record);
        return record;
    }

    // The first record with the id. A free-pending record has an id of its own ({0, itself}), so skipping it
    // never uncovers another.
    T *Find(ObjectId id, bool withPending = false) const {
        // Commands that take the same object again and again (a file read line by line) skip the index probe.
        if (last_ != nullptr && lastId_ == id) return withPending || !IsPending(last_) ? last_ : nullptr;
        T *record = nullptr;
        if (indexed_) {
            auto it = index_.find(id);
            if (it != index_.end()) record = it->second;
        } else {
            for (const auto &r : records_)
                if (r->id == id) {
                    record = r.get();
                    break;
                }
        }
        if (record) {
            last_ = record;
            lastId_ = id;
        }
        return record && (withPending || !IsPending(record)) ? record : nullptr;
    }

    // kErrObjectNotFound for a handle; the kind's error with the number as error argument for a number.
    int NotFound(ObjectId id) const {
        if (id.handle) return kErrObjectNotFound;
        SetErrorArgNumber(id.number);
        return rules_->notFoundError;
    }

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
        if constexpr (requires { record->freePending; }) {
            // Both are asked: layers must stop naming the number even when a display still shows the object.
            const bool elsewhere = rules_->shownElsewhere && rules_->shownElsewhere(record);
            const bool layers = rules_->layers &&
                                rules_->layers->detachLayerReferences(rules_->layerKind, record->id, record) != 0;
            if (elsewhere || layers) {
                Unindex(record);
                record->id = ObjectId{0, record};
                record->freePending = 1;
                Index(record);
                return;
            }
        }
        Erase(record);
    }

    // Frees the pending records nothing shows any more.
    void FlushPending() {
        for (size_t i = 0; i < records_.size();) {
            T *record = records_[i].get();
            if (IsPending(record) && !StillShown(record)) Erase(record);
            else i++;
        }
    }

    // Unlinks and frees the record at once, whoever shows it; false when it is not in the list.
    bool Erase(T *record) {
        for (auto it = records_.begin(); it != records_.end(); ++it)
            if (it->get() == record) {
                std::unique_ptr<T> owned = std::move(*it);
                records_.erase(it);
                Unindex(record);
                if (rules_->release) rules_->release(owned.get());
                return true;
            }
        return false;
    }

    // Frees every record at once, the newest first.
    void Clear() {
        last_ = nullptr;
        index_.clear();
        while (!records_.empty()) {
            std::unique_ptr<T> owned = std::move(records_.back());
            records_.pop_back();
            if (rules_->release) rules_->release(owned.get());
        }
    }

    // Records the script still owns (free-pending ones left out).
    size_t CountLive() const {
        size_t n = 0;
        for (const auto &record : records_) n += IsPending(record.get()) ? 0 : 1;
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
    static void MarkPending(T *record) {
        if constexpr (requires { record->freePending; }) record->freePending = 1;
    }

    bool StillShown(const T *record) const {
        if (rules_->shownElsewhere && rules_->shownElsewhere(record)) return true;
        return rules_->layers && rules_->layers->isUsedByLayers(rules_->layerKind, record->id, nullptr) != 0;
    }

    struct IdHash {
        size_t operator()(const ObjectId &id) const {
            return std::hash<void *>()(id.handle) ^ (size_t(uint32_t(id.number)) * 0x9E3779B97F4A7C15ull);
        }
    };

    // The index keeps the first record of each id; a record that leaves it hands the id to the next one.
    void Index(T *record) {
        last_ = nullptr;
        if (!indexed_) return;
        try {
            index_.try_emplace(record->id, record);
        } catch (const std::bad_alloc &) {
            // Lookups walk the list from now on.
            indexed_ = false;
            index_.clear();
        }
    }
    void Unindex(T *record) {
        last_ = nullptr;
        if (!indexed_) return;
        auto it = index_.find(record->id);
        if (it == index_.end() || it->second != record) return;
        index_.erase(it);
        for (const auto &r : records_)
            if (r.get() != record && r->id == record->id) return Index(r.get());
    }

    using Records = std::vector<std::unique_ptr<T>>;
    const ObjectRules<T> *rules_;
    Records &records_;
    std::unordered_map<ObjectId, T *, IdHash> &index_ = *new std::unordered_map<ObjectId, T *, IdHash>;
    bool indexed_ = true;
    // The last record Find returned and the id it was asked by; any change of ids or records forgets it.
    mutable T *last_ = nullptr;
    mutable ObjectId lastId_{};
};
