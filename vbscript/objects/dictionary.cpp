#include "vbscript/objects/dictionary.h"

#include <cmath>
#include <functional>
#include <memory>

#include "vbscript/builtins.h"
#include "vbscript/builtins_support.h"

namespace veldrane::vbs {

namespace {

constexpr int32_t kElementNotFound = 32811;

VbError ElementNotFound() { return VbError(kElementNotFound, "Element not found"); }

}  // namespace

size_t Dictionary::SlotHash::operator()(const Slot& s) const {
  switch (s.kind) {
    case 2: return std::hash<double>{}(s.number);
    case 3: return std::hash<std::string>{}(s.text);
    case 4: return std::hash<const void*>{}(s.object);
    default: return s.kind;
  }
}

Dictionary::Slot Dictionary::SlotOf(const Variant& key) const {
  Slot slot;
  switch (key.Type()) {
    case VarType::Empty: slot.kind = 0; break;
    case VarType::Null: slot.kind = 1; break;
    case VarType::String:
      slot.kind = 3;
      slot.text = compare_mode_ == 0 ? key.AsString() : detail::FoldText(key.AsString());
      break;
    case VarType::Object:
      slot.kind = 4;
      slot.object = key.AsObject().get();
      break;
    case VarType::Array: throw VbError::TypeMismatch();
    default:
      // Numbers of any subtype (and dates, booleans) meet by value: 1, 1.0
      // and CLng(1) are one key.
      slot.kind = 2;
      slot.number = key.ToDouble();
      if (slot.number == 0) slot.number = 0;  // -0 and 0 are one key
      break;
  }
  return slot;
}

Dictionary::Entries::iterator Dictionary::Find(const Variant& key) {
  auto it = index_.find(SlotOf(key));
  return it == index_.end() ? entries_.end() : it->second;
}

Dictionary::Entries::const_iterator Dictionary::Find(const Variant& key) const {
  auto it = index_.find(SlotOf(key));
  return it == index_.end() ? entries_.cend() : Entries::const_iterator(it->second);
}

void Dictionary::Insert(const Variant& key, Variant item) {
  Slot slot = SlotOf(key);
  entries_.push_back(Entry{key, std::move(item)});
  index_.emplace(std::move(slot), std::prev(entries_.end()));
}

void Dictionary::Add(const Variant& key, Variant item) {
  if (Find(key) != entries_.end()) throw VbError::DuplicateKey();
  Insert(key, std::move(item));
}

bool Dictionary::Exists(const Variant& key) const { return Find(key) != entries_.cend(); }

Variant& Dictionary::Item(const Variant& key) {
  auto it = Find(key);
  if (it != entries_.end()) return it->item;
  Insert(key, Variant());
  return entries_.back().item;
}

void Dictionary::Remove(const Variant& key) {
  auto it = index_.find(SlotOf(key));
  if (it == index_.end()) throw ElementNotFound();
  entries_.erase(it->second);
  index_.erase(it);
}

void Dictionary::RemoveAll() {
  entries_.clear();
  index_.clear();
}

void Dictionary::RenameKey(const Variant& from, const Variant& to) {
  auto it = index_.find(SlotOf(from));
  if (it == index_.end()) throw ElementNotFound();
  Slot new_slot = SlotOf(to);
  if (index_.count(new_slot)) throw VbError::DuplicateKey();
  Entries::iterator entry = it->second;
  index_.erase(it);
  entry->key = to;
  index_.emplace(std::move(new_slot), entry);
}

void Dictionary::set_compare_mode(int32_t mode) {
  if (mode < 0 || !entries_.empty()) throw VbError::InvalidCall();
  compare_mode_ = mode;
}

ArrayRef Dictionary::Keys() const {
  std::vector<Variant> keys;
  keys.reserve(entries_.size());
  for (const Entry& e : entries_) keys.push_back(e.key);
  return std::make_shared<VbArray>(std::move(keys));
}

ArrayRef Dictionary::Items() const {
  std::vector<Variant> items;
  items.reserve(entries_.size());
  for (const Entry& e : entries_) items.push_back(e.item);
  return std::make_shared<VbArray>(std::move(items));
}

std::vector<Variant> Dictionary::Enumerate() {
  std::vector<Variant> keys;
  keys.reserve(entries_.size());
  for (const Entry& e : entries_) keys.push_back(e.key);
  return keys;
}

Variant Dictionary::Invoke(std::string_view name, InvokeKind kind, Args args) {
  static const MemberTable<Dictionary> members = [] {
    MemberTable<Dictionary> t;
    auto item = [](Dictionary& d, InvokeKind kind, Args args) {
      if (kind == InvokeKind::Get) {
        ExpectArgs(args, 1, 1);
        return d.Item(args[0]);
      }
      ExpectArgs(args, 2, 2);
      d.Item(args[0]) = args[1];
      return Variant();
    };
    t.Add("", item);
    t.Add("Item", item);
    t.Add("Add", [](Dictionary& d, InvokeKind, Args args) {
      ExpectArgs(args, 2, 2);
      d.Add(args[0], args[1]);
      return Variant();
    });
    t.Add("Exists", [](Dictionary& d, InvokeKind, Args args) {
      ExpectArgs(args, 1, 1);
      return Variant(d.Exists(args[0]));
    });
    t.Add("Keys", [](Dictionary& d, InvokeKind, Args args) {
      ExpectArgs(args, 0, 0);
      return Variant(d.Keys());
    });
    t.Add("Items", [](Dictionary& d, InvokeKind, Args args) {
      ExpectArgs(args, 0, 0);
      return Variant(d.Items());
    });
    t.Add("Remove", [](Dictionary& d, InvokeKind, Args args) {
      ExpectArgs(args, 1, 1);
      d.Remove(args[0]);
      return Variant();
    });
    t.Add("RemoveAll", [](Dictionary& d, InvokeKind, Args args) {
      ExpectArgs(args, 0, 0);
      d.RemoveAll();
      return Variant();
    });
    t.Property("Count", [](Dictionary& d) { return Variant(d.Count()); });
    t.Property(
        "CompareMode", [](Dictionary& d) { return Variant(d.compare_mode()); },
        [](Dictionary& d, const Variant& v) { d.set_compare_mode(v.ToLong()); });
    // Key is write-only: d.Key(old) = new.
    t.Add("Key", [](Dictionary& d, InvokeKind kind, Args args) {
      if (kind == InvokeKind::Get) throw VbError::NotSupported("Key");
      ExpectArgs(args, 2, 2);
      d.RenameKey(args[0], args[1]);
      return Variant();
    });
    return t;
  }();
  return members.Invoke(*this, name, kind, args);
}

ObjectRef CreateDictionary() { return std::make_shared<Dictionary>(); }

}  // namespace veldrane::vbs
