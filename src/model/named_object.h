// The named-object tree: base node, owning collections, references.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/archive.h"

namespace tessel {

class CNamedObject {
public:
    CNamedObject() = default;
    CNamedObject(const CNamedObject&) = delete;
    CNamedObject& operator=(const CNamedObject&) = delete;
    virtual ~CNamedObject() = default;

    // Archive form: name then id; containers add their children.
    virtual void Serialize(CArchive& ar);
    // Fewest archive bytes a node takes: a one-byte name length and the id.
    static constexpr size_t kMinArchivedObject = 1 + 4;
    // Containers delete all their children.
    virtual void Clear() {}
    // Copies the node; classes of the tree forward to their most-derived copy.
    virtual void CopyFrom(const CNamedObject& other) { CopyBase(other); }
    // Reads the node from syntax bytes; returns the bytes consumed, or -1 when
    // the bytes end before the node does.
    virtual int Parse(std::span<const uint8_t> data, int mode);
    // Writes the node; with a null buffer returns the size it would write.
    virtual int Write(uint8_t* buffer, int mode);

    // An empty text is ignored; a text equal ignoring case keeps the old name.
    void SetName(const std::string& text);
    const std::string& Name() const { return name; }
    // Copies parent, name, id, used and user word.
    void CopyBase(const CNamedObject& other);

    CNamedObject* parent = nullptr;
    std::string name;
    int32_t id = -1;
    uint8_t used = 0;
    uint32_t userWord = 0;
};

// "Label#N" as every numbered node is named.
std::string NumberedName(const char* label, int number);

// A reference between nodes: a non-owning pointer and the id it stands for.
template <class T>
struct CRef {
    T* ptr = nullptr;
    int32_t id = -1;

    // Points at the first candidate whose id matches; null for -1 or no match.
    template <class Range>
    void Resolve(const Range& candidates) {
        ptr = nullptr;
        if (id == -1) return;
        for (const auto& c : candidates) {
            T* p = &*c;
            if (p && p->id == id) {
                ptr = p;
                return;
            }
        }
    }
    void Refresh() { id = ptr ? ptr->id : -1; }
    void Set(T* p) {
        ptr = p;
        Refresh();
    }
    void Serialize(CArchive& ar) {
        if (ar.IsStoring()) Refresh();
        ar.Io(id);
        if (ar.IsLoading()) ptr = nullptr;
    }
};

// Owning array of named children.
template <class T>
class CNamedPtrArray : public CNamedObject {
public:
    using Element = T;

    ~CNamedPtrArray() override { items.clear(); }

    int GetSize() const { return static_cast<int>(items.size()); }
    bool IsEmpty() const { return items.empty(); }
    // Null when out of range.
    T* GetAt(int i) const {
        return i >= 0 && i < GetSize() ? items[static_cast<size_t>(i)].get() : nullptr;
    }
    // Linear search by pointer; -1 when absent.
    int IndexOf(const CNamedObject* child) const {
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].get() == child) return static_cast<int>(i);
        return -1;
    }
    // The first child with the id; null when none has it.
    T* FindById(int32_t id) const {
        for (const auto& c : items)
            if (c->id == id) return c.get();
        return nullptr;
    }
    // Takes the child, sets its parent and appends it.
    T* Append(std::unique_ptr<T> child) {
        child->parent = this;
        items.push_back(std::move(child));
        return items.back().get();
    }
    std::unique_ptr<T> RemoveAt(int i) {
        if (i < 0 || i >= GetSize()) return nullptr;
        auto p = std::move(items[static_cast<size_t>(i)]);
        items.erase(items.begin() + i);
        return p;
    }

    void Clear() override { items.clear(); }

    // Clear, copy the base fields, then a new copy of every child of other.
    void CopyItems(const CNamedObject& other) {
        Clear();
        CopyBase(other);
        auto* src = dynamic_cast<const CNamedPtrArray<T>*>(&other);
        if (!src) return;
        for (const auto& c : src->items) {
            auto n = std::make_unique<T>();
            n->CopyFrom(*c);
            Append(std::move(n));
        }
    }
    void CopyFrom(const CNamedObject& other) override { CopyItems(other); }

    void Serialize(CArchive& ar) override {
        CNamedObject::Serialize(ar);
        if (ar.IsStoring()) {
            int32_t n = GetSize();
            ar.Io(n);
            for (auto& c : items) c->Serialize(ar);
        } else {
            Clear();
            int32_t n = 0;
            ar.Io(n);
            if (n < 0) {
                ar.Fail("negative element count");
                return;
            }
            if (!ar.CheckCount(static_cast<uint64_t>(n), kMinArchivedObject, "element")) return;
            for (int32_t i = 0; i < n && !ar.Failed(); ++i) {
                auto c = std::make_unique<T>();
                c->Serialize(ar);
                Append(std::move(c));
            }
        }
    }

    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }

    std::vector<std::unique_ptr<T>> items;
};

// Items and sub-folders; searches and marks recurse into sub-folders after
// the folder's own items.
template <class T, class F>
class CNamedFolder : public CNamedObject {
public:
    ~CNamedFolder() override { Clear(); }

    void Clear() override {
        items.clear();
        folders.clear();
    }
    T* AppendItem(std::unique_ptr<T> item) {
        item->parent = this;
        items.push_back(std::move(item));
        return items.back().get();
    }
    F* AppendFolder(std::unique_ptr<F> folder) {
        folder->parent = this;
        folders.push_back(std::move(folder));
        return folders.back().get();
    }
    T* FindById(int32_t id) const {
        for (const auto& i : items)
            if (i->id == id) return i.get();
        for (const auto& f : folders)
            if (T* t = f->FindById(id)) return t;
        return nullptr;
    }
    void ClearUsed() {
        for (const auto& i : items) i->used = 0;
        for (const auto& f : folders) f->ClearUsed();
    }
    // Every item, the folder's own first, then sub-folders depth-first.
    void CollectItems(std::vector<T*>& out) const {
        for (const auto& i : items) out.push_back(i.get());
        for (const auto& f : folders) f->CollectItems(out);
    }
    int CountItems() const {
        int n = static_cast<int>(items.size());
        for (const auto& f : folders) n += f->CountItems();
        return n;
    }

    std::vector<std::unique_ptr<T>> items;
    std::vector<std::unique_ptr<F>> folders;
};

// Owning array of plain records.
template <class T>
class CTypeArray : public CNamedObject {
public:
    void Clear() override { records.clear(); }
    int GetSize() const { return static_cast<int>(records.size()); }

    std::vector<T> records;
};

// Non-owning scratch list of nodes.
class CNamedPtrCollection {
public:
    // Appends when the node's used flag is 0, then sets the flag.
    bool AddUnused(CNamedObject* node) {
        if (!node || node->used) return false;
        node->used = 1;
        nodes.push_back(node);
        return true;
    }
    int GetSize() const { return static_cast<int>(nodes.size()); }
    CNamedObject* GetAt(int i) const {
        return i >= 0 && i < GetSize() ? nodes[static_cast<size_t>(i)] : nullptr;
    }
    void RemoveAll() { nodes.clear(); }

    std::vector<CNamedObject*> nodes;
};

}  // namespace tessel
