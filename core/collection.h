// Collection<T>: the platform's ordered keyed collection.
//
// Items keep insertion order and are addressed 1-based by position or by
// string key; keys are compared without regard to case and are optional.
// Failures are the platform's: a key that is not held raises 5, a position
// outside 1..Count raises 9, adding a key already held raises 457.
//
// Collections are shared objects (std::shared_ptr): properties hand out the
// live collection, never a copy. A Collection of objects or Variants is also
// a script object (Item as default member, Count, Add, Remove, For Each).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/object.h"
#include "core/text.h"
#include "core/variant.h"
#include "core/vb_error.h"

namespace veldrane {

template <class T>
class Collection : public Object {
 public:
  struct Entry {
    std::string key;  // empty: added without a key
    T item;
  };

  // Appends `item`; raises 457 when `key` (non-empty) is already held.
  void Add(T item, std::string_view key = {}) {
    if (!key.empty()) {
      std::string folded = FoldCase(key);
      if (index_.count(folded)) throw VbError::DuplicateKey();
      index_.emplace(std::move(folded), entries_.size());
    }
    entries_.push_back(Entry{std::string(key), std::move(item)});
  }

  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }

  // The item at a 1-based position; raises 9 outside 1..Count.
  T& Item(int32_t position) { return entries_.at(CheckedPosition(position)).item; }
  // The item under a key (any case); raises 5 when no item has it.
  T& Item(std::string_view key) { return entries_[PositionOfKey(key)].item; }
  T& Item(const char* key) { return Item(std::string_view(key)); }
  T& Item(const std::string& key) { return Item(std::string_view(key)); }
  // By position when `index_or_key` is a number, by key when it is text.
  T& Item(const Variant& index_or_key) {
    Variant v = index_or_key.Resolved();
    if (v.IsString()) return Item(std::string_view(v.AsString()));
    return Item(v.ToLong());
  }

  // The item under a key, or nullptr.
  T* Find(std::string_view key) {
    auto it = index_.find(FoldCase(key));
    return it == index_.end() ? nullptr : &entries_[it->second].item;
  }
  bool Contains(std::string_view key) const { return index_.count(FoldCase(key)) != 0; }

  // The key stored with the item at a position ("" when added without one).
  const std::string& KeyAt(int32_t position) const { return entries_.at(CheckedPosition(position)).key; }

  void Remove(int32_t position) {
    entries_.erase(entries_.begin() + CheckedPosition(position));
    Reindex();
  }
  void Remove(std::string_view key) {
    entries_.erase(entries_.begin() + PositionOfKey(key));
    Reindex();
  }
  void Remove(const char* key) { Remove(std::string_view(key)); }
  void Remove(const std::string& key) { Remove(std::string_view(key)); }
  void Remove(const Variant& index_or_key) {
    Variant v = index_or_key.Resolved();
    if (v.IsString()) return Remove(std::string_view(v.AsString()));
    Remove(v.ToLong());
  }

  void Clear() {
    entries_.clear();
    index_.clear();
  }

  // Iteration over the items in order.
  class iterator {
   public:
    using base = typename std::vector<Entry>::iterator;
    explicit iterator(base it) : it_(it) {}
    T& operator*() const { return it_->item; }
    T* operator->() const { return &it_->item; }
    iterator& operator++() {
      ++it_;
      return *this;
    }
    bool operator!=(const iterator& o) const { return it_ != o.it_; }
    bool operator==(const iterator& o) const { return it_ == o.it_; }

   private:
    base it_;
  };
  iterator begin() { return iterator(entries_.begin()); }
  iterator end() { return iterator(entries_.end()); }

  // Script face.
  std::string TypeName() const override { return "Collection"; }

  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override {
    if (name.empty() || IEquals(name, "Item")) {
      ExpectArgs(args, 1, 1);
      if (kind != InvokeKind::Get) throw VbError::NotSupported("Item");
      return ToScript(Item(args[0]));
    }
    if (IEquals(name, "Count")) {
      ExpectArgs(args, 0, 0);
      return Variant(Count());
    }
    if (IEquals(name, "Remove")) {
      ExpectArgs(args, 1, 1);
      Remove(args[0]);
      return Variant();
    }
    if (IEquals(name, "Add")) {
      if constexpr (std::is_same_v<T, Variant>) {
        ExpectArgs(args, 1, 2);
        Add(args[0], args.size() > 1 && !args[1].IsEmpty() ? args[1].ToString() : std::string());
        return Variant();
      } else if constexpr (std::is_convertible_v<T, ObjectRef> && !std::is_same_v<T, ObjectRef>) {
        ExpectArgs(args, 1, 2);
        auto typed = std::dynamic_pointer_cast<typename T::element_type>(args[0].ToObject());
        if (!typed) throw VbError::TypeMismatch();
        Add(typed, args.size() > 1 && !args[1].IsEmpty() ? args[1].ToString() : std::string());
        return Variant();
      }
    }
    throw VbError::NotSupported(name);
  }

  std::vector<Variant> Enumerate() override {
    std::vector<Variant> out;
    out.reserve(entries_.size());
    for (auto& e : entries_) out.push_back(ToScript(e.item));
    return out;
  }

 private:
  static Variant ToScript(T& item) {
    if constexpr (std::is_same_v<T, Variant>) {
      return item;
    } else if constexpr (std::is_convertible_v<T, ObjectRef>) {
      return Variant(ObjectRef(item));
    } else if constexpr (std::is_constructible_v<Variant, T>) {
      return Variant(item);
    } else {
      // Records (tFormula, tFields, ...) have no script form.
      throw VbError::TypeMismatch();
    }
  }

  size_t CheckedPosition(int32_t position) const {
    if (position < 1 || position > Count()) throw VbError::SubscriptOutOfRange();
    return static_cast<size_t>(position - 1);
  }

  size_t PositionOfKey(std::string_view key) const {
    auto it = index_.find(FoldCase(key));
    if (it == index_.end()) throw VbError::InvalidCall();
    return it->second;
  }

  void Reindex() {
    index_.clear();
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (!entries_[i].key.empty()) index_.emplace(FoldCase(entries_[i].key), i);
    }
  }

  std::vector<Entry> entries_;
  std::unordered_map<std::string, size_t> index_;  // folded key -> position - 1
};

template <class T>
using CollectionRef = std::shared_ptr<Collection<T>>;

template <class T>
CollectionRef<T> NewCollection() {
  return std::make_shared<Collection<T>>();
}

}  // namespace veldrane
