// Scripting.Dictionary: an ordered map from keys to items for scripts.
//
// Keys are compared by value: numbers by their numeric value whatever their
// subtype, strings exactly (CompareMode 0) or ignoring case (CompareMode 1),
// objects by identity. Items keep the order in which their keys were first
// added; For Each walks the keys in that order. Reading a key that is not
// there adds it with an Empty item, as scripts have always relied on.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/object.h"
#include "core/variant.h"

namespace veldrane::vbs {

class Dictionary : public Object {
 public:
  std::string TypeName() const override { return "Dictionary"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args args) override;
  // The keys, in order.
  std::vector<Variant> Enumerate() override;

  // Adds a key; raises 457 when it is already there.
  void Add(const Variant& key, Variant item);
  bool Exists(const Variant& key) const;
  // The item under `key`, added as Empty when missing.
  Variant& Item(const Variant& key);
  // Raises 32811 when the key is not there.
  void Remove(const Variant& key);
  void RemoveAll();
  // Gives an item a new key in the same place; raises 32811 when `from` is
  // missing and 457 when `to` is already taken.
  void RenameKey(const Variant& from, const Variant& to);
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  // 0 binary, 1 text (other non-negative values compare as text); may only
  // change while the dictionary is empty (5 otherwise).
  int32_t compare_mode() const { return compare_mode_; }
  void set_compare_mode(int32_t mode);
  ArrayRef Keys() const;
  ArrayRef Items() const;

 private:
  // A key reduced to what equality looks at.
  struct Slot {
    uint8_t kind = 0;    // 0 Empty, 1 Null, 2 number, 3 string, 4 object
    double number = 0;   // kind 2
    std::string text;    // kind 3, folded in text mode
    const Object* object = nullptr;  // kind 4
    bool operator==(const Slot&) const = default;
  };
  struct SlotHash {
    size_t operator()(const Slot& s) const;
  };
  struct Entry {
    Variant key;
    Variant item;
  };
  using Entries = std::list<Entry>;

  Slot SlotOf(const Variant& key) const;
  Entries::iterator Find(const Variant& key);
  Entries::const_iterator Find(const Variant& key) const;
  void Insert(const Variant& key, Variant item);

  Entries entries_;                                                 // in insertion order
  std::unordered_map<Slot, Entries::iterator, SlotHash> index_;    // key -> its entry
  int32_t compare_mode_ = 0;                                        // 0 binary, else text
};

}  // namespace veldrane::vbs
